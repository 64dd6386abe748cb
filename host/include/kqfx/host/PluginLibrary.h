#pragma once
// A VST 2 plug-in shared object opened for use: owns the loader handle and
// finds the entry function and exported data by name.

#include <string>

#include "kqfx/framework/AEffect.h"
#include "kqfx/host/HostError.h"

namespace kqfx::host {

using EntryFunction = AEffect* (*)(HostCallback callback);

class PluginLibrary {
 public:
  // Opens the shared object with local symbol binding, so that several
  // plug-ins in one process never resolve to each other's code. Throws
  // HostError when it cannot be loaded or has no entry function.
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  const std::string& path() const { return path_; }
  // The entry function: VSTPluginMain, else main_plugin, else main.
  EntryFunction entry() const { return entry_; }
  const std::string& entryName() const { return entryName_; }
  // Any exported symbol, or null.
  void* symbol(const char* name) const;

 private:
  std::string path_;
  void* handle_ = nullptr;
  EntryFunction entry_ = nullptr;
  std::string entryName_;
};

}  // namespace kqfx::host
