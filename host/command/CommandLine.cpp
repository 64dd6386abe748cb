#include "CommandLine.h"

#include <algorithm>
#include <limits>
#include <span>

#include "CommandErrors.h"
#include "HelpText.h"
#include "NumberText.h"
#include "validate/Check.h"

namespace kqfx::command {
namespace {

struct OptionSpec {
  const char* longName;   // without the dashes
  char shortName;         // 0 when there is none
  bool takesValue;
};

struct Option {
  std::string name;  // the long name
  std::string value;
};

struct SplitArguments {
  std::vector<std::string> positionals;
  std::vector<Option> options;
  bool help = false;
};

const OptionSpec* findLong(std::span<const OptionSpec> specs, const std::string& name) {
  auto found = std::find_if(specs.begin(), specs.end(),
                            [&](const OptionSpec& spec) { return name == spec.longName; });
  return found == specs.end() ? nullptr : &*found;
}

const OptionSpec* findShort(std::span<const OptionSpec> specs, char name) {
  auto found = std::find_if(specs.begin(), specs.end(),
                            [&](const OptionSpec& spec) { return spec.shortName == name; });
  return found == specs.end() ? nullptr : &*found;
}

// Options may come before, between or after the positional arguments;
// everything after "--" is positional.
SplitArguments split(const std::string& command, const std::vector<std::string>& arguments,
                     std::span<const OptionSpec> specs) {
  SplitArguments result;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--") {
      result.positionals.insert(result.positionals.end(), arguments.begin() + i + 1,
                                arguments.end());
      break;
    }
    if (argument == "--help" || argument == "-h") {
      result.help = true;
      continue;
    }
    if (argument.size() < 2 || argument[0] != '-') {
      result.positionals.push_back(argument);
      continue;
    }
    const OptionSpec* spec = nullptr;
    std::string shown;
    std::optional<std::string> attached;
    if (argument[1] == '-') {
      const std::size_t equals = argument.find('=');
      shown = argument.substr(0, equals);
      spec = findLong(specs, shown.substr(2));
      if (equals != std::string::npos) attached = argument.substr(equals + 1);
    } else {
      shown = argument.substr(0, 2);
      spec = findShort(specs, argument[1]);
      if (argument.size() > 2) attached = argument.substr(2);
    }
    if (!spec) throw UsageError(command, "unknown option '" + shown + "'");
    Option option{spec->longName, {}};
    if (spec->takesValue) {
      if (attached) {
        option.value = *attached;
      } else if (i + 1 < arguments.size()) {
        option.value = arguments[++i];
      } else {
        throw UsageError(command, "option '" + shown + "' needs a value");
      }
    } else if (attached) {
      throw UsageError(command, "option '" + shown + "' takes no value");
    }
    result.options.push_back(std::move(option));
  }
  return result;
}

void expectPositionals(const std::string& command, const SplitArguments& split,
                       std::size_t least, std::size_t most) {
  const std::size_t count = split.positionals.size();
  if (count > most) {
    throw UsageError(command, "unexpected argument '" + split.positionals[most] + "'");
  }
  if (count < least) throw UsageError(command, "missing arguments");
}

long long wholeNumberOption(const std::string& command, const Option& option, long long least,
                            long long most, const char* meaning) {
  const std::optional<long long> value = parseWholeNumber(option.value);
  if (!value || *value < least || *value > most) {
    throw UsageError(command, "--" + option.name + " must be " + meaning + " from " +
                                  std::to_string(least) + " to " + std::to_string(most) +
                                  ", not '" + option.value + "'");
  }
  return *value;
}

double secondsOption(const std::string& command, const Option& option, double most) {
  const std::optional<double> value = parseDecimal(option.value);
  if (!value || *value < 0.0 || *value > most) {
    throw UsageError(command, "--" + option.name + " must be a number of seconds from 0 to " +
                                  std::to_string(static_cast<long long>(most)) + ", not '" +
                                  option.value + "'");
  }
  return *value;
}

host::PluginFormat formatOption(const std::string& command, const Option& option) {
  if (option.value == "vst2") return host::PluginFormat::vst2;
  if (option.value == "lv2") return host::PluginFormat::lv2;
  throw UsageError(command, "--format must be vst2 or lv2, not '" + option.value + "'");
}

Request parseList(const std::vector<std::string>& arguments) {
  static constexpr OptionSpec specs[] = {{"timeout", 0, true}, {"json", 0, false}, {"format", 0, true}};
  const SplitArguments parts = split("list", arguments, specs);
  if (parts.help) return HelpRequest{"list"};
  expectPositionals("list", parts, 0, 0);
  ListRequest request;
  for (const Option& option : parts.options) {
    if (option.name == "json") {
      request.json = true;
      continue;
    }
    if (option.name == "format") {
      request.format = formatOption("list", option);
      continue;
    }
    request.probeTimeoutSeconds = secondsOption("list", option, kMaxProbeTimeoutSeconds);
    if (request.probeTimeoutSeconds <= 0.0) {
      throw UsageError("list", "--timeout must be more than 0 seconds");
    }
  }
  return request;
}

Request parseInfo(const std::vector<std::string>& arguments) {
  static constexpr OptionSpec specs[] = {{"json", 0, false}, {"param", 'p', true}, {"format", 0, true}};
  const SplitArguments parts = split("info", arguments, specs);
  if (parts.help) return HelpRequest{"info"};
  if (parts.positionals.empty()) throw UsageError("info", "which plug-in? PLUGIN is missing");
  expectPositionals("info", parts, 1, 1);
  InfoRequest request{parts.positionals[0], false, {}, {}};
  for (const Option& option : parts.options) {
    if (option.name == "json") {
      request.json = true;
    } else if (option.name == "format") {
      request.format = formatOption("info", option);
    } else {
      request.parameters.push_back(option.value);
    }
  }
  return request;
}

Request parseRender(const std::vector<std::string>& arguments) {
  static constexpr OptionSpec specs[] = {{"param", 'p', true},
                                         {"block", 'b', true},
                                         {"tail", 't', true},
                                         {"rate", 'r', true},
                                         {"quiet", 'q', false},
                                         {"demo", 0, false},
                                         {"overwrite", 'y', false},
                                         {"glide", 0, false},
                                         {"inputs", 0, true},
                                         {"outputs", 0, true},
                                         {"bits", 0, true},
                                         {"channels", 0, true},
                                         {"output-dir", 'o', true},
                                         {"jobs", 'j', true},
                                         {"format", 0, true},
                                         {"json", 0, false}};
  const SplitArguments parts = split("render", arguments, specs);
  if (parts.help) return HelpRequest{"render"};
  const bool demo = std::any_of(parts.options.begin(), parts.options.end(),
                                [](const Option& option) { return option.name == "demo"; });
  const std::size_t count = parts.positionals.size();
  if (count == 0) throw UsageError("render", "which plug-in? PLUGIN is missing");
  const auto batch = std::find_if(parts.options.begin(), parts.options.end(),
                                  [](const Option& option) { return option.name == "output-dir"; });
  if (batch != parts.options.end() && count == 1) {
    throw UsageError("render", "which files? INPUT is missing");
  }
  if (batch != parts.options.end() && demo) {
    throw UsageError("render", "--demo renders one file; -o is for many INPUT files");
  }
  if (count == 1) throw UsageError("render", "where to? OUTPUT is missing");
  if (batch != parts.options.end()) {
    // Every file named is an INPUT.
  } else if (demo) {
    expectPositionals("render", parts, 2, 2);
  } else if (count == 2) {
    // One file alone may well be a recording: never take it for OUTPUT.
    throw UsageError("render", "one file given: render needs INPUT and OUTPUT, or --demo and "
                               "OUTPUT to render the built-in demo signal");
  }
  if (batch == parts.options.end()) expectPositionals("render", parts, 2, 3);
  RenderRequest request;
  request.plugin = parts.positionals[0];
  if (batch != parts.options.end()) {
    request.outputDirectory = batch->value;
    request.inputs.assign(parts.positionals.begin() + 1, parts.positionals.end());
  } else {
    if (count == 3) request.input = parts.positionals[1];
    request.output = parts.positionals.back();
  }
  for (const Option& option : parts.options) {
    if (option.name == "demo") {
      continue;
    } else if (option.name == "overwrite") {
      request.overwrite = true;
    } else if (option.name == "json") {
      request.json = true;
    } else if (option.name == "glide") {
      request.glide = true;
    } else if (option.name == "bits") {
      const long long bits = wholeNumberOption("render", option, 16, 32, "16, 24 or 32, a number");
      if (bits != 16 && bits != 24 && bits != 32) {
        throw UsageError("render", "--bits must be 16, 24 or 32, not '" + option.value + "'");
      }
      request.bits = static_cast<int>(bits);
    } else if (option.name == "channels") {
      request.channels = static_cast<int>(wholeNumberOption("render", option, 1, 2, "a number"));
    } else if (option.name == "inputs") {
      request.inputMap = option.value;
    } else if (option.name == "output-dir") {
      continue;
    } else if (option.name == "format") {
      request.format = formatOption("render", option);
    } else if (option.name == "jobs") {
      request.jobs = static_cast<int>(wholeNumberOption("render", option, 1, 256, "a number of jobs"));
    } else if (option.name == "outputs") {
      request.outputMap = option.value;
    } else if (option.name == "param") {
      request.parameters.push_back(option.value);
    } else if (option.name == "block") {
      request.blockSize = static_cast<int32_t>(
          wholeNumberOption("render", option, 1, kMaxBlockSize, "a whole number of frames"));
    } else if (option.name == "tail" && option.value == "auto") {
      request.tailAuto = true;
      request.tailSeconds = kMaxTailSeconds;
    } else if (option.name == "tail") {
      request.tailAuto = false;
      request.tailSeconds = secondsOption("render", option, kMaxTailSeconds);
    } else if (option.name == "rate") {
      request.sampleRate = static_cast<int32_t>(
          wholeNumberOption("render", option, 1, kMaxSampleRate, "a whole number of hertz"));
    } else {
      request.quiet = true;
    }
  }
  if (request.input && *request.input == request.output && request.output != "-") {
    throw UsageError("render", "INPUT and OUTPUT are the same file");
  }
  return request;
}

Request parseDemo(const std::vector<std::string>& arguments) {
  static constexpr OptionSpec specs[] = {{"quiet", 'q', false}};
  const SplitArguments parts = split("demo", arguments, specs);
  if (parts.help) return HelpRequest{"demo"};
  expectPositionals("demo", parts, 0, 1);
  DemoRequest request;
  if (!parts.positionals.empty()) request.directory = parts.positionals[0];
  request.quiet = !parts.options.empty();
  return request;
}

// Unlike the other commands, the order matters here: a -p belongs to the
// plug-in named before it, or to all of them when it comes first.
Request parseBench(const std::vector<std::string>& arguments) {
  static constexpr OptionSpec specs[] = {{"param", 'p', true},   {"block", 'b', true},
                                         {"rate", 'r', true},    {"seconds", 's', true},
                                         {"json", 0, false},     {"format", 0, true}};
  BenchRequest request;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    // Each argument (with the value of an option that takes one) is split
    // on its own, keeping the order.
    std::vector<std::string> one{arguments[i]};
    const std::string& argument = arguments[i];
    const bool separateValue = (argument == "-p" || argument == "--param" || argument == "-b" ||
                                argument == "--block" || argument == "-r" || argument == "--rate" ||
                                argument == "-s" || argument == "--seconds" ||
                                argument == "--format");
    if (separateValue && i + 1 < arguments.size()) one.push_back(arguments[++i]);
    if (argument == "--") {
      for (++i; i < arguments.size(); ++i) request.plugins.push_back({arguments[i], {}});
      break;
    }
    const SplitArguments parts = split("bench", one, specs);
    if (parts.help) return HelpRequest{"bench"};
    for (const std::string& name : parts.positionals) request.plugins.push_back({name, {}});
    for (const Option& option : parts.options) {
      if (option.name == "param") {
        auto& list = request.plugins.empty() ? request.sharedParameters
                                             : request.plugins.back().parameters;
        list.push_back(option.value);
      } else if (option.name == "block") {
        request.blockSize = static_cast<int32_t>(
            wholeNumberOption("bench", option, 1, kMaxBlockSize, "a whole number of frames"));
      } else if (option.name == "rate") {
        request.sampleRate = static_cast<double>(
            wholeNumberOption("bench", option, 1, kMaxSampleRate, "a whole number of hertz"));
      } else if (option.name == "seconds") {
        request.seconds = secondsOption("bench", option, kMaxBenchSeconds);
        if (request.seconds <= 0.0) throw UsageError("bench", "--seconds must be more than 0");
      } else if (option.name == "format") {
        request.format = formatOption("bench", option);
      } else {
        request.json = true;
      }
    }
  }
  if (request.plugins.empty()) throw UsageError("bench", "which plug-ins? PLUGIN is missing");
  return request;
}

Request parseValidate(const std::vector<std::string>& arguments) {
  static constexpr OptionSpec specs[] = {
      {"level", 'l', true}, {"seed", 's', true},          {"json", 0, false},
      {"check", 'c', true}, {"timeout", 0, true},         {"gui", 0, false},
      {"extreme-rates", 0, false}, {"list-checks", 0, false}, {"format", 0, true}};
  const SplitArguments parts = split("validate", arguments, specs);
  if (parts.help) return HelpRequest{"validate"};
  ValidateRequest request;
  request.listChecks = std::any_of(parts.options.begin(), parts.options.end(),
                                   [](const Option& option) { return option.name == "list-checks"; });
  if (request.listChecks) {
    expectPositionals("validate", parts, 0, 0);
  } else {
    if (parts.positionals.empty()) throw UsageError("validate", "which plug-in? PLUGIN is missing");
    expectPositionals("validate", parts, 1, 1);
    request.plugin = parts.positionals[0];
  }
  for (const Option& option : parts.options) {
    if (option.name == "list-checks") continue;
    if (option.name == "gui") {
      request.gui = true;
    } else if (option.name == "extreme-rates") {
      request.extremeRates = true;
    } else if (option.name == "level") {
      request.level = static_cast<int>(wholeNumberOption("validate", option, 1, 10, "a level"));
    } else if (option.name == "seed") {
      request.seed = static_cast<uint64_t>(
          wholeNumberOption("validate", option, 0, std::numeric_limits<long long>::max(),
                            "a whole number"));
    } else if (option.name == "json") {
      request.json = true;
    } else if (option.name == "format") {
      request.format = formatOption("validate", option);
    } else if (option.name == "check") {
      const auto& catalogue = validate::checkCatalogue();
      const bool known = std::any_of(catalogue.begin(), catalogue.end(), [&](const auto& check) {
        return option.value == check.name;
      });
      if (!known) {
        std::string names;
        for (const auto& check : catalogue) names += std::string(names.empty() ? "" : ", ") + check.name;
        throw UsageError("validate", "unknown check '" + option.value + "'; the checks are " + names);
      }
      request.checks.push_back(option.value);
    } else {
      request.timeoutSeconds = secondsOption("validate", option, kMaxCheckTimeoutSeconds);
      if (request.timeoutSeconds <= 0.0) {
        throw UsageError("validate", "--timeout must be more than 0 seconds");
      }
    }
  }
  return request;
}

Request parseHelp(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return HelpRequest{};
  if (arguments[0] == "--help" || arguments[0] == "-h") return HelpRequest{"help"};
  if (arguments.size() > 1) throw UsageError("", "'kqfx help' takes one subcommand name");
  if (helpText(arguments[0]).empty()) {
    throw UsageError("", "no help for '" + arguments[0] + "': there is no such subcommand");
  }
  return HelpRequest{arguments[0]};
}

}  // namespace

Request parseCommandLine(const std::vector<std::string>& arguments) {
  if (arguments.empty()) throw UsageError("", "no subcommand given");
  const std::string& command = arguments[0];
  const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
  if (command == "--help" || command == "-h") return HelpRequest{};
  if (command == "--version" || command == "version") return VersionRequest{};
  if (command == "help") return parseHelp(rest);
  if (command == "list") return parseList(rest);
  if (command == "info") return parseInfo(rest);
  if (command == "render") return parseRender(rest);
  if (command == "demo") return parseDemo(rest);
  if (command == "bench") return parseBench(rest);
  if (command == "validate") return parseValidate(rest);
  if (command == "analyze") {
    bool help = false;
    AnalyzeRequest request = parseAnalyzeArguments(rest, help);
    if (help) return HelpRequest{"analyze"};
    return request;
  }
  if (command.size() > 1 && command[0] == '-') {
    throw UsageError("", "unknown option '" + command + "'");
  }
  throw UsageError("", "unknown subcommand '" + command + "'");
}

}  // namespace kqfx::command
