#include "kqfx/host/Lv2Plugin.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/parameters/parameters.h>
#include <lv2/resize-port/resize-port.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>

#include "kqfx/host/HostError.h"

namespace kqfx::host {
namespace {

// Room for the events of one block on each atom port, unless the plug-in
// asks for more.
constexpr int32_t kAtomBufferBytes = 8192;
// A latency beyond this is taken as nonsense and read as 0.
constexpr float kMostLatency = 1.0e8f;

int logVprintf(LV2_Log_Handle, LV2_URID, const char* format, va_list arguments) {
  return std::vfprintf(stderr, format, arguments);
}

int logPrintf(LV2_Log_Handle handle, LV2_URID type, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int written = logVprintf(handle, type, format, arguments);
  va_end(arguments);
  return written;
}

std::string numberText(float value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", static_cast<double>(value));
  return text;
}

}  // namespace

const std::vector<std::string>& Lv2Plugin::givenFeatures() {
  static const std::vector<std::string> features = {
      LV2_URID__map,         LV2_URID__unmap,          LV2_OPTIONS__options,
      LV2_BUF_SIZE__boundedBlockLength, LV2_LOG__log,  LV2_CORE__hardRTCapable,
      LV2_CORE__inPlaceBroken};
  return features;
}

std::vector<std::string> Lv2Plugin::missingFeatures(const Lv2PluginDescription& description) {
  std::vector<std::string> missing;
  const std::vector<std::string>& given = givenFeatures();
  for (const std::string& feature : description.requiredFeatures) {
    if (std::find(given.begin(), given.end(), feature) == given.end()) missing.push_back(feature);
  }
  return missing;
}

Lv2Plugin::Lv2Plugin(Lv2World& world, const std::string& uri, float sampleRate,
                     int32_t maxBlockSize)
    : world_(world),
      description_(world.describe(uri)),
      sampleRate_(sampleRate),
      maxBlockSize_(maxBlockSize) {
  if (maxBlockSize <= 0) throw HostError("the block size must be positive");
  if (!(sampleRate > 0.0f)) throw HostError("the sample rate must be positive");
  const LilvPlugin* plugin = world.lilvPlugin(uri);
  const std::vector<std::string> missing = missingFeatures(description_);
  if (!missing.empty()) {
    std::string list;
    for (const std::string& feature : missing) list += (list.empty() ? "" : ", ") + feature;
    throw HostError("the LV2 plug-in '" + uri + "' requires " +
                    (missing.size() == 1 ? "a feature" : "features") +
                    " kqfx does not give: " + list);
  }
  if (!lilv_plugin_verify(plugin)) {
    throw HostError("the LV2 plug-in '" + uri + "' has a broken description (lilv rejects it)");
  }
  inPlaceBroken_ = std::find(description_.requiredFeatures.begin(),
                             description_.requiredFeatures.end(),
                             LV2_CORE__inPlaceBroken) != description_.requiredFeatures.end();

  const std::size_t ports = description_.ports.size();
  controls_.assign(ports, 0.0f);
  blocks_.resize(ports);
  atoms_.resize(ports);
  LilvNode* minimumSize = lilv_new_uri(world.lilvWorld(), LV2_RESIZE_PORT__minimumSize);
  sequenceSize_ = kAtomBufferBytes;
  for (const Lv2PortDescription& port : description_.ports) {
    switch (port.kind) {
      case Lv2PortKind::control:
        if (port.input) {
          ParameterInfo info;
          info.name = port.name;
          info.symbol = port.symbol;
          info.port = static_cast<int32_t>(port.index);
          info.unit = port.unit;
          // A range stated in fractions of the sample rate is in hertz here.
          const float scale = port.sampleRateRelative ? sampleRate : 1.0f;
          info.minimum = port.hasMinimum ? port.minimum * scale : -std::numeric_limits<float>::infinity();
          info.maximum = port.hasMaximum ? port.maximum * scale : std::numeric_limits<float>::infinity();
          info.defaultValue = port.hasDefault ? port.defaultValue * scale
                              : port.hasMinimum ? port.minimum * scale
                                                : 0.0f;
          info.integer = port.integer;
          info.toggled = port.toggled;
          info.enumeration = port.enumeration;
          info.logarithmic = port.logarithmic;
          info.automatable = !port.expensive && !port.notAutomatic;
          info.strictBounds = port.strictBounds;
          info.scalePoints = port.scalePoints;
          controls_[port.index] = info.defaultValue;
          parameters_.push_back(std::move(info));
          controlInputPorts_.push_back(port.index);
        }
        break;
      case Lv2PortKind::audio:
        (port.input ? audioInputPorts_ : audioOutputPorts_).push_back(port.index);
        blocks_[port.index].assign(static_cast<std::size_t>(maxBlockSize), 0.0f);
        break;
      case Lv2PortKind::cv:
        blocks_[port.index].assign(static_cast<std::size_t>(maxBlockSize), 0.0f);
        break;
      case Lv2PortKind::atom: {
        int32_t bytes = kAtomBufferBytes;
        const LilvPort* lilvPort = lilv_plugin_get_port_by_index(plugin, port.index);
        if (LilvNodes* sizes = lilv_port_get_value(plugin, lilvPort, minimumSize)) {
          LILV_FOREACH(nodes, i, sizes) {
            const LilvNode* size = lilv_nodes_get(sizes, i);
            if (lilv_node_is_int(size)) bytes = std::max(bytes, std::min(lilv_node_as_int(size), 1 << 24));
          }
          lilv_nodes_free(sizes);
        }
        sequenceSize_ = std::max(sequenceSize_, bytes);
        atoms_[port.index].assign(static_cast<std::size_t>(bytes + 7) / 8, 0u);
        break;
      }
      case Lv2PortKind::other:
        if (!port.connectionOptional) {
          lilv_node_free(minimumSize);
          throw HostError("the LV2 plug-in '" + uri + "' has a port kqfx cannot connect: " +
                          port.symbol + " (of none of the kinds audio, control, CV, atom)");
        }
        break;
    }
  }
  lilv_node_free(minimumSize);
  inputCopies_.assign(audioInputPorts_.size(), std::vector<float>(static_cast<std::size_t>(maxBlockSize)));

  // The features.
  minBlock_ = 1;
  maxBlock_ = maxBlockSize;
  rate_ = sampleRate;
  sequenceType_ = world.map(LV2_ATOM__Sequence);
  chunkType_ = world.map(LV2_ATOM__Chunk);
  const LV2_URID intType = world.map(LV2_ATOM__Int);
  const LV2_URID floatType = world.map(LV2_ATOM__Float);
  options_[0] = {LV2_OPTIONS_INSTANCE, 0, world.map(LV2_BUF_SIZE__minBlockLength), sizeof(int32_t),
                 intType, &minBlock_};
  options_[1] = {LV2_OPTIONS_INSTANCE, 0, world.map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                 intType, &maxBlock_};
  options_[2] = {LV2_OPTIONS_INSTANCE, 0, world.map(LV2_BUF_SIZE__nominalBlockLength),
                 sizeof(int32_t), intType, &maxBlock_};
  options_[3] = {LV2_OPTIONS_INSTANCE, 0, world.map(LV2_BUF_SIZE__sequenceSize), sizeof(int32_t),
                 intType, &sequenceSize_};
  options_[4] = {LV2_OPTIONS_INSTANCE, 0, world.map(LV2_PARAMETERS__sampleRate), sizeof(float),
                 floatType, &rate_};
  options_[5] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
  log_.handle = this;
  log_.printf = logPrintf;
  log_.vprintf = logVprintf;
  features_[0] = {LV2_URID__map, world.uridMap()};
  features_[1] = {LV2_URID__unmap, world.uridUnmap()};
  features_[2] = {LV2_OPTIONS__options, options_.data()};
  features_[3] = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
  features_[4] = {LV2_LOG__log, &log_};
  for (std::size_t i = 0; i < 5; ++i) featureList_[i] = &features_[i];
  featureList_[5] = nullptr;

  instance_ = lilv_plugin_instantiate(plugin, static_cast<double>(sampleRate), featureList_.data());
  if (!instance_) throw HostError("the LV2 plug-in '" + uri + "' refused to start");
  connectOwnBuffers();
}

Lv2Plugin::~Lv2Plugin() {
  if (active_) lilv_instance_deactivate(instance_);
  lilv_instance_free(instance_);
}

const ParameterInfo& Lv2Plugin::parameterInfo(int32_t index) const {
  return parameters_.at(static_cast<std::size_t>(index));
}

float Lv2Plugin::parameterValue(int32_t index) {
  return controls_[controlInputPorts_.at(static_cast<std::size_t>(index))];
}

void Lv2Plugin::setParameterValue(int32_t index, float value) {
  controls_[controlInputPorts_.at(static_cast<std::size_t>(index))] = value;
}

std::string Lv2Plugin::parameterText(int32_t index) {
  const float value = parameterValue(index);
  for (const ScalePoint& point : parameterInfo(index).scalePoints) {
    if (point.value == value) return point.label;
  }
  return numberText(value);
}

void Lv2Plugin::activate() {
  if (active_) return;
  lilv_instance_activate(instance_);
  active_ = true;
}

void Lv2Plugin::deactivate() {
  if (!active_) return;
  lilv_instance_deactivate(instance_);
  active_ = false;
}

float* Lv2Plugin::controlValue(uint32_t port) {
  if (port >= description_.ports.size() || description_.ports[port].kind != Lv2PortKind::control) {
    return nullptr;
  }
  return &controls_[port];
}

void Lv2Plugin::connectPort(uint32_t port, void* data) {
  lilv_instance_connect_port(instance_, port, data);
}

void Lv2Plugin::connectOwnBuffers() {
  for (const Lv2PortDescription& port : description_.ports) {
    void* data = nullptr;
    switch (port.kind) {
      case Lv2PortKind::control:
        data = &controls_[port.index];
        break;
      case Lv2PortKind::audio:
      case Lv2PortKind::cv:
        data = blocks_[port.index].data();
        break;
      case Lv2PortKind::atom:
        data = atoms_[port.index].data();
        break;
      case Lv2PortKind::other:
        break;
    }
    lilv_instance_connect_port(instance_, port.index, data);
  }
  // Inputs of silence: an input the plug-in wrote into stays its business,
  // but CV inputs start silent.
  for (const Lv2PortDescription& port : description_.ports) {
    if (port.input && (port.kind == Lv2PortKind::audio || port.kind == Lv2PortKind::cv)) {
      std::fill(blocks_[port.index].begin(), blocks_[port.index].end(), 0.0f);
    }
  }
}

void Lv2Plugin::prepareAtomBuffers() {
  for (const Lv2PortDescription& port : description_.ports) {
    if (port.kind != Lv2PortKind::atom) continue;
    std::vector<uint64_t>& buffer = atoms_[port.index];
    auto* atom = reinterpret_cast<LV2_Atom_Sequence*>(buffer.data());
    if (port.input) {
      atom->atom.size = sizeof(LV2_Atom_Sequence_Body);
      atom->atom.type = sequenceType_;
      atom->body.unit = 0;
      atom->body.pad = 0;
    } else {
      atom->atom.size = static_cast<uint32_t>(buffer.size() * sizeof(uint64_t) - sizeof(LV2_Atom));
      atom->atom.type = chunkType_;
    }
  }
}

void Lv2Plugin::run(uint32_t frames) {
  prepareAtomBuffers();
  lilv_instance_run(instance_, frames);
}

void Lv2Plugin::process(const float* const* inputs, float* const* outputs, int32_t frames) {
  for (std::size_t i = 0; i < audioInputPorts_.size(); ++i) {
    const float* input = inputs[i];
    if (inPlaceBroken_) {
      const bool shared = std::find(outputs, outputs + audioOutputPorts_.size(), input) !=
                          outputs + audioOutputPorts_.size();
      if (shared) {
        std::copy_n(input, frames, inputCopies_[i].data());
        input = inputCopies_[i].data();
      }
    }
    lilv_instance_connect_port(instance_, audioInputPorts_[i], const_cast<float*>(input));
  }
  for (std::size_t i = 0; i < audioOutputPorts_.size(); ++i) {
    lilv_instance_connect_port(instance_, audioOutputPorts_[i], outputs[i]);
  }
  run(static_cast<uint32_t>(frames));
}

int32_t Lv2Plugin::latency() {
  if (description_.latencyPort < 0) return 0;
  const float reported = controls_[static_cast<std::size_t>(description_.latencyPort)];
  if (!(reported > 0.0f) || reported > kMostLatency) return 0;
  return static_cast<int32_t>(std::lround(reported));
}

}  // namespace kqfx::host
