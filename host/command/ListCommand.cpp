#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "Commands.h"
#include "JsonText.h"
#include "PluginChoice.h"
#include "PluginProbe.h"
#include "PluginReport.h"
#include "PluginSearch.h"
#include "PrintableText.h"
#include "StandardOutput.h"

namespace kqfx::command {
namespace {

namespace fs = std::filesystem;

// Where a bundle's folder stands in the search: ours from the build tree
// first, then the folders in order.
std::size_t searchRank(const fs::path& bundle, const std::vector<fs::path>& bundles,
                       const std::vector<fs::path>& folders) {
  std::error_code error;
  const fs::path at = fs::weakly_canonical(bundle, error);
  for (const fs::path& first : bundles) {
    if (fs::equivalent(first, bundle, error)) return 0;
  }
  for (std::size_t i = 0; i < folders.size(); ++i) {
    const fs::path folder = fs::weakly_canonical(folders[i], error);
    if (at.parent_path() == folder) return i + 1;
  }
  return folders.size() + 1;
}

// The LV2 plug-ins, read from their descriptions only (no code is loaded):
// name, "lv2", URI, control inputs, bundle.
std::vector<std::array<std::string, 5>> lv2Rows(const SearchEnvironment& environment) {
  const host::Lv2World& world = lv2World(environment);
  const std::vector<fs::path> folders = lv2Folders(environment);
  const std::vector<fs::path> bundles = lv2Bundles(environment);
  struct Found {
    std::size_t rank;
    std::array<std::string, 5> row;
  };
  std::vector<Found> found;
  for (const std::string& uri : world.pluginUris()) {
    const host::Lv2PluginDescription description = world.describe(uri);
    const auto controls = std::count_if(
        description.ports.begin(), description.ports.end(), [](const host::Lv2PortDescription& port) {
          return port.kind == host::Lv2PortKind::control && port.input;
        });
    found.push_back({searchRank(description.bundlePath, bundles, folders),
                     {description.name.empty() ? uri : description.name, "lv2", uri,
                      std::to_string(controls), description.bundlePath}});
  }
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.rank != b.rank ? a.rank < b.rank : a.row[0] < b.row[0];
  });
  std::vector<std::array<std::string, 5>> rows;
  for (const Found& one : found) rows.push_back(one.row);
  return rows;
}

}  // namespace

int runList(const ListRequest& request) {
  const SearchEnvironment environment = SearchEnvironment::fromProcess();
  const bool vst2 = request.format != host::PluginFormat::lv2;
  const bool lv2 = request.format != host::PluginFormat::vst2;
  const std::vector<std::filesystem::path> folders =
      vst2 ? pluginFolders(environment) : std::vector<std::filesystem::path>{};
  std::vector<std::array<std::string, 5>> rows;
  std::vector<std::pair<std::string, std::string>> skipped;  // path, problem
  for (const std::filesystem::path& folder : folders) {
    for (const std::filesystem::path& candidate : sharedObjectsIn(folder)) {
      const ProbeResult probe = probePlugin(candidate, request.probeTimeoutSeconds);
      if (probe.ok) {
        rows.push_back({pluginName(candidate), "vst2", fourCharText(probe.uniqueId),
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
  if (lv2) {
    for (const auto& row : lv2Rows(environment)) rows.push_back(row);
  }
  if (request.json) {
    // The same findings for programs: names and paths as they are.
    std::string json = "{\n  \"plugins\": [";
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const bool isLv2 = rows[i][1] == "lv2";
      json += std::string(i == 0 ? "\n" : ",\n") + "    {\"name\": " + jsonString(rows[i][0]) +
              ", \"format\": " + jsonString(rows[i][1]) + (isLv2 ? ", \"uri\": " : ", \"uniqueId\": ") +
              jsonString(rows[i][2]) + ", \"parameters\": " + rows[i][3] +
              ", \"path\": " + jsonString(rows[i][4]) + "}";
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
    std::vector<std::filesystem::path> all = folders;
    if (lv2) {
      for (const auto& folder : lv2Folders(environment)) all.push_back(folder);
    }
    std::string searched;
    for (const auto& folder : all) searched += (searched.empty() ? "" : ", ") + folder.string();
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
  std::array<std::size_t, 5> widths{};
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  std::string text;
  for (const auto& row : rows) {
    text += row[0] + std::string(widths[0] - row[0].size() + 2, ' ') + row[1] +
            std::string(widths[1] - row[1].size() + 2, ' ') + row[2] +
            std::string(widths[2] - row[2].size() + 2, ' ') +
            std::string(widths[3] - row[3].size(), ' ') + row[3] + "  " + row[4] + "\n";
  }
  printOut(text);
  return 0;
}

}  // namespace kqfx::command
