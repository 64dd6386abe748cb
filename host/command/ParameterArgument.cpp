#include "ParameterArgument.h"

#include <cctype>

#include "CommandErrors.h"
#include "NumberText.h"

namespace kqfx::command {
namespace {

std::string folded(const std::string& text, bool dropSeparators) {
  std::string result;
  for (unsigned char c : text) {
    if (dropSeparators && (std::isspace(c) || c == '_' || c == '-')) continue;
    result += static_cast<char>(std::tolower(c));
  }
  return result;
}

std::vector<int32_t> matches(const std::string& key, const std::vector<std::string>& names,
                             bool dropSeparators) {
  std::vector<int32_t> found;
  const std::string wanted = folded(key, dropSeparators);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (folded(names[i], dropSeparators) == wanted) found.push_back(static_cast<int32_t>(i));
  }
  return found;
}

// The parameter names for a one-line message: all of them, or the first
// few of a long list.
std::string namesForMessage(const std::vector<std::string>& names) {
  constexpr std::size_t kShown = 12;
  if (names.empty()) return "it has no parameters";
  std::string list;
  for (std::size_t i = 0; i < names.size() && i < kShown; ++i) {
    list += (list.empty() ? "" : ", ") + ("'" + names[i] + "'");
  }
  if (names.size() > kShown) {
    list += ", ... (" + std::to_string(names.size()) + " in all; 'kqfx info' lists them)";
  }
  return "its parameters are " + list;
}

}  // namespace

ParameterArgument parseParameterArgument(const std::string& text, const std::string& command) {
  const std::size_t equals = text.rfind('=');
  if (equals == std::string::npos || equals == 0) {
    throw UsageError(command, "parameter '" + text + "' should be NAME=VALUE");
  }
  ParameterArgument argument;
  argument.key = text.substr(0, equals);
  argument.shown = text.substr(equals + 1);
  if (argument.shown.empty()) {
    throw UsageError(command, "parameter '" + argument.key + "' has no value");
  }
  const std::optional<double> value = parseDecimal(argument.shown);
  if (value && *value >= 0.0 && *value <= 1.0) argument.value = static_cast<float>(*value);
  return argument;
}

int32_t resolveParameter(const std::string& key, const std::vector<std::string>& names,
                         const std::string& command) {
  for (bool dropSeparators : {false, true}) {
    const std::vector<int32_t> found = matches(key, names, dropSeparators);
    if (found.size() == 1) return found[0];
    if (found.size() > 1) {
      throw UsageError(command, "parameter name '" + key +
                                     "' is ambiguous: more than one parameter has it; use an index");
    }
  }
  if (const std::optional<long long> index = parseWholeNumber(key)) {
    if (*index >= 0 && *index < static_cast<long long>(names.size())) {
      return static_cast<int32_t>(*index);
    }
    throw UsageError(command, "parameter index " + key + " is out of range: the plug-in has " +
                                   std::to_string(names.size()) + " parameters");
  }
  throw UsageError(command, "the plug-in has no parameter '" + key + "'; " +
                                 namesForMessage(names));
}

}  // namespace kqfx::command
