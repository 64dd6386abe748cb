#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "Commands.h"
#include "PluginProbe.h"
#include "PluginReport.h"
#include "PluginSearch.h"
#include "StandardOutput.h"

namespace kqfx::command {

int runList(const ListRequest& request) {
  const std::vector<std::filesystem::path> folders =
      pluginFolders(SearchEnvironment::fromProcess());
  std::vector<std::array<std::string, 4>> rows;
  for (const std::filesystem::path& folder : folders) {
    for (const std::filesystem::path& candidate : sharedObjectsIn(folder)) {
      const ProbeResult probe = probePlugin(candidate, request.probeTimeoutSeconds);
      if (probe.ok) {
        rows.push_back({pluginName(candidate), fourCharText(probe.uniqueId),
                        std::to_string(probe.numParams), candidate.string()});
      } else if (!probe.notAPlugin) {
        printError("kqfx: skipped " + candidate.string() + ": " + probe.problem + "\n");
      }
    }
  }
  if (rows.empty()) {
    std::string searched;
    for (const auto& folder : folders) searched += (searched.empty() ? "" : ", ") + folder.string();
    printError("kqfx: no plug-ins found" +
               (searched.empty() ? std::string(" (none of the plug-in folders exists)")
                                 : " in " + searched) +
               "\n");
    return 0;
  }
  std::array<std::size_t, 4> widths{};
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  std::string text;
  for (const auto& row : rows) {
    text += row[0] + std::string(widths[0] - row[0].size() + 2, ' ') + row[1] + "  " +
            std::string(widths[2] - row[2].size(), ' ') + row[2] + "  " + row[3] + "\n";
  }
  printOut(text);
  return 0;
}

}  // namespace kqfx::command
