// kqfx validate: every check the level asks for in a process of its own,
// one line each as it finishes (with what led to a failure and what the
// plug-in printed), then the summary.
#include <algorithm>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <memory>

#include "../Commands.h"
#include "../PluginChoice.h"
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
  const SearchEnvironment environment = SearchEnvironment::fromProcess();
  const ChosenPlugin target = choosePlugin(request.plugin, environment, request.format);
  // LV2: the world is read here, once; every check's process inherits it.
  host::Lv2World* world = target.format == PluginFormat::lv2 ? &lv2World(environment) : nullptr;
  ValidationReport report;
  report.plugin = target.name;
  report.path = target.format == PluginFormat::lv2 ? target.uri : target.path.string();
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
              plugin.world = world;
              plugin.uri = target.uri;
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
