// kqfx validate: every check in a process of its own, one line each as it
// finishes, then the summary.
#include <memory>

#include "../Commands.h"
#include "../PluginLoading.h"
#include "../PluginSearch.h"
#include "../StandardOutput.h"
#include "Check.h"
#include "IsolatedRun.h"
#include "ValidationReport.h"

namespace kqfx::command {

int runValidate(const ValidateRequest& request) {
  using namespace validate;
  const std::filesystem::path path =
      resolvePlugin(request.plugin, SearchEnvironment::fromProcess());
  ValidationReport report;
  report.plugin = pluginName(path);
  report.path = path.string();
  report.settings = {request.level, request.seed};

  bool loaded = true;
  for (const CheckDefinition& check : checkCatalogue()) {
    const bool wanted = request.checks.empty() || check.run == checkCatalogue().front().run ||
                        std::find(request.checks.begin(), request.checks.end(), check.name) !=
                            request.checks.end();
    if (!wanted) continue;
    CheckResult result{check.name, {}};
    if (!loaded) {
      result.outcome = CheckOutcome::skipped("not run: the plug-in did not load");
    } else {
      result.outcome = runIsolated(
          [&]() -> CheckOutcome {
            std::unique_ptr<host::PluginLibrary> library;
            try {
              library = openPlugin(path);
            } catch (const std::exception& error) {
              return CheckOutcome::failed(error.what());
            }
            const CheckContext context{*library, report.settings, check.name};
            return check.run(context);
          },
          request.timeoutSeconds);
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
