#include "PluginLoading.h"

#include <cstring>
#include <fstream>

#include "CommandErrors.h"

namespace kqfx::command {

std::unique_ptr<host::PluginLibrary> openPlugin(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  char magic[4] = {};
  if (!file.read(magic, sizeof magic) || std::memcmp(magic, "\x7f" "ELF", 4) != 0) {
    throw CommandFailure("'" + path.string() + "' is not a shared object (no ELF header)");
  }
  return std::make_unique<host::PluginLibrary>(path.string());
}

}  // namespace kqfx::command
