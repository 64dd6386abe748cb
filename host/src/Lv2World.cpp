#include "kqfx/host/Lv2World.h"

#include <lv2/core/lv2.h>
#include <lv2/units/units.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <mutex>
#include <unordered_map>

#include "kqfx/host/HostError.h"

namespace kqfx::host {
namespace {

constexpr const char* kRdfType = "http://www.w3.org/1999/02/22-rdf-syntax-ns#type";
constexpr const char* kReverbClass = LV2_CORE__ReverbPlugin;

// The symbols of the units the units extension defines, so that they show
// even when its description is not on the search path.
struct UnitSymbol {
  const char* name;  // after the units namespace
  const char* symbol;
};
constexpr UnitSymbol kUnitSymbols[] = {
    {"bar", "bars"},  {"beat", "beats"}, {"bpm", "BPM"},     {"cent", "ct"},
    {"cm", "cm"},     {"coef", "coef"},  {"db", "dB"},       {"degree", "deg"},
    {"frame", "frames"}, {"hz", "Hz"},   {"inch", "in"},     {"khz", "kHz"},
    {"km", "km"},     {"m", "m"},        {"mhz", "MHz"},     {"midiNote", "note"},
    {"mile", "mi"},   {"min", "min"},    {"mm", "mm"},       {"ms", "ms"},
    {"oct", "oct"},   {"pc", "%"},       {"s", "s"},         {"semitone12TET", "semi"},
};

// A lilv node freed when it goes.
class Node {
 public:
  explicit Node(LilvNode* node) : node_(node) {}
  ~Node() { lilv_node_free(node_); }
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  const LilvNode* get() const { return node_; }
  explicit operator bool() const { return node_ != nullptr; }

 private:
  LilvNode* node_;
};

std::string text(const LilvNode* node) {
  if (!node) return {};
  const char* value = lilv_node_is_uri(node) ? lilv_node_as_uri(node) : lilv_node_as_string(node);
  return value ? value : "";
}

std::string filePath(const LilvNode* uri) {
  if (!uri) return {};
  char* path = lilv_file_uri_parse(lilv_node_as_uri(uri), nullptr);
  if (!path) return {};
  std::string result(path);
  lilv_free(path);
  // Bundle URIs end in '/': the folder is shown without it.
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

std::vector<std::string> uris(const LilvNodes* nodes) {
  std::vector<std::string> result;
  LILV_FOREACH(nodes, i, nodes) result.push_back(text(lilv_nodes_get(nodes, i)));
  return result;
}

std::string unitSymbol(LilvWorld* world, const LilvNode* unit) {
  if (!unit) return {};
  if (lilv_node_is_uri(unit)) {
    const std::string uri = lilv_node_as_uri(unit);
    const std::string prefix = LV2_UNITS_PREFIX;
    if (uri.rfind(prefix, 0) == 0) {
      const std::string name = uri.substr(prefix.size());
      for (const UnitSymbol& known : kUnitSymbols) {
        if (name == known.name) return known.symbol;
      }
    }
  }
  // A unit of the plug-in's own, described with its symbol.
  Node symbolPredicate(lilv_new_uri(world, LV2_UNITS__symbol));
  Node symbol(lilv_world_get(world, unit, symbolPredicate.get(), nullptr));
  return text(symbol.get());
}

// lilv tells what it finds wrong in descriptions on standard error, with
// no way to hand it a log: while it reads, what it says is caught and kept
// for whoever asks, so that a broken third-party bundle does not clutter
// kqfx's own output.
class CaughtStandardError {
 public:
  explicit CaughtStandardError(std::vector<std::string>& into) : into_(into) {
    std::fflush(stderr);
    file_ = std::tmpfile();
    saved_ = file_ ? ::dup(STDERR_FILENO) : -1;
    if (saved_ >= 0) ::dup2(::fileno(file_), STDERR_FILENO);
  }
  ~CaughtStandardError() {
    if (saved_ < 0) {
      if (file_) std::fclose(file_);
      return;
    }
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    std::rewind(file_);
    char line[1024];
    while (std::fgets(line, sizeof line, file_)) {
      std::string text(line);
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
      if (!text.empty()) into_.push_back(text);
    }
    std::fclose(file_);
  }
  CaughtStandardError(const CaughtStandardError&) = delete;
  CaughtStandardError& operator=(const CaughtStandardError&) = delete;

 private:
  std::vector<std::string>& into_;
  std::FILE* file_ = nullptr;
  int saved_ = -1;
};

}  // namespace

const char* portKindName(Lv2PortKind kind) {
  switch (kind) {
    case Lv2PortKind::audio:
      return "audio";
    case Lv2PortKind::control:
      return "control";
    case Lv2PortKind::cv:
      return "cv";
    case Lv2PortKind::atom:
      return "atom";
    case Lv2PortKind::other:
      break;
  }
  return "other";
}

// The process's URIDs: plug-ins may map from any thread but the audio one.
class Lv2World::Urids {
 public:
  Urids() {
    map_.handle = this;
    map_.map = [](LV2_URID_Map_Handle handle, const char* uri) {
      return static_cast<Urids*>(handle)->map(uri ? uri : "");
    };
    unmap_.handle = this;
    unmap_.unmap = [](LV2_URID_Unmap_Handle handle, LV2_URID urid) {
      return static_cast<Urids*>(handle)->unmap(urid);
    };
  }

  LV2_URID map(const std::string& uri) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = ids_.find(uri);
    if (found != ids_.end()) return found->second;
    uris_.push_back(uri);
    const auto id = static_cast<LV2_URID>(uris_.size());
    ids_.emplace(uri, id);
    return id;
  }

  const char* unmap(LV2_URID urid) {
    std::lock_guard<std::mutex> lock(mutex_);
    return urid == 0 || urid > uris_.size() ? nullptr : uris_[urid - 1].c_str();
  }

  LV2_URID_Map map_{};
  LV2_URID_Unmap unmap_{};

 private:
  std::mutex mutex_;
  std::unordered_map<std::string, LV2_URID> ids_;
  std::deque<std::string> uris_;  // by URID - 1; a deque keeps the texts in place
};

Lv2World::Lv2World(const std::vector<std::filesystem::path>& folders)
    : world_(lilv_world_new()), urids_(std::make_unique<Urids>()) {
  if (!world_) throw HostError("cannot start lilv");
  for (const std::filesystem::path& folder : folders) {
    // Absolute: lilv crashes on a relative folder (LV2_PATH=some/dir).
    searchPath_ += (searchPath_.empty() ? "" : ":") + std::filesystem::absolute(folder).string();
  }
  // lilv reads LV2_PATH itself unless told the path: kqfx tells it always.
  LilvNode* path = lilv_new_string(world_, searchPath_.c_str());
  lilv_world_set_option(world_, LILV_OPTION_LV2_PATH, path);
  lilv_node_free(path);
  CaughtStandardError caught(messages_);
  lilv_world_load_all(world_);
}

Lv2World::~Lv2World() { lilv_world_free(world_); }

std::vector<std::string> Lv2World::loadBundle(const std::filesystem::path& bundle) {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::canonical(bundle, error);
  if (error || !std::filesystem::is_regular_file(folder / "manifest.ttl", error)) {
    throw HostError("'" + bundle.string() + "' is not an LV2 bundle (no manifest.ttl in it)");
  }
  // A bundle URI ends in '/'; lilv escapes what a path may hold.
  Node uri(lilv_new_file_uri(world_, nullptr, (folder.string() + "/").c_str()));
  {
    CaughtStandardError caught(messages_);
    lilv_world_load_bundle(world_, uri.get());
  }
  // The plug-ins the bundle declares (by their shared objects in it), also
  // those whose URI lilv had already found elsewhere and kept from there.
  std::vector<std::string> found;
  Node type(lilv_new_uri(world_, kRdfType));
  Node pluginClass(lilv_new_uri(world_, LV2_CORE__Plugin));
  Node binary(lilv_new_uri(world_, LV2_CORE__binary));
  LilvNodes* subjects = lilv_world_find_nodes(world_, nullptr, type.get(), pluginClass.get());
  LILV_FOREACH(nodes, i, subjects) {
    const LilvNode* subject = lilv_nodes_get(subjects, i);
    LilvNodes* binaries = lilv_world_find_nodes(world_, subject, binary.get(), nullptr);
    LILV_FOREACH(nodes, j, binaries) {
      std::error_code same;
      const std::filesystem::path library = filePath(lilv_nodes_get(binaries, j));
      if (std::filesystem::equivalent(library.parent_path(), folder, same)) {
        found.push_back(text(subject));
        break;
      }
    }
    lilv_nodes_free(binaries);
  }
  lilv_nodes_free(subjects);
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return found;
}

std::vector<std::string> Lv2World::pluginUris() const {
  std::vector<std::string> result;
  const LilvPlugins* plugins = lilv_world_get_all_plugins(world_);
  LILV_FOREACH(plugins, i, plugins) result.push_back(text(lilv_plugin_get_uri(lilv_plugins_get(plugins, i))));
  std::sort(result.begin(), result.end());
  return result;
}

const LilvPlugin* Lv2World::lilvPlugin(const std::string& uri) const {
  Node node(lilv_new_uri(world_, uri.c_str()));
  if (!node) return nullptr;
  return lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), node.get());
}

bool Lv2World::knows(const std::string& uri) const { return lilvPlugin(uri) != nullptr; }

std::string Lv2World::pluginName(const std::string& uri) const {
  const LilvPlugin* plugin = lilvPlugin(uri);
  if (!plugin) return uri;
  CaughtStandardError caught(messages_);
  Node name(lilv_plugin_get_name(plugin));
  const std::string result = text(name.get());
  return result.empty() ? uri : result;
}

Lv2PluginDescription Lv2World::describe(const std::string& uri) const {
  const LilvPlugin* plugin = lilvPlugin(uri);
  if (!plugin) throw HostError("no LV2 plug-in has the URI '" + uri + "'");
  CaughtStandardError caught(messages_);
  Lv2PluginDescription description;
  description.uri = uri;
  Node name(lilv_plugin_get_name(plugin));
  description.name = text(name.get());
  if (const LilvPluginClass* pluginClass = lilv_plugin_get_class(plugin)) {
    description.className = text(lilv_plugin_class_get_label(pluginClass));
    description.classUri = text(lilv_plugin_class_get_uri(pluginClass));
  }
  Node type(lilv_new_uri(world_, kRdfType));
  if (description.classUri.empty() || description.classUri == LV2_CORE__Plugin) {
    // lilv knows only the classes whose descriptions are on the path (the
    // core one may not be): the plug-in's own statement of its class.
    LilvNodes* types = lilv_world_find_nodes(world_, lilv_plugin_get_uri(plugin), type.get(), nullptr);
    for (const std::string& candidate : uris(types)) {
      if (candidate == LV2_CORE__Plugin || candidate.empty()) continue;
      description.classUri = candidate;
      std::string label = candidate.substr(candidate.find_last_of("#/") + 1);
      if (label.size() > 6 && label.compare(label.size() - 6, 6, "Plugin") == 0) {
        label.resize(label.size() - 6);
      }
      description.className = label;
      break;
    }
    lilv_nodes_free(types);
  }
  description.bundlePath = filePath(lilv_plugin_get_bundle_uri(plugin));
  description.libraryPath = filePath(lilv_plugin_get_library_uri(plugin));
  Node author(lilv_plugin_get_author_name(plugin));
  description.author = text(author.get());
  LilvNodes* required = lilv_plugin_get_required_features(plugin);
  description.requiredFeatures = uris(required);
  lilv_nodes_free(required);
  LilvNodes* optional = lilv_plugin_get_optional_features(plugin);
  description.optionalFeatures = uris(optional);
  lilv_nodes_free(optional);
  Node reverb(lilv_new_uri(world_, kReverbClass));
  description.reverbClass =
      lilv_world_ask(world_, lilv_plugin_get_uri(plugin), type.get(), reverb.get());

  Node audio(lilv_new_uri(world_, LV2_CORE__AudioPort));
  Node control(lilv_new_uri(world_, LV2_CORE__ControlPort));
  Node cv(lilv_new_uri(world_, LV2_CORE__CVPort));
  Node atom(lilv_new_uri(world_, "http://lv2plug.in/ns/ext/atom#AtomPort"));
  Node input(lilv_new_uri(world_, LV2_CORE__InputPort));
  Node integer(lilv_new_uri(world_, LV2_CORE__integer));
  Node toggled(lilv_new_uri(world_, LV2_CORE__toggled));
  Node enumeration(lilv_new_uri(world_, LV2_CORE__enumeration));
  Node logarithmic(lilv_new_uri(world_, "http://lv2plug.in/ns/ext/port-props#logarithmic"));
  Node expensive(lilv_new_uri(world_, "http://lv2plug.in/ns/ext/port-props#expensive"));
  Node notAutomatic(lilv_new_uri(world_, "http://lv2plug.in/ns/ext/port-props#notAutomatic"));
  Node strictBounds(lilv_new_uri(world_, "http://lv2plug.in/ns/ext/port-props#hasStrictBounds"));
  Node optionalConnection(lilv_new_uri(world_, LV2_CORE__connectionOptional));
  Node reportsLatency(lilv_new_uri(world_, LV2_CORE__reportsLatency));
  Node sampleRate(lilv_new_uri(world_, LV2_CORE__sampleRate));
  Node unitPredicate(lilv_new_uri(world_, LV2_UNITS__unit));
  const bool hasLatencyPort = lilv_plugin_has_latency(plugin);
  const uint32_t latencyPort = hasLatencyPort ? lilv_plugin_get_latency_port_index(plugin) : 0;

  const uint32_t count = lilv_plugin_get_num_ports(plugin);
  for (uint32_t index = 0; index < count; ++index) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
    Lv2PortDescription p;
    p.index = index;
    p.symbol = text(lilv_port_get_symbol(plugin, port));
    Node portName(lilv_port_get_name(plugin, port));
    p.name = text(portName.get());
    const auto is = [&](const Node& what) { return lilv_port_is_a(plugin, port, what.get()); };
    p.input = is(input);
    p.kind = is(audio)     ? Lv2PortKind::audio
             : is(control) ? Lv2PortKind::control
             : is(cv)      ? Lv2PortKind::cv
             : is(atom)    ? Lv2PortKind::atom
                           : Lv2PortKind::other;
    p.types = uris(lilv_port_get_classes(plugin, port));
    const auto has = [&](const Node& what) { return lilv_port_has_property(plugin, port, what.get()); };
    p.integer = has(integer);
    p.toggled = has(toggled);
    p.enumeration = has(enumeration);
    p.logarithmic = has(logarithmic);
    p.expensive = has(expensive);
    p.notAutomatic = has(notAutomatic);
    p.strictBounds = has(strictBounds);
    p.connectionOptional = has(optionalConnection);
    p.sampleRateRelative = has(sampleRate);
    p.reportsLatency = has(reportsLatency) || (hasLatencyPort && index == latencyPort);
    LilvNode* defaultNode = nullptr;
    LilvNode* minimumNode = nullptr;
    LilvNode* maximumNode = nullptr;
    lilv_port_get_range(plugin, port, &defaultNode, &minimumNode, &maximumNode);
    Node defaults(defaultNode), minimum(minimumNode), maximum(maximumNode);
    const auto number = [](const Node& node, bool& given) {
      given = node && (lilv_node_is_float(node.get()) || lilv_node_is_int(node.get()));
      return given ? lilv_node_as_float(node.get()) : 0.0f;
    };
    p.defaultValue = number(defaults, p.hasDefault);
    p.minimum = number(minimum, p.hasMinimum);
    p.maximum = number(maximum, p.hasMaximum);
    LilvNodes* units = lilv_port_get_value(plugin, port, unitPredicate.get());
    if (units && lilv_nodes_size(units) > 0) {
      p.unit = unitSymbol(world_, lilv_nodes_get(units, lilv_nodes_begin(units)));
    }
    lilv_nodes_free(units);
    if (LilvScalePoints* points = lilv_port_get_scale_points(plugin, port)) {
      LILV_FOREACH(scale_points, i, points) {
        const LilvScalePoint* point = lilv_scale_points_get(points, i);
        const LilvNode* value = lilv_scale_point_get_value(point);
        if (!value || !(lilv_node_is_float(value) || lilv_node_is_int(value))) continue;
        p.scalePoints.push_back({lilv_node_as_float(value), text(lilv_scale_point_get_label(point))});
      }
      lilv_scale_points_free(points);
      std::stable_sort(p.scalePoints.begin(), p.scalePoints.end(),
                       [](const ScalePoint& a, const ScalePoint& b) { return a.value < b.value; });
    }
    if (p.kind == Lv2PortKind::audio) (p.input ? description.audioInputs : description.audioOutputs)++;
    if (p.reportsLatency && !p.input && p.kind == Lv2PortKind::control && description.latencyPort < 0) {
      description.latencyPort = static_cast<int32_t>(index);
    }
    description.ports.push_back(std::move(p));
  }
  return description;
}

LV2_URID_Map* Lv2World::uridMap() { return &urids_->map_; }
LV2_URID_Unmap* Lv2World::uridUnmap() { return &urids_->unmap_; }
LV2_URID Lv2World::map(const std::string& uri) { return urids_->map(uri); }

}  // namespace kqfx::host
