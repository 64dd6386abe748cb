#pragma once
// Where kqfx looks for plug-ins, and how a name typed by the user becomes a
// shared object.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kqfx::command {

// What the search depends on, gathered once so tests can supply their own.
struct SearchEnvironment {
  std::filesystem::path executableDirectory;  // where kqfx itself lives
  std::filesystem::path buildPluginDirectory;  // where this build puts its plug-ins
  std::string pluginPath;                      // KQFX_PLUGIN_PATH
  std::string home;                            // HOME
  // KQFX_SYSTEM_VST_PATH, when set: replaces the usual system folders
  // (colon-separated; empty searches none of them).
  std::optional<std::string> systemPath;
  std::filesystem::path buildLv2Bundle;  // this build's kqfx.lv2
  // LV2_PATH, when set: replaces the usual LV2 folders (colon-separated;
  // empty searches none of them).
  std::optional<std::string> lv2Path;

  static SearchEnvironment fromProcess();
};

// The folders to search, in order, without duplicates. Our own come first:
// <prefix>/lib/vst beside an installed kqfx, else the build tree's.
std::vector<std::filesystem::path> pluginFolders(const SearchEnvironment& environment);

// The LV2 folders to search, in order, without duplicates: ours beside an
// installed kqfx (<prefix>/lib/lv2), then LV2_PATH or else ~/.lv2,
// /usr/local/lib/lv2 and /usr/lib/lv2.
std::vector<std::filesystem::path> lv2Folders(const SearchEnvironment& environment);
// Bundles read besides the folders: the build tree's, for a kqfx that is
// not installed.
std::vector<std::filesystem::path> lv2Bundles(const SearchEnvironment& environment);

// The shared objects (*.so) in a folder and its subfolders (a few levels
// deep, as plug-in bundles nest), sorted by path. Unreadable folders give
// nothing.
std::vector<std::filesystem::path> sharedObjectsIn(const std::filesystem::path& folder);

// The plug-in name a shared object goes by: its file name without ".so".
std::string pluginName(const std::filesystem::path& sharedObject);

// The first shared object, in folder order, whose name matches `name`
// regardless of case.
std::optional<std::filesystem::path> findPlugin(const std::string& name,
                                                const std::vector<std::filesystem::path>& folders);

// PLUGIN as the user wrote it: a path (it has a slash, or is an existing
// file ending in ".so") or else a name to find. Throws CommandFailure when
// the path does not name a file or the name is found nowhere.
std::filesystem::path resolvePlugin(const std::string& argument,
                                    const SearchEnvironment& environment);

// Refuses a name no plug-in answers to, suggesting the near misses among
// the names `known` (at most a few, in order).
[[noreturn]] void refuseUnknownPlugin(const std::string& name, const std::vector<std::string>& known);

}  // namespace kqfx::command
