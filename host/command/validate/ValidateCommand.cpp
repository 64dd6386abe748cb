// kqfx validate: every check the level asks for in a process of its own,
// one line each as it finishes (with what led to a failure and what the
// plug-in printed), then the summary.
#include <algorithm>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "../CommandErrors.h"
#include "../Commands.h"
#include "../PluginLoading.h"
#include "../PluginSearch.h"
#include "../StandardOutput.h"
#include "Check.h"
#include "Checks.h"
#include "IsolatedRun.h"
#include "ValidationReport.h"

namespace kqfx::command {
namespace {

using namespace validate;

bool named(const ValidateRequest& request, const CheckDefinition& check) {
  return std::find(request.checks.begin(), request.checks.end(), check.name) !=
         request.checks.end();
}

// Loading always runs; checks named with --check run whatever the level;
// else the level's checks, and the editor's only with --gui.
bool wanted(const ValidateRequest& request, const CheckDefinition& check) {
  if (check.run == checkCatalogue().front().run) return true;
  if (!request.checks.empty()) return named(request, check);
  if (check.run == checkEditor) return request.gui;
  return check.level <= request.level;
}

std::string shellWord(const std::string& text) {
  const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::string("/._-+=:,@").find(c) != std::string::npos;
  });
  if (plain) return text;
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// The plug-in to validate, as named on the command line: a URI an LV2
// world knows, or an LV2 bundle folder (one plug-in) or the shared object
// in one; else a VST 2 plug-in as every command finds it.
struct Target {
  PluginFormat format = PluginFormat::vst2;
  std::string name;
  std::string path;  // VST 2: the shared object; LV2: the URI
  std::unique_ptr<host::Lv2World> world;
};

std::vector<std::filesystem::path> lv2SearchFolders() {
  std::vector<std::filesystem::path> folders;
#ifdef KQFX_LV2_PLUGIN_DIR
  folders.emplace_back(KQFX_LV2_PLUGIN_DIR);
#endif
  if (const char* path = std::getenv("LV2_PATH")) {
    std::string rest = path;
    for (std::size_t colon; (colon = rest.find(':')) != std::string::npos; rest.erase(0, colon + 1)) {
      if (colon > 0) folders.push_back(std::filesystem::absolute(rest.substr(0, colon)));
    }
    // Absolute, as lilv cannot read a relative folder.
    if (!rest.empty()) folders.push_back(std::filesystem::absolute(rest));
    return folders;
  }
  if (const char* home = std::getenv("HOME")) folders.push_back(std::filesystem::path(home) / ".lv2");
  folders.emplace_back("/usr/local/lib/lv2");
  folders.emplace_back("/usr/lib/lv2");
  return folders;
}

Target chooseTarget(const std::string& argument) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path given(argument);
  fs::path bundle;
  if (fs::is_directory(given, error) && fs::exists(given / "manifest.ttl", error)) {
    bundle = given;
  } else if (fs::is_regular_file(given, error) && fs::exists(given.parent_path() / "manifest.ttl", error)) {
    bundle = given.parent_path();
  }
  const bool uriLike = argument.find(':') != std::string::npos && !fs::exists(given, error);
  Target target;
  if (bundle.empty() && !uriLike) {
    const fs::path path = resolvePlugin(argument, SearchEnvironment::fromProcess());
    target.name = pluginName(path);
    target.path = path.string();
    return target;
  }
  target.format = PluginFormat::lv2;
  target.world = std::make_unique<host::Lv2World>(lv2SearchFolders());
  std::string uri = argument;
  if (!bundle.empty()) {
    std::vector<std::string> uris = target.world->loadBundle(fs::absolute(bundle));
    if (given != bundle) {
      const fs::path library = fs::weakly_canonical(given, error);
      std::erase_if(uris, [&](const std::string& candidate) {
        return fs::weakly_canonical(target.world->describe(candidate).libraryPath, error) != library;
      });
    }
    if (uris.size() != 1) {
      std::string list;
      for (const std::string& candidate : uris) list += "\n  " + candidate;
      throw CommandFailure(argument + " holds " + std::to_string(uris.size()) +
                           " LV2 plug-ins; name one by its URI" + (list.empty() ? "" : ":" + list));
    }
    uri = uris.front();
  }
  target.name = target.world->describe(uri).name;
  target.path = uri;
  return target;
}

std::string replayCommand(const ValidateRequest& request, const std::string& path,
                          const std::string& check) {
  std::string command = "kqfx validate " + shellWord(path) + " --check " + check + " --seed " +
                        std::to_string(request.seed) + " --level " + std::to_string(request.level);
  if (request.gui) command += " --gui";
  if (request.extremeRates) command += " --extreme-rates";
  return command;
}

std::string listChecks(int level) {
  std::string text = "checks at level " + std::to_string(level) + " (the level each starts at):\n";
  std::string later;
  for (const CheckDefinition& check : checkCatalogue()) {
    char start[32];
    std::snprintf(start, sizeof start, "  %2d  %-15s ", check.level, check.name);
    const std::string line = start + std::string(check.purpose) +
                             (check.lv2Only ? " (LV2 only)" : check.notForLv2 ? " (not LV2)" : "") + "\n";
    if (check.run == checkEditor) {
      later += line;
    } else if (check.level <= level) {
      text += line;
    } else {
      later += line;
    }
  }
  text += "stricter from a level on:\n";
  for (const Tightening& tightening : tightenings()) {
    char line[200];
    std::snprintf(line, sizeof line, "  %2d  %-15s %s%s\n", tightening.level, tightening.checks,
                  tightening.what, tightening.level <= level ? "" : " (not at this level)");
    text += line;
  }
  if (!later.empty()) text += "not run at this level:\n" + later;
  return text;
}

}  // namespace

int runValidate(const ValidateRequest& request) {
  if (request.listChecks) {
    printOut(listChecks(request.level));
    return 0;
  }
  const Target target = chooseTarget(request.plugin);
  ValidationReport report;
  report.plugin = target.name;
  report.path = target.path;
  report.format = target.format;
  report.settings = {request.level, request.seed, request.gui, request.extremeRates};

  const CheckProcessesEndWithUs endWithUs;
  bool loaded = true;
  for (const CheckDefinition& check : checkCatalogue()) {
    if (!wanted(request, check)) continue;
    if (check.lv2Only && target.format != PluginFormat::lv2) continue;
    CheckResult result{check.name, {}, {}, {}, {}};
    if (check.notForLv2 && target.format == PluginFormat::lv2) {
      result.outcome = CheckOutcome::notApplicable(std::string("does not apply to LV2: ") + check.notForLv2);
    } else if (!loaded) {
      result.outcome = CheckOutcome::skipped("not run: the plug-in did not load");
    } else {
      IsolatedOutcome isolated = runIsolated(
          [&]() -> CheckOutcome {
            std::unique_ptr<host::PluginLibrary> library;
            PluginUnderTest plugin;
            plugin.format = target.format;
            if (target.format == PluginFormat::lv2) {
              plugin.world = target.world.get();
              plugin.uri = target.path;
            } else {
              try {
                library = openPlugin(target.path);
              } catch (const std::exception& error) {
                return CheckOutcome::failed(error.what());
              }
              plugin.library = library.get();
            }
            const CheckContext context{plugin, report.settings, check.name};
            return check.run(context);
          },
          request.timeoutSeconds);
      result.outcome = std::move(isolated.outcome);
      result.trail = std::move(isolated.trail);
      result.output = std::move(isolated.output);
      result.replay = replayCommand(request, report.path, check.name);
      if (check.run == checkCatalogue().front().run) {
        loaded = result.outcome.verdict == Verdict::pass;
      }
    }
    if (!request.json) printOut(checkLine(result));
    report.results.push_back(std::move(result));
  }
  printOut(request.json ? reportJson(report) : summaryLine(report));
  return report.allPassed() ? 0 : 1;
}

}  // namespace kqfx::command
