#include "Commands.h"
#include "Interruption.h"
#include "Lv2Report.h"
#include "ParameterArgument.h"
#include "PluginChoice.h"
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
  const SearchEnvironment environment = SearchEnvironment::fromProcess();
  const ChosenPlugin chosen = choosePlugin(request.plugin, environment, request.format);
  if (chosen.format == host::PluginFormat::lv2) {
    Lv2Report report;
    {
      InterruptionGuard guard;
      setActivity(chosen.name + ": loading and inspecting");
      report = inspectLv2Plugin(lv2World(environment), chosen.uri, preview);
    }
    InterruptionGuard::endBySignalReceived();
    printOut(request.json ? lv2ReportJson(report) : lv2ReportText(report));
    return 0;
  }
  const std::filesystem::path& path = chosen.path;
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
