#include <algorithm>

#include "CommandErrors.h"
#include "CommandLine.h"
#include "NumberText.h"
#include "analyze/AnalyzeRequest.h"

namespace kqfx::command {
namespace {

const char* const kCommand = "analyze";

// The value of an option: attached ("--rate=44100", "-r44100") or the next argument.
std::string optionValue(const std::vector<std::string>& arguments, std::size_t& i,
                        const std::string& shown, std::size_t attachedAt) {
  const std::string& argument = arguments[i];
  if (attachedAt < argument.size()) return argument.substr(attachedAt);
  if (i + 1 >= arguments.size()) throw UsageError(kCommand, "option '" + shown + "' needs a value");
  return arguments[++i];
}

}  // namespace

const std::vector<std::string>& analysisKinds() {
  static const std::vector<std::string> kinds = {"response", "decay", "harmonics", "transfer",
                                                 "sweep"};
  return kinds;
}

AnalyzeRequest parseAnalyzeArguments(const std::vector<std::string>& arguments, bool& help) {
  AnalyzeRequest request;
  std::vector<std::string> positionals;
  help = false;
  std::vector<std::string> what;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--") {
      positionals.insert(positionals.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                         arguments.end());
      break;
    }
    if (argument == "--help" || argument == "-h") {
      help = true;
      continue;
    }
    if (argument.size() < 2 || argument[0] != '-') {
      positionals.push_back(argument);
      continue;
    }
    std::string name;
    std::size_t attachedAt = argument.size();
    if (argument[1] == '-') {
      const std::size_t equals = argument.find('=');
      name = argument.substr(0, equals);
      if (equals != std::string::npos) attachedAt = equals + 1;
    } else {
      name = argument.substr(0, 2);
      attachedAt = 2;
    }
    if (name == "-p" || name == "--param") {
      request.parameters.push_back(optionValue(arguments, i, name, attachedAt));
    } else if (name == "-r" || name == "--rate") {
      const std::string value = optionValue(arguments, i, name, attachedAt);
      const std::optional<long long> rate = parseWholeNumber(value);
      if (!rate || *rate < 8000 || *rate > kMaxSampleRate) {
        throw UsageError(kCommand, "--rate must be a whole number of hertz from 8000 to " +
                                       std::to_string(kMaxSampleRate) + ", not '" + value + "'");
      }
      request.sampleRate = static_cast<int32_t>(*rate);
    } else if (name == "-w" || name == "--what") {
      const std::string value = optionValue(arguments, i, name, attachedAt);
      const auto& kinds = analysisKinds();
      if (value == "all") {
        what = kinds;
      } else if (std::find(kinds.begin(), kinds.end(), value) != kinds.end()) {
        what.push_back(value);
      } else {
        throw UsageError(kCommand, "--what must be one of response, decay, harmonics, transfer, "
                                   "sweep or all, not '" + value + "'");
      }
    } else if (name == "-o" || name == "--out") {
      request.directory = optionValue(arguments, i, name, attachedAt);
      if (request.directory.empty()) throw UsageError(kCommand, "--out needs a folder");
    } else if (name == "-f" || name == "--format") {
      request.format = optionValue(arguments, i, name, attachedAt);
      if (request.format != "svg" && request.format != "png") {
        throw UsageError(kCommand, "--format must be svg or png, not '" + request.format + "'");
      }
    } else if (name == "--json" && attachedAt == argument.size()) {
      request.json = true;
    } else {
      throw UsageError(kCommand, "unknown option '" + name + "'");
    }
  }
  if (help) return request;
  if (positionals.empty()) throw UsageError(kCommand, "which plug-in? PLUGIN is missing");
  if (positionals.size() > 1) throw UsageError(kCommand, "unexpected argument '" + positionals[1] + "'");
  request.plugin = positionals[0];
  // Each kind once, in the usual order; response alone when none is named.
  for (const std::string& kind : analysisKinds()) {
    if (what.empty() ? kind == "response" : std::find(what.begin(), what.end(), kind) != what.end()) {
      request.what.push_back(kind);
    }
  }
  return request;
}

const char* analyzeHelpText() {
  return R"(usage: kqfx analyze PLUGIN [options]

Measures what a plug-in does to generated test signals, run through it as
'kqfx render' runs audio (the same signal on both inputs; the left output
is measured), and draws the results into image files in DIR, named
PLUGIN-KIND.png (or .svg). It prints the figures it read off the curves.
PLUGIN is named as for 'kqfx render': a VST 2 plug-in, or an LV2 plug-in
by its URI or name (our own effects' names mean their VST 2 form).

measurements (--what):
  response   magnitude and phase from 20 Hz to the Nyquist frequency, from
             an exponential sine sweep and its inverse filter; gain at
             1 kHz, the -3 dB points (from the passband: the higher of the
             lowest and the highest octave, or the peak of a band-pass),
             the slope an octave beyond them (dB per octave away from the
             passband), and the peak and where it is
  decay      the impulse response and its backward-integrated energy decay,
             overall and in octave bands from 125 Hz to 8 kHz; T20, T30,
             early decay time, the first arrival and each echo's delay and
             level
  harmonics  a 1 kHz sine from -40 to +6 dBFS: the spectrum at -6 dBFS,
             THD and THD+N (relative to the whole output) against level
  transfer   output against input sample of a +6 dBFS 47 Hz sine: the
             static curve of a shaper or limiter
  sweep      spectrogram of white noise over 8 seconds, for effects that
             move by themselves
  all        every one of them

options:
  -p, --param NAME=VALUE   set a parameter first, as in 'kqfx render' (a
                           0..1 value, or a value as the plug-in shows
                           it); repeatable. NAME=V1,V2,... draws one
                           curve per value
  -r, --rate HZ            sample rate (default 48000)
  -w, --what KIND          what to measure (repeatable; default response)
  -o, --out DIR            where the images go (default analysis)
  -f, --format svg|png     image format (default png)
      --json               print the figures as one JSON object
)";
}

}  // namespace kqfx::command
