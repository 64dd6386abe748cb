// libFuzzer target: random host sessions with the plug-in named by the
// environment variable KQFX_FUZZ_PLUGIN (the path of its shared object).
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "PluginSequence.h"

namespace {

std::unique_ptr<kqfx::host::PluginLibrary> library;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* path = std::getenv("KQFX_FUZZ_PLUGIN");
  if (!path || !*path) {
    std::fprintf(stderr, "set KQFX_FUZZ_PLUGIN to the plug-in's shared object\n");
    std::exit(2);
  }
  library = std::make_unique<kqfx::host::PluginLibrary>(path);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  kqfx::fuzz::runPluginSession(*library, data, size);
  return 0;
}
