#pragma once
// PLUGIN as the user wrote it, in either format: a VST 2 shared object (a
// path, or a name found on the VST search path), an LV2 plug-in (its URI,
// its bundle folder or the shared object in it, or its name on the LV2
// search path), and the instance made from it.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PluginSearch.h"
#include "kqfx/host/Lv2World.h"
#include "kqfx/host/Plugin.h"

namespace kqfx::command {

struct ChosenPlugin {
  host::PluginFormat format = host::PluginFormat::vst2;
  std::string name;             // what kqfx calls it
  std::filesystem::path path;   // VST 2: the shared object; LV2: its bundle
  std::string uri;              // LV2 only
};

// The process's LV2 world, read on first use from the folders and bundles
// of `environment` (later calls get the same world).
host::Lv2World& lv2World(const SearchEnvironment& environment);

// Finds PLUGIN. A name found in both formats is an ambiguity, refused with
// the candidates listed, unless `format` says which (our own effects,
// the same in both formats, are the exception: their name means the
// VST 2 plug-in, as it always has). Throws CommandFailure when nothing
// matches, or several LV2 plug-ins do.
ChosenPlugin choosePlugin(const std::string& argument, const SearchEnvironment& environment,
                          std::optional<host::PluginFormat> format = std::nullopt);

// An instance at this rate and largest block size, switched off. Throws
// HostError or CommandFailure when it cannot be made.
std::unique_ptr<host::Plugin> instantiatePlugin(const ChosenPlugin& plugin,
                                                const SearchEnvironment& environment,
                                                float sampleRate, int32_t maxBlockSize);

}  // namespace kqfx::command
