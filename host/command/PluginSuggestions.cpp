#include "PluginSuggestions.h"

#include <algorithm>
#include <cctype>

namespace kqfx::command {
namespace {

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Edits (insert, delete, replace, swap of neighbours) from one to the other.
std::size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

std::vector<std::string> nearMisses(const std::string& typed, const std::vector<std::string>& known,
                                    std::size_t most) {
  const std::string wanted = lowerCase(typed);
  if (wanted.empty()) return {};
  // Lower scores are closer: containing the typed name scores by the
  // letters added; a slip scores by its edits, behind every containing name.
  const std::size_t slips = std::max<std::size_t>(2, wanted.size() / 3);
  std::vector<std::pair<std::size_t, std::string>> scored;
  for (const std::string& name : known) {
    const std::string candidate = lowerCase(name);
    std::size_t score = 0;
    if (candidate.find(wanted) != std::string::npos) {
      score = candidate.size() - wanted.size();
    } else {
      // Against the whole name and against its starts about as long as
      // what was typed, so that "zamcmp" finds "ZamComp-vst".
      std::size_t best = editDistance(wanted, candidate);
      for (std::size_t length = wanted.size() > 2 ? wanted.size() - 2 : 1;
           length <= wanted.size() + 2 && length < candidate.size(); ++length) {
        best = std::min(best, editDistance(wanted, candidate.substr(0, length)) + 1);
      }
      if (best > slips) continue;
      score = 1000 + best;
    }
    if (std::none_of(scored.begin(), scored.end(), [&](const auto& s) { return s.second == name; })) {
      scored.push_back({score, name});
    }
  }
  std::stable_sort(scored.begin(), scored.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> names;
  for (std::size_t i = 0; i < scored.size() && i < most; ++i) names.push_back(scored[i].second);
  return names;
}

}  // namespace kqfx::command
