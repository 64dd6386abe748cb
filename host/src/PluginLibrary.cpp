#include "kqfx/host/PluginLibrary.h"

#include <dlfcn.h>

namespace kqfx::host {

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
  dlerror();
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = dlerror();
    throw HostError("cannot load plug-in '" + path + "': " + (why ? why : "unknown error"));
  }
  for (const char* name : {"VSTPluginMain", "main_plugin", "main"}) {
    if (void* found = dlsym(handle_, name)) {
      entry_ = reinterpret_cast<EntryFunction>(found);
      entryName_ = name;
      return;
    }
  }
  dlclose(handle_);
  handle_ = nullptr;
  throw HostError("'" + path + "' is not a VST 2 plug-in: it has no entry function");
}

PluginLibrary::~PluginLibrary() {
  if (handle_) dlclose(handle_);
}

void* PluginLibrary::symbol(const char* name) const { return dlsym(handle_, name); }

}  // namespace kqfx::host
