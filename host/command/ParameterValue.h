#pragma once
// Setting a parameter from the command line on a loaded plug-in: a 0..1
// value as it is, or a value as the plug-in shows it, found by searching
// the plug-in's own texts over 0..1.

#include <cstdint>
#include <string>

#include "ParameterArgument.h"
#include "kqfx/host/PluginInstance.h"

namespace kqfx::command {

// Sets parameter `index` of `plugin` to what `argument` asks for and
// answers the setting as shown ("Tempo = 120 BPM"). A shown value that is a
// name (a choice) must match one of the texts exactly, regardless of case;
// a number (with or without the parameter's unit) gets the value whose
// text is nearest. Throws UsageError for `command` when nothing matches.
std::string setParameterValue(host::PluginInstance& plugin, int32_t index,
                              const ParameterArgument& argument, const std::string& command);

// "Name = text label", blanks around the plug-in's texts trimmed.
std::string settingText(host::PluginInstance& plugin, int32_t index);

// The text without blanks at either end.
std::string trimmed(const std::string& text);

}  // namespace kqfx::command
