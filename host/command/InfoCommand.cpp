#include "Commands.h"
#include "PluginLoading.h"
#include "PluginReport.h"
#include "PluginSearch.h"
#include "StandardOutput.h"

namespace kqfx::command {

int runInfo(const InfoRequest& request) {
  const std::filesystem::path path = resolvePlugin(request.plugin, SearchEnvironment::fromProcess());
  const PluginReport report = inspectPlugin(*openPlugin(path), pluginName(path));
  printOut(request.json ? reportJson(report) : reportText(report));
  return 0;
}

}  // namespace kqfx::command
