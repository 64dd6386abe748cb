#include <functional>

#include "Check.h"
#include "Checks.h"

namespace kqfx::command::validate {

std::mt19937_64 CheckContext::random() const {
  // Mixes the check's name into the seed.
  uint64_t mixed = settings.seed ^ 0x9E3779B97F4A7C15ull;
  for (char c : checkName) mixed = (mixed ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
  return std::mt19937_64(mixed);
}

const std::vector<CheckDefinition>& checkCatalogue() {
  static const std::vector<CheckDefinition> checks = {
      {"loading", "the entry function answers an effect record", checkLoading, 1},
      {"lifecycle", "open/close cold and warm, instances side by side, every opcode but the editor's",
       checkLifecycle, 1},
      {"metadata", "parameter names, labels, value texts, getParameter, locale", checkMetadata, 1,
       "LV2 plug-ins state names, units and ranges in their description, which lilv reads; "
       "there are no texts to ask an instance for"},
      {"audio", "noise at 44.1, 48 and 96 kHz in blocks of 1 to 4096: no NaN, inf, subnormal",
       checkAudio, 1},
      {"in-place", "the same buffers for input and output give the same output", checkInPlace, 2},
      {"block-split", "a render split into other block sizes gives the same output",
       checkBlockSplit, 2},
      {"connections", "audio ports and control inputs connected to other buffers between runs",
       checkConnections, 2, nullptr, true},
      {"automation", "every parameter moved before every 32-frame block", checkAutomation, 3},
      {"rate-block", "sample rate (8 to 384 kHz) and block size changes between suspend and resume",
       checkRateAndBlockChanges, 3},
      {"bad-audio", "NaN, infinity and 1e30 in the input", checkBadAudio, 4},
      {"parameter-fuzz", "values at the edges of 0..1 that hosts' rounding gives", checkParameterFuzz, 4},
      {"threads", "parameters written from another thread while audio runs", checkThreads, 5,
       "LV2 puts connect_port and run in one threading class: hosts write control inputs on the "
       "thread that runs the plug-in, never beside it"},
      {"real-time", "no allocation or free inside a process call", checkRealTime, 5},
      {"silence", "silence after a loud burst: no slower, no subnormal out", checkSilence, 5},
      {"editor", "open, idle and close the editor in a window (only with --gui)", checkEditor, 1,
       "an LV2 plug-in's user interface is a separate object with a library of its own, which "
       "kqfx does not host"},
  };
  return checks;
}

const std::vector<Tightening>& tightenings() {
  static const std::vector<Tightening> list = {
      {kFarOutParameterLevel, "parameter-fuzz",
       "values far outside 0..1 (-1, 2, 100, 1e30, the float limits), NaN and infinities"},
      {kBitExactLevel, "in-place, block-split, connections",
       "output identical bit for bit (below: within the tolerance)"},
  };
  return list;
}

}  // namespace kqfx::command::validate
