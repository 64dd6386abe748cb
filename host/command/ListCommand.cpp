#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "Commands.h"
#include "JsonText.h"
#include "PluginProbe.h"
#include "PluginReport.h"
#include "PluginSearch.h"
#include "PrintableText.h"
#include "StandardOutput.h"

namespace kqfx::command {

int runList(const ListRequest& request) {
  const std::vector<std::filesystem::path> folders =
      pluginFolders(SearchEnvironment::fromProcess());
  std::vector<std::array<std::string, 4>> rows;
  std::vector<std::pair<std::string, std::string>> skipped;  // path, problem
  for (const std::filesystem::path& folder : folders) {
    for (const std::filesystem::path& candidate : sharedObjectsIn(folder)) {
      const ProbeResult probe = probePlugin(candidate, request.probeTimeoutSeconds);
      if (probe.ok) {
        rows.push_back({pluginName(candidate), fourCharText(probe.uniqueId),
                        std::to_string(probe.numParams), candidate.string()});
      } else if (!probe.notAPlugin) {
        if (!request.json) {
          printError("kqfx: skipped " + printableLine(candidate.string()) + ": " +
                     printableLine(probe.problem) + "\n");
        }
        skipped.push_back({candidate.string(), probe.problem});
      }
    }
  }
  if (request.json) {
    // The same findings for programs: names and paths as they are.
    std::string json = "{\n  \"plugins\": [";
    for (std::size_t i = 0; i < rows.size(); ++i) {
      json += std::string(i == 0 ? "\n" : ",\n") + "    {\"name\": " + jsonString(rows[i][0]) +
              ", \"uniqueId\": " + jsonString(rows[i][1]) + ", \"parameters\": " + rows[i][2] +
              ", \"path\": " + jsonString(rows[i][3]) + "}";
    }
    json += std::string(rows.empty() ? "" : "\n  ") + "],\n  \"skipped\": [";
    for (std::size_t i = 0; i < skipped.size(); ++i) {
      json += std::string(i == 0 ? "\n" : ",\n") + "    {\"path\": " + jsonString(skipped[i].first) +
              ", \"problem\": " + jsonString(skipped[i].second) + "}";
    }
    json += std::string(skipped.empty() ? "" : "\n  ") + "]\n}\n";
    printOut(json);
    return 0;
  }
  if (rows.empty()) {
    std::string searched;
    for (const auto& folder : folders) searched += (searched.empty() ? "" : ", ") + folder.string();
    printError("kqfx: no plug-ins found" +
               (searched.empty() ? std::string(" (none of the plug-in folders exists)")
                                 : " in " + printableLine(searched)) +
               "\n");
    return 0;
  }
  // File names are shown with their control characters escaped: a name
  // holding an escape sequence or a line break must not recolour the
  // terminal or break the one line per plug-in.
  for (auto& row : rows) {
    for (std::string& cell : row) cell = printableLine(cell);
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
