#pragma once
// Turns the arguments after the program name into one request.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "analyze/AnalyzeRequest.h"
#include "kqfx/host/Plugin.h"

namespace kqfx::command {

struct HelpRequest {
  std::string topic;  // empty for the overview
};
struct VersionRequest {};
// --format: only plug-ins of this format are listed or looked for.
using FormatChoice = std::optional<host::PluginFormat>;

struct ListRequest {
  double probeTimeoutSeconds = 10.0;
  bool json = false;
  FormatChoice format;
};
struct InfoRequest {
  std::string plugin;
  bool json = false;
  std::vector<std::string> parameters;  // NAME=VALUE to preview, as given
  FormatChoice format;
};
struct RenderRequest {
  std::string plugin;
  std::optional<std::string> input;  // none: the demo signal (--demo)
  std::string output;
  bool overwrite = false;  // replace an existing OUTPUT
  bool glide = false;      // let -p values glide in as in a host
  std::optional<int> bits;  // integer samples of this width instead of the format's own
  int channels = 2;         // channels written: 1 writes the mid
  // -o OUTDIR: every positional after PLUGIN is an INPUT, written to
  // OUTDIR under its own name, `jobs` at a time (0: one per core).
  std::optional<std::string> outputDirectory;
  std::vector<std::string> inputs;
  int jobs = 0;
  std::optional<std::string> inputMap;   // --inputs, as given
  std::optional<std::string> outputMap;  // --outputs, as given
  std::vector<std::string> parameters;  // NAME=VALUE, as given
  int32_t blockSize = 512;
  double tailSeconds = 0.0;
  bool tailAuto = false;  // --tail auto: until the output has been quiet a second
  std::optional<int32_t> sampleRate;  // the demo's rate, or the rate INPUT is resampled to
  bool quiet = false;
  FormatChoice format;
  bool json = false;  // a summary for programs on standard output
};
struct DemoRequest {
  std::string directory = "demo-out";
  bool quiet = false;
};

struct BenchPlugin {
  std::string name;
  std::vector<std::string> parameters;  // NAME=VALUE given after it
};
struct BenchRequest {
  std::vector<BenchPlugin> plugins;
  std::vector<std::string> sharedParameters;  // NAME=VALUE before any plug-in
  double sampleRate = 44100.0;
  int32_t blockSize = 512;
  double seconds = 1.0;
  bool json = false;
  FormatChoice format;
};

struct ValidateRequest {
  std::string plugin;
  int level = 5;
  uint64_t seed = 1;
  bool json = false;
  std::vector<std::string> checks;  // empty: all of them
  double timeoutSeconds = 300.0;    // per check
  bool gui = false;                 // open the editor (only with a display)
  bool extremeRates = false;        // 1 Hz and 768 kHz too
  bool listChecks = false;          // say which checks the level runs instead
  FormatChoice format;
};

using Request = std::variant<HelpRequest, VersionRequest, ListRequest, InfoRequest, RenderRequest,
                             DemoRequest, BenchRequest, ValidateRequest, AnalyzeRequest>;

constexpr int32_t kMaxBlockSize = 65536;
constexpr int32_t kMaxSampleRate = 768000;
constexpr double kMaxTailSeconds = 3600.0;
constexpr double kMaxProbeTimeoutSeconds = 600.0;
constexpr double kMaxBenchSeconds = 60.0;
constexpr double kMaxCheckTimeoutSeconds = 86400.0;

// Throws UsageError naming the first problem found.
Request parseCommandLine(const std::vector<std::string>& arguments);

}  // namespace kqfx::command
