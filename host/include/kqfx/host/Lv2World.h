#pragma once
// The LV2 plug-ins kqfx can see, through Debian's lilv: one world per
// process, read once from the search folders given (and from any bundle
// named later), with each plug-in's description as hosts read it.
//
// Not thread-safe: use the world from one thread (the URID map it gives
// plug-ins is the exception: plug-ins may map from any thread).

#include <lilv/lilv.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kqfx/host/Plugin.h"

namespace kqfx::host {

enum class Lv2PortKind { audio, control, cv, atom, other };

struct Lv2PortDescription {
  uint32_t index = 0;
  std::string symbol;
  std::string name;
  Lv2PortKind kind = Lv2PortKind::other;
  bool input = false;  // else an output
  // Control ports: the range and default as described (0 when not given),
  // and whether they were.
  float minimum = 0.0f;
  float maximum = 0.0f;
  float defaultValue = 0.0f;
  bool hasMinimum = false;
  bool hasMaximum = false;
  bool hasDefault = false;
  std::string unit;  // the unit's symbol ("dB"), or empty
  std::vector<ScalePoint> scalePoints;  // sorted by value
  bool integer = false;
  bool toggled = false;
  bool enumeration = false;
  bool logarithmic = false;
  // Declared costly to change (pprops:expensive) or not meant for
  // automation (pprops:notAutomatic): hosts leave such a port standing.
  bool expensive = false;
  bool notAutomatic = false;
  // Declared to take only values in its range (pprops:hasStrictBounds):
  // hosts clamp what they write there.
  bool strictBounds = false;
  bool connectionOptional = false;
  bool reportsLatency = false;  // the latency output (lv2:reportsLatency or designated)
  // The range and default are fractions of the sample rate (lv2:sampleRate).
  bool sampleRateRelative = false;
  std::vector<std::string> types;  // every rdf:type URI, for ports of unknown kinds
};

struct Lv2PluginDescription {
  std::string uri;
  std::string name;
  std::string className;  // "Delay", as the class is labelled
  std::string classUri;
  std::string bundlePath;   // the bundle folder
  std::string libraryPath;  // the shared object
  std::string author;       // may be empty
  std::vector<std::string> requiredFeatures;  // URIs
  std::vector<std::string> optionalFeatures;
  std::vector<Lv2PortDescription> ports;  // by index
  int32_t latencyPort = -1;
  int32_t audioInputs = 0;
  int32_t audioOutputs = 0;
  // Whether the plug-in is of the reverb class (lv2:ReverbPlugin or a
  // subclass of it).
  bool reverbClass = false;
};

class Lv2World {
 public:
  // Reads the descriptions of every bundle in `folders`, in order (a
  // plug-in found twice is taken from the first folder).
  explicit Lv2World(const std::vector<std::filesystem::path>& folders);
  ~Lv2World();
  Lv2World(const Lv2World&) = delete;
  Lv2World& operator=(const Lv2World&) = delete;

  // The search folders, joined with ':' as lilv takes them.
  const std::string& searchPath() const { return searchPath_; }

  // Reads one more bundle (a folder holding manifest.ttl) and answers the
  // URIs of the plug-ins whose shared object is in it. A URI known before
  // from another bundle stays that bundle's (LV2 hosts take the first one
  // found): describe() says which. Throws HostError when it is not a
  // bundle.
  std::vector<std::string> loadBundle(const std::filesystem::path& bundle);

  // Every plug-in known, sorted by URI.
  std::vector<std::string> pluginUris() const;
  bool knows(const std::string& uri) const;
  // The plug-in's name (the URI when it states none); reads its whole
  // description, as describe() does.
  std::string pluginName(const std::string& uri) const;
  // Throws HostError for a URI no plug-in has.
  Lv2PluginDescription describe(const std::string& uri) const;

  // What lilv said, reading the descriptions, about faults in them (one
  // line each, in order): kept here instead of going to standard error.
  const std::vector<std::string>& messages() const { return messages_; }

  // For code that drives lilv itself (the validator's rig).
  LilvWorld* lilvWorld() const { return world_; }
  // Null for an unknown URI.
  const LilvPlugin* lilvPlugin(const std::string& uri) const;

  // The URID map and unmap given to every plug-in of this world.
  LV2_URID_Map* uridMap();
  LV2_URID_Unmap* uridUnmap();
  LV2_URID map(const std::string& uri);

 private:
  class Urids;

  LilvWorld* world_ = nullptr;
  std::string searchPath_;
  std::unique_ptr<Urids> urids_;
  mutable std::vector<std::string> messages_;
};

// A text of the port kind ("audio", "control", "cv", "atom", "other").
const char* portKindName(Lv2PortKind kind);

}  // namespace kqfx::host
