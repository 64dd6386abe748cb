#pragma once
// `-p NAME=VALUE` on the command line, checked and matched against a
// plug-in's parameters.

#include <cstdint>
#include <string>
#include <vector>

namespace kqfx::command {

struct ParameterArgument {
  std::string key;  // name or index, as typed
  float value = 0.0f;
};

// Splits at the last '=' and checks the value: a number from 0 to 1.
// Throws UsageError.
ParameterArgument parseParameterArgument(const std::string& text);

// The index of the parameter `key` names among `names`: the one whose name
// matches regardless of case; failing that, regardless of case, blanks,
// '_' and '-' too ("input_gain"); failing that, `key` read as an index.
// Throws UsageError when there is none, or more than one.
int32_t resolveParameter(const std::string& key, const std::vector<std::string>& names);

}  // namespace kqfx::command
