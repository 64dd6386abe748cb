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
      {"loading", "the entry function answers an effect record", checkLoading},
      {"lifecycle", "open/close cold and warm, instances side by side, every opcode",
       checkLifecycle},
      {"metadata", "parameter names, labels, value texts, getParameter, locale", checkMetadata},
      {"audio", "noise at 44.1, 48 and 96 kHz in blocks of 1 to 4096: no NaN, inf, subnormal",
       checkAudio},
      {"in-place", "the same buffers for input and output give the same output", checkInPlace},
      {"block-split", "a render split into other block sizes gives the same output",
       checkBlockSplit},
      {"automation", "every parameter moved before every 32-frame block", checkAutomation},
      {"parameter-fuzz", "values outside 0..1, huge, NaN and infinite", checkParameterFuzz},
      {"bad-audio", "NaN, infinity and 1e30 in the input", checkBadAudio},
      {"silence", "silence after a loud burst: no slower, no subnormal out", checkSilence},
      {"threads", "parameters written from another thread while audio runs", checkThreads},
      {"real-time", "no allocation or free inside a process call", checkRealTime},
      {"rate-block", "sample rate and block size changes between suspend and resume",
       checkRateAndBlockChanges},
  };
  return checks;
}

}  // namespace kqfx::command::validate
