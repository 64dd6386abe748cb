#include "PluginSearch.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <system_error>

#include "CommandErrors.h"
#include "PluginSuggestions.h"
#include "PrintableText.h"

namespace fs = std::filesystem;

namespace kqfx::command {
namespace {

constexpr int kMaxFolderDepth = 4;

const char* const kSystemFolders[] = {
    "/usr/local/lib/vst",       "/usr/lib/vst",
    "/usr/local/lib/lxvst",     "/usr/lib/lxvst",
    "/usr/local/lib/x86_64-linux-gnu/vst", "/usr/lib/x86_64-linux-gnu/vst",
    "/usr/local/lib/x86_64-linux-gnu/lxvst", "/usr/lib/x86_64-linux-gnu/lxvst",
};

const char* const kSystemLv2Folders[] = {"/usr/local/lib/lv2", "/usr/lib/lv2"};

// The folders that exist, each once (by what it resolves to).
std::vector<fs::path> existingOnce(const std::vector<fs::path>& candidates);

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool endsWithSo(const std::string& text) {
  return text.size() > 3 && lowerCase(text.substr(text.size() - 3)) == ".so";
}

std::vector<std::string> splitColons(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(':', start), text.size());
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool isDirectory(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

}  // namespace

SearchEnvironment SearchEnvironment::fromProcess() {
  SearchEnvironment environment;
  std::error_code error;
  const fs::path executable = fs::read_symlink("/proc/self/exe", error);
  if (!error) environment.executableDirectory = executable.parent_path();
#ifdef KQFX_PLUGIN_DIR
  environment.buildPluginDirectory = KQFX_PLUGIN_DIR;
#endif
  if (const char* path = std::getenv("KQFX_PLUGIN_PATH")) environment.pluginPath = path;
  if (const char* home = std::getenv("HOME")) environment.home = home;
  if (const char* system = std::getenv("KQFX_SYSTEM_VST_PATH")) environment.systemPath = system;
#ifdef KQFX_LV2_BUNDLE_DIR
  environment.buildLv2Bundle = KQFX_LV2_BUNDLE_DIR;
#endif
  if (const char* lv2 = std::getenv("LV2_PATH")) environment.lv2Path = lv2;
  return environment;
}

std::vector<fs::path> pluginFolders(const SearchEnvironment& environment) {
  std::vector<fs::path> candidates;
  const fs::path installed = environment.executableDirectory.empty()
                                 ? fs::path()
                                 : environment.executableDirectory.parent_path() / "lib" / "vst";
  if (!installed.empty() && isDirectory(installed)) {
    candidates.push_back(installed);
  } else if (!environment.buildPluginDirectory.empty()) {
    candidates.push_back(environment.buildPluginDirectory);
  }
  for (const std::string& folder : splitColons(environment.pluginPath)) {
    candidates.emplace_back(folder);
  }
  if (!environment.home.empty()) candidates.push_back(fs::path(environment.home) / ".vst");
  if (environment.systemPath) {
    for (const std::string& folder : splitColons(*environment.systemPath)) {
      candidates.emplace_back(folder);
    }
  } else {
    for (const char* folder : kSystemFolders) candidates.emplace_back(folder);
  }

  return existingOnce(candidates);
}

namespace {

std::vector<fs::path> existingOnce(const std::vector<fs::path>& candidates) {
  std::vector<fs::path> folders;
  std::vector<fs::path> seen;
  for (const fs::path& folder : candidates) {
    if (!isDirectory(folder)) continue;
    std::error_code error;
    fs::path identity = fs::canonical(folder, error);
    if (error) identity = folder.lexically_normal();
    if (std::find(seen.begin(), seen.end(), identity) != seen.end()) continue;
    seen.push_back(identity);
    folders.push_back(folder);
  }
  return folders;
}

fs::path installedLv2Folder(const SearchEnvironment& environment) {
  if (environment.executableDirectory.empty()) return {};
  const fs::path folder = environment.executableDirectory.parent_path() / "lib" / "lv2";
  return isDirectory(folder) ? folder : fs::path();
}

}  // namespace

std::vector<fs::path> lv2Folders(const SearchEnvironment& environment) {
  std::vector<fs::path> candidates;
  const fs::path installed = installedLv2Folder(environment);
  if (!installed.empty()) candidates.push_back(installed);
  if (environment.lv2Path) {
    for (const std::string& folder : splitColons(*environment.lv2Path)) candidates.emplace_back(folder);
  } else {
    if (!environment.home.empty()) candidates.push_back(fs::path(environment.home) / ".lv2");
    for (const char* folder : kSystemLv2Folders) candidates.emplace_back(folder);
  }
  return existingOnce(candidates);
}

std::vector<fs::path> lv2Bundles(const SearchEnvironment& environment) {
  std::error_code error;
  if (!installedLv2Folder(environment).empty() || environment.buildLv2Bundle.empty() ||
      !fs::is_regular_file(environment.buildLv2Bundle / "manifest.ttl", error)) {
    return {};
  }
  return {environment.buildLv2Bundle};
}

std::vector<fs::path> sharedObjectsIn(const fs::path& folder) {
  std::vector<fs::path> found;
  std::error_code error;
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                      error);
  const fs::recursive_directory_iterator end;
  for (; !error && it != end; it.increment(error)) {
    if (it.depth() >= kMaxFolderDepth - 1) it.disable_recursion_pending();
    std::error_code statError;
    if (endsWithSo(it->path().filename().string()) && it->is_regular_file(statError)) {
      found.push_back(it->path());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::string pluginName(const fs::path& sharedObject) {
  const std::string file = sharedObject.filename().string();
  return endsWithSo(file) ? file.substr(0, file.size() - 3) : file;
}

std::optional<fs::path> findPlugin(const std::string& name, const std::vector<fs::path>& folders) {
  const std::string wanted = lowerCase(name);
  for (const fs::path& folder : folders) {
    for (const fs::path& candidate : sharedObjectsIn(folder)) {
      if (lowerCase(pluginName(candidate)) == wanted) return candidate;
    }
  }
  return std::nullopt;
}

fs::path resolvePlugin(const std::string& argument, const SearchEnvironment& environment) {
  if (argument.empty()) throw CommandFailure("the plug-in name is empty");
  const bool looksLikePath = argument.find('/') != std::string::npos;
  std::error_code error;
  if (looksLikePath || (endsWithSo(argument) && fs::exists(argument, error))) {
    // A bare file name is the file here: the loader would otherwise look
    // for it in the system's library folders.
    const fs::path path = looksLikePath ? fs::path(argument) : fs::path(".") / argument;
    if (!fs::exists(path, error)) throw CommandFailure("plug-in '" + argument + "' does not exist");
    if (fs::is_directory(path, error)) {
      throw CommandFailure("plug-in '" + argument + "' is a folder, not a shared object");
    }
    if (::access(path.c_str(), R_OK) != 0) {
      throw CommandFailure("plug-in '" + argument + "' cannot be read: permission denied");
    }
    return path;
  }
  const std::string name = endsWithSo(argument) ? pluginName(argument) : argument;
  const std::vector<fs::path> folders = pluginFolders(environment);
  if (auto found = findPlugin(name, folders)) return *found;
  std::vector<std::string> known;
  for (const fs::path& folder : folders) {
    for (const fs::path& candidate : sharedObjectsIn(folder)) known.push_back(pluginName(candidate));
  }
  refuseUnknownPlugin(name, known);
}

void refuseUnknownPlugin(const std::string& name, const std::vector<std::string>& known) {
  const std::vector<std::string> close = nearMisses(name, known);
  std::string suggestion;
  for (std::size_t i = 0; i < close.size(); ++i) {
    suggestion += (i == 0 ? "did you mean " : i + 1 == close.size() ? " or " : ", ") +
                  printableLine(close[i]);
  }
  throw CommandFailure("no plug-in named '" + printableLine(name) + "' was found (" +
                       (suggestion.empty() ? "" : suggestion + "? ") +
                       "see 'kqfx list' for what there is, or give a path)");
}

}  // namespace kqfx::command
