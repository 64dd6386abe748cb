#pragma once
// Setting a parameter from the command line on a loaded plug-in: a 0..1
// value as it is, or a value as the plug-in shows it, found by searching
// the plug-in's own texts over 0..1.

#include <cstdint>
#include <string>

#include "ParameterArgument.h"
#include "kqfx/host/Plugin.h"
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

// The same for an instance of either format. A VST 2 parameter takes its
// value as above; an LV2 control port takes its own value: a number, in
// its unit or without one, or the label of one of its scale points
// (regardless of case), within the port's range (a whole number for an
// integer port, a scale point's value for an enumeration).
std::string setParameterValue(host::Plugin& plugin, int32_t index,
                              const ParameterArgument& argument, const std::string& command);
std::string settingText(host::Plugin& plugin, int32_t index);

// The parameter `key` names (see resolveParameter); for LV2 a port symbol
// names its port too, and a number is a port index as 'kqfx info' shows it.
int32_t resolvePluginParameter(host::Plugin& plugin, const std::string& key,
                               const std::string& command);

// The text without blanks at either end.
std::string trimmed(const std::string& text);

}  // namespace kqfx::command
