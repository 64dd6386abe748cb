// Parameter names, labels and value texts, as a host shows them.
#include <algorithm>
#include <clocale>
#include <cstring>
#include <locale>
#include <optional>
#include <vector>

#include "CheckSupport.h"
#include "Checks.h"
#include "Vst2Rig.h"

namespace kqfx::command::validate {
namespace {

// The host's text buffer, with a guard behind it that must stay untouched.
constexpr std::size_t kTextBuffer = 256;
constexpr std::size_t kGuard = 256;
constexpr char kFill = 'Z';

struct TextAnswer {
  std::string text;
  bool terminated = false;
  bool overran = false;
};

TextAnswer askText(TracedPlugin& plugin, int32_t opcode, int32_t index) {
  std::vector<char> buffer(kTextBuffer + kGuard, kFill);
  plugin.dispatch(opcode, index, 0, buffer.data());
  TextAnswer answer;
  const auto end = buffer.begin() + kTextBuffer;
  const auto zero = std::find(buffer.begin(), end, '\0');
  answer.terminated = zero != end;
  answer.text.assign(buffer.begin(), zero);
  answer.overran = std::any_of(end, buffer.end(), [](char c) { return c != kFill; });
  return answer;
}

const char* opcodeWhat(int32_t opcode) {
  switch (opcode) {
    case opGetParameterName: return "name";
    case opGetParameterLabel: return "label";
    default: return "value text";
  }
}

// A locale that writes decimal commas, when one is installed.
std::optional<std::string> commaLocale() {
  const std::string before = std::setlocale(LC_ALL, nullptr);
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE",
                           "fr_FR", "nl_NL.UTF-8", "ru_RU.UTF-8"}) {
    if (std::setlocale(LC_ALL, name)) {
      const bool comma = std::strcmp(std::localeconv()->decimal_point, ",") == 0;
      std::setlocale(LC_ALL, before.c_str());
      if (comma) return std::string(name);
    }
  }
  return std::nullopt;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

CheckOutcome checkMetadata(const CheckContext& context) {
  const std::string localeBefore = std::setlocale(LC_ALL, nullptr);
  const std::string cppLocaleBefore = std::locale().name();
  Vst2Rig rig(context.library(), 44100.0f, 512);
  TracedPlugin& plugin = rig.plugin();
  std::mt19937_64 random = context.random();
  const int32_t count = checkedParameterCount(rig);

  std::vector<float> values = {0.0f, 0.5f, 1.0f};
  for (int i = 0; i < context.scaled(2); ++i) values.push_back(randomUnit(random));

  // The texts of every parameter at every value, read twice.
  std::vector<std::vector<std::string>> displays(static_cast<std::size_t>(count));
  std::vector<std::string> snapped;
  for (int32_t p = 0; p < count; ++p) {
    std::vector<std::pair<float, float>> answers;  // value set, value answered
    for (float value : values) {
      plugin.setParameter(p, value);
      const float answered = plugin.getParameter(p);
      if (!(answered == value)) {
        // A plug-in may snap a value to one it can use (a floor, a step),
        // as long as that value is in range and stays when written back.
        plugin.setParameter(p, answered);
        const float again = plugin.getParameter(p);
        if (!(answered >= 0.0f && answered <= 1.0f) || !(again == answered)) {
          return CheckOutcome::failed(parameterCalled(rig, p) + " was set to " +
                                      std::to_string(value) + " but getParameter answers " +
                                      std::to_string(answered));
        }
        plugin.setParameter(p, value);
        snapped.push_back(parameterCalled(rig, p) + " " + std::to_string(value) + " to " +
                          std::to_string(answered));
      }
      answers.push_back({value, answered});
      for (int32_t opcode : {opGetParameterName, opGetParameterLabel, opGetParameterDisplay}) {
        const TextAnswer first = askText(plugin, opcode, p);
        const TextAnswer again = askText(plugin, opcode, p);
        const std::string what = std::string(opcodeWhat(opcode)) + " of parameter " +
                                 std::to_string(p);
        if (!first.terminated) {
          return CheckOutcome::failed(what + " has no terminating zero within " +
                                      std::to_string(kTextBuffer) + " bytes");
        }
        if (first.overran) {
          return CheckOutcome::failed(what + " wrote past the host's " +
                                      std::to_string(kTextBuffer) + "-byte buffer");
        }
        if (first.text != again.text) {
          return CheckOutcome::failed(what + " changes between two reads: " + quoted(first.text) +
                                      " then " + quoted(again.text));
        }
        if (opcode == opGetParameterName && first.text.empty()) {
          return CheckOutcome::failed("parameter " + std::to_string(p) + " has an empty name");
        }
        if (opcode == opGetParameterDisplay) displays[static_cast<std::size_t>(p)].push_back(first.text);
      }
    }
    // Snapped or not, a larger value never answers less, and the answers
    // span some range.
    std::sort(answers.begin(), answers.end());
    for (std::size_t i = 1; i < answers.size(); ++i) {
      if (answers[i].second < answers[i - 1].second) {
        return CheckOutcome::failed(parameterCalled(rig, p) + " answers " +
                                    std::to_string(answers[i].second) + " for " +
                                    std::to_string(answers[i].first) + " but " +
                                    std::to_string(answers[i - 1].second) + " for " +
                                    std::to_string(answers[i - 1].first));
      }
    }
    if (!(answers.back().second > answers.front().second)) {
      return CheckOutcome::failed("getParameter of " + parameterCalled(rig, p) +
                                  " answers the same for 0 and 1");
    }
  }

  const std::string localeAfter = std::setlocale(LC_ALL, nullptr);
  if (localeAfter != localeBefore || std::locale().name() != cppLocaleBefore) {
    return CheckOutcome::failed("the plug-in changed the process locale from " +
                                quoted(localeBefore) + " to " + quoted(localeAfter));
  }

  // The same value later, and under a decimal-comma locale, reads the same.
  const std::optional<std::string> comma = commaLocale();
  for (int pass = 0; pass < (comma ? 2 : 1); ++pass) {
    if (pass == 1) std::setlocale(LC_ALL, comma->c_str());
    for (int32_t p = 0; p < count; ++p) {
      for (std::size_t v = 0; v < values.size(); ++v) {
        plugin.setParameter(p, values[v]);
        const std::string text = askText(plugin, opGetParameterDisplay, p).text;
        const std::string& earlier = displays[static_cast<std::size_t>(p)][v];
        if (text != earlier) {
          std::setlocale(LC_ALL, localeBefore.c_str());
          return CheckOutcome::failed(
              "value text of parameter " + std::to_string(p) + " at " + std::to_string(values[v]) +
              " reads " + quoted(earlier) + " first and " + quoted(text) +
              (pass == 1 ? " under the " + *comma + " locale" : " later"));
        }
      }
    }
  }
  std::setlocale(LC_ALL, localeBefore.c_str());
  return CheckOutcome::passed(
      std::to_string(count) + " parameters: names, labels and value texts at " +
      std::to_string(values.size()) + " values terminated, stable" +
      (comma ? ", the same under " + *comma : " (no decimal-comma locale installed to compare)") +
      "; getParameter answers what was set" +
      (snapped.empty() ? std::string()
                       : " or a value the plug-in snapped it to (" + snapped.front() +
                             (snapped.size() > 1 ? ", " + std::to_string(snapped.size() - 1) + " more" : "") +
                             ")") +
      "; locale unchanged");
}

}  // namespace kqfx::command::validate
