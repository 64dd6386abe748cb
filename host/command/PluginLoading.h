#pragma once
// Opening a plug-in file named on the command line, with messages that
// say what is wrong with it.

#include <filesystem>
#include <memory>

#include "kqfx/host/PluginLibrary.h"

namespace kqfx::command {

// Throws CommandFailure when the file is not a shared object at all, and
// HostError when the loader refuses it or it has no entry function.
std::unique_ptr<host::PluginLibrary> openPlugin(const std::filesystem::path& path);

}  // namespace kqfx::command
