#pragma once
// `-p NAME=VALUE` on the command line, checked and matched against a
// plug-in's parameters.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kqfx::command {

struct ParameterArgument {
  std::string key;  // name or index, as typed
  // A bare number from 0 to 1 is the plug-in's own 0..1 value; anything
  // else (120, +6dB, Catacombs) is a value as the plug-in shows it, found
  // by searching its texts once the plug-in is loaded.
  std::optional<float> value;
  std::string shown;
};

// Splits at the last '=' and checks that there is a value. Throws
// UsageError for `command`.
ParameterArgument parseParameterArgument(const std::string& text,
                                         const std::string& command = "render");

// The index of the parameter `key` names among `names`: the one whose name
// matches regardless of case; failing that, regardless of case, blanks,
// '_' and '-' too ("input_gain"); failing that, `key` read as an index.
// Throws UsageError when there is none, or more than one.
int32_t resolveParameter(const std::string& key, const std::vector<std::string>& names,
                         const std::string& command = "render");

}  // namespace kqfx::command
