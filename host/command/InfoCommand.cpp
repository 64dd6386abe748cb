#include "Commands.h"
#include "Interruption.h"
#include "ParameterArgument.h"
#include "PluginLoading.h"
#include "PluginReport.h"
#include "PluginSearch.h"
#include "StandardOutput.h"

namespace kqfx::command {

int runInfo(const InfoRequest& request) {
  std::vector<ParameterArgument> preview;
  for (const std::string& text : request.parameters) {
    preview.push_back(parseParameterArgument(text, "info"));
  }
  const std::filesystem::path path = resolvePlugin(request.plugin, SearchEnvironment::fromProcess());
  // A plug-in that crashes or hangs ends kqfx with one clear message.
  PluginReport report;
  {
    InterruptionGuard guard;
    setActivity(pluginName(path) + ": loading and inspecting");
    report = inspectPlugin(*openPlugin(path), pluginName(path), preview);
  }
  InterruptionGuard::endBySignalReceived();
  printOut(request.json ? reportJson(report) : reportText(report));
  return 0;
}

}  // namespace kqfx::command
