#include "PluginChoice.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>

#include "CommandErrors.h"
#include "PluginLoading.h"
#include "PluginSuggestions.h"
#include "PrintableText.h"
#include "kqfx/host/Lv2Plugin.h"
#include "kqfx/host/Vst2Plugin.h"

namespace fs = std::filesystem;

namespace kqfx::command {
namespace {

constexpr const char* kOurUriPrefix = "urn:kqfx:";

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

bool isBundle(const fs::path& folder) {
  std::error_code error;
  return fs::is_regular_file(folder / "manifest.ttl", error);
}

// "urn:kqfx:Pellvo", "http://...": a scheme of two or more letters, then ':'.
bool looksLikeUri(const std::string& text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon < 2) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!(std::isalnum(c) || c == '+' || c == '-' || c == '.') || (i == 0 && !std::isalpha(c))) {
      return false;
    }
  }
  return !exists(text);
}

std::string lv2Name(const host::Lv2World& world, const std::string& uri) {
  return world.pluginName(uri);
}

// Whether a plug-in's description files mention `lowerName` at all
// (regardless of case). Reading a plug-in's name makes lilv parse all of
// its description, which takes seconds for a large collection; the files
// themselves are read in milliseconds, so only the plug-ins that may bear
// the name are asked for it.
bool mayBeNamed(const LilvPlugin* plugin, const std::string& lowerName) {
  static std::map<std::string, std::string> lowerTexts;  // by file path
  const LilvNodes* files = lilv_plugin_get_data_uris(plugin);
  LILV_FOREACH(nodes, i, files) {
    char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_nodes_get(files, i)), nullptr);
    if (!path) return true;
    const std::string file(path);
    lilv_free(path);
    auto found = lowerTexts.find(file);
    if (found == lowerTexts.end()) {
      std::ifstream in(file, std::ios::binary);
      if (!in) continue;  // a description file that is gone names nothing
      found = lowerTexts.emplace(file, lowerCase(std::string(std::istreambuf_iterator<char>(in), {}))).first;
    }
    if (found->second.find(lowerName) != std::string::npos) return true;
  }
  return false;
}

ChosenPlugin chosenLv2(const host::Lv2World& world, const std::string& uri) {
  const LilvPlugin* plugin = world.lilvPlugin(uri);
  char* bundle = lilv_file_uri_parse(lilv_node_as_uri(lilv_plugin_get_bundle_uri(plugin)), nullptr);
  ChosenPlugin chosen{host::PluginFormat::lv2, lv2Name(world, uri), bundle ? bundle : "", uri};
  lilv_free(bundle);
  return chosen;
}

std::string uriList(const host::Lv2World& world, const std::vector<std::string>& uris) {
  std::string list;
  for (const std::string& uri : uris) {
    list += (list.empty() ? "" : ", ") + printableLine(uri) + " (" +
            printableLine(lv2Name(world, uri)) + ")";
  }
  return list;
}

// The one plug-in of a bundle, or of the bundle's shared object `library`.
ChosenPlugin fromBundle(host::Lv2World& world, const fs::path& bundle, const std::string& argument,
                        const fs::path& library = {}) {
  std::vector<std::string> uris = world.loadBundle(bundle);
  if (!library.empty()) {
    // A plug-in kept from another copy of the bundle has its shared object
    // there, under the same file name.
    std::erase_if(uris, [&](const std::string& uri) {
      return fs::path(world.describe(uri).libraryPath).filename() != library.filename();
    });
  }
  for (const std::string& uri : uris) {
    std::error_code error;
    const std::string kept = world.describe(uri).bundlePath;
    if (!fs::equivalent(kept, bundle, error)) {
      throw CommandFailure("'" + printableLine(argument) + "' holds " + printableLine(uri) +
                           ", a URI kqfx found first in " + printableLine(kept) +
                           " (an LV2 host takes the first plug-in found for a URI): use that one "
                           "or take it off the search path");
    }
  }
  if (!library.empty()) {
    std::erase_if(uris, [&](const std::string& uri) {
      std::error_code error;
      return !fs::equivalent(world.describe(uri).libraryPath, library, error);
    });
  }
  if (uris.empty()) {
    throw CommandFailure("'" + printableLine(argument) + "' holds no LV2 plug-in");
  }
  if (uris.size() > 1) {
    throw CommandFailure("'" + printableLine(argument) + "' holds " + std::to_string(uris.size()) +
                         " LV2 plug-ins; name one by its URI: " + uriList(world, uris));
  }
  return chosenLv2(world, uris.front());
}

// Our own folder of VST 2 plug-ins, as the search puts it first.
fs::path ourVstFolder(const SearchEnvironment& environment) {
  if (!environment.executableDirectory.empty()) {
    const fs::path installed = environment.executableDirectory.parent_path() / "lib" / "vst";
    std::error_code error;
    if (fs::is_directory(installed, error)) return installed;
  }
  return environment.buildPluginDirectory;
}

bool isOurs(const SearchEnvironment& environment, const fs::path& vst, const std::string& uri) {
  std::error_code error;
  return uri == kOurUriPrefix + pluginName(vst) &&
         fs::equivalent(vst.parent_path(), ourVstFolder(environment), error);
}

}  // namespace

host::Lv2World& lv2World(const SearchEnvironment& environment) {
  static std::unique_ptr<host::Lv2World> world;
  if (!world) {
    world = std::make_unique<host::Lv2World>(lv2Folders(environment));
    for (const fs::path& bundle : lv2Bundles(environment)) world->loadBundle(bundle);
  }
  return *world;
}

ChosenPlugin choosePlugin(const std::string& argument, const SearchEnvironment& environment,
                          std::optional<host::PluginFormat> format) {
  using host::PluginFormat;
  if (argument.empty()) throw CommandFailure("the plug-in name is empty");
  const bool vst2 = format != PluginFormat::lv2;
  const bool lv2 = format != PluginFormat::vst2;

  if (looksLikeUri(argument)) {
    if (!lv2) {
      throw CommandFailure("'" + printableLine(argument) +
                           "' is an LV2 URI, not a VST 2 plug-in (drop --format vst2)");
    }
    host::Lv2World& world = lv2World(environment);
    if (!world.knows(argument)) {
      throw CommandFailure("no LV2 plug-in has the URI '" + printableLine(argument) +
                           "' (see 'kqfx list --format lv2' for what there is)");
    }
    return chosenLv2(world, argument);
  }

  const fs::path path(argument);
  const bool looksLikePath = argument.find('/') != std::string::npos ||
                             (argument.size() > 3 && lowerCase(argument.substr(argument.size() - 3)) == ".so" &&
                              exists(argument));
  std::error_code error;
  if (looksLikePath && lv2) {
    if (fs::is_directory(path, error) && isBundle(path)) {
      return fromBundle(lv2World(environment), path, argument);
    }
    if (fs::is_regular_file(path, error) && isBundle(path.parent_path())) {
      return fromBundle(lv2World(environment), path.parent_path(), argument, path);
    }
    if (!vst2) {
      throw CommandFailure("'" + printableLine(argument) +
                           "' is not an LV2 plug-in (neither a bundle nor a shared object in one)");
    }
  }
  if (looksLikePath) {
    const fs::path found = resolvePlugin(argument, environment);
    return {PluginFormat::vst2, pluginName(found), found, {}};
  }

  // A name: looked for in both formats.
  const std::string name =
      argument.size() > 3 && lowerCase(argument.substr(argument.size() - 3)) == ".so"
          ? pluginName(argument)
          : argument;
  std::optional<fs::path> vstFound;
  if (vst2) vstFound = findPlugin(name, pluginFolders(environment));
  std::vector<std::string> lv2Found;
  if (lv2) {
    const host::Lv2World& world = lv2World(environment);
    const std::string wanted = lowerCase(name);
    for (const std::string& uri : world.pluginUris()) {
      if (mayBeNamed(world.lilvPlugin(uri), wanted) && lowerCase(lv2Name(world, uri)) == wanted) {
        lv2Found.push_back(uri);
      }
    }
  }
  if (vstFound && !lv2Found.empty() &&
      !(lv2Found.size() == 1 && isOurs(environment, *vstFound, lv2Found.front()))) {
    throw CommandFailure("'" + printableLine(name) + "' names plug-ins in both formats: vst2 " +
                         printableLine(vstFound->string()) + "; lv2 " +
                         uriList(lv2World(environment), lv2Found) +
                         " (choose with --format vst2 or --format lv2, or give the path or URI)");
  }
  if (vstFound) return {PluginFormat::vst2, pluginName(*vstFound), *vstFound, {}};
  if (lv2Found.size() == 1) return chosenLv2(lv2World(environment), lv2Found.front());
  if (lv2Found.size() > 1) {
    throw CommandFailure("'" + printableLine(name) + "' names " + std::to_string(lv2Found.size()) +
                         " LV2 plug-ins; name one by its URI: " +
                         uriList(lv2World(environment), lv2Found));
  }
  // Nothing: the names that come close, in the formats searched.
  std::vector<std::string> known;
  if (vst2) {
    for (const fs::path& folder : pluginFolders(environment)) {
      for (const fs::path& candidate : sharedObjectsIn(folder)) known.push_back(pluginName(candidate));
    }
  }
  if (lv2) {
    const host::Lv2World& world = lv2World(environment);
    for (const std::string& uri : world.pluginUris()) known.push_back(lv2Name(world, uri));
  }
  // Our effects go by the same names in both formats.
  std::vector<std::string> once;
  for (const std::string& candidate : known) {
    if (std::find(once.begin(), once.end(), candidate) == once.end()) once.push_back(candidate);
  }
  refuseUnknownPlugin(name, once);
}

std::unique_ptr<host::Plugin> instantiatePlugin(const ChosenPlugin& plugin,
                                                const SearchEnvironment& environment,
                                                float sampleRate, int32_t maxBlockSize) {
  if (plugin.format == host::PluginFormat::vst2) {
    return host::Vst2Plugin::create(openPlugin(plugin.path), sampleRate, maxBlockSize);
  }
  return std::make_unique<host::Lv2Plugin>(lv2World(environment), plugin.uri, sampleRate,
                                           maxBlockSize);
}

}  // namespace kqfx::command
