#include "ChannelMapArgument.h"

#include <cctype>
#include <vector>

#include "CommandErrors.h"
#include "NumberText.h"

namespace kqfx::command {
namespace {

std::vector<std::string> commaSeparated(const std::string& text) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == ',') {
      parts.emplace_back();
    } else {
      parts.back() += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return parts;
}

host::InputFeed feedFor(const std::string& word, const std::string& whole) {
  if (word == "l" || word == "left") return host::InputFeed::left;
  if (word == "r" || word == "right") return host::InputFeed::right;
  if (word == "m" || word == "mid") return host::InputFeed::mid;
  if (word == "0" || word == "silence") return host::InputFeed::silence;
  throw UsageError("render", "--inputs '" + whole + "': '" + word +
                                 "' is not left (L), right (R), mid (M) or silence (0)");
}

}  // namespace

host::ChannelMap channelMapFor(int32_t pluginInputs, int32_t pluginOutputs,
                               const std::optional<std::string>& inputs,
                               const std::optional<std::string>& outputs) {
  host::ChannelMap map = host::defaultChannelMap(pluginInputs, pluginOutputs);
  if (inputs) {
    const std::vector<std::string> words = commaSeparated(*inputs);
    if (words.size() != static_cast<std::size_t>(pluginInputs)) {
      throw UsageError("render", "--inputs '" + *inputs + "' names " +
                                     std::to_string(words.size()) + " inputs; the plug-in has " +
                                     std::to_string(pluginInputs));
    }
    map.inputs.clear();
    for (const std::string& word : words) map.inputs.push_back(feedFor(word, *inputs));
  }
  if (outputs) {
    const std::vector<std::string> words = commaSeparated(*outputs);
    std::vector<int32_t> chosen;
    for (const std::string& word : words) {
      const std::optional<long long> number = parseWholeNumber(word);
      if (!number || *number < 1 || *number > pluginOutputs || words.size() > 2) {
        throw UsageError("render", "--outputs '" + *outputs +
                                       "' must be one or two output numbers from 1 to " +
                                       std::to_string(pluginOutputs));
      }
      chosen.push_back(static_cast<int32_t>(*number - 1));
    }
    map.outputs = {chosen.front(), chosen.back()};
  }
  return map;
}

}  // namespace kqfx::command
