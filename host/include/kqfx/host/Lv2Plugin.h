#pragma once
// One LV2 plug-in instance, created through lilv from a world's
// description and driven as hosts drive it: a format-neutral Plugin whose
// parameters are the control input ports (in port order), with the ports
// themselves reachable for code that drives them one by one (the
// validator).
//
// What kqfx gives the plug-in: the URID map and unmap, options (sample
// rate; minimum, nominal and maximum block length; atom sequence size),
// bounded block length, a log that writes to standard error; it honours
// in-place-broken (never the same buffer in and out) and takes hard-RT
// capability as given. A plug-in that requires anything else is refused
// with the features named. Every port is connected to a buffer of the
// instance's own until connectPort() says otherwise: control ports to a
// value each (inputs at their defaults), CV ports to blocks of silence,
// atom inputs to an empty sequence and atom outputs to room for events.

#include <lilv/lilv.h>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/options/options.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "kqfx/host/Lv2World.h"
#include "kqfx/host/Plugin.h"

namespace kqfx::host {

class Lv2Plugin final : public Plugin {
 public:
  // The URIs of the features kqfx gives or honours.
  static const std::vector<std::string>& givenFeatures();
  // The required features of `description` that kqfx does not give.
  static std::vector<std::string> missingFeatures(const Lv2PluginDescription& description);

  // Instantiates the plug-in `uri` of `world` at this rate, for blocks of
  // at most `maxBlockSize` frames. Throws HostError for an unknown URI, a
  // required feature kqfx does not give (naming every one), a port it
  // cannot connect, a description lilv finds broken, or a plug-in that
  // refuses to start. `world` must outlive the instance.
  Lv2Plugin(Lv2World& world, const std::string& uri, float sampleRate, int32_t maxBlockSize);
  ~Lv2Plugin() override;  // deactivates when active, then cleans up
  Lv2Plugin(const Lv2Plugin&) = delete;
  Lv2Plugin& operator=(const Lv2Plugin&) = delete;

  const Lv2PluginDescription& description() const { return description_; }

  PluginFormat format() const override { return PluginFormat::lv2; }
  int32_t inputs() const override { return static_cast<int32_t>(audioInputPorts_.size()); }
  int32_t outputs() const override { return static_cast<int32_t>(audioOutputPorts_.size()); }
  float sampleRate() const override { return sampleRate_; }
  int32_t maxBlockSize() const override { return maxBlockSize_; }

  int32_t parameterCount() const override { return static_cast<int32_t>(parameters_.size()); }
  const ParameterInfo& parameterInfo(int32_t index) const override;
  float parameterValue(int32_t index) override;
  void setParameterValue(int32_t index, float value) override;
  std::string parameterText(int32_t index) override;

  void activate() override;
  void deactivate() override;
  bool isActive() const override { return active_; }
  // Connects the audio ports to these buffers (inputs to copies of their
  // own when the plug-in cannot work in place and a buffer is shared) and
  // runs.
  void process(const float* const* inputs, float* const* outputs, int32_t frames) override;
  int32_t latency() override;

  // The ports one by one. Indices are port indices.
  LilvInstance* lilvInstance() { return instance_; }
  const std::vector<uint32_t>& audioInputPorts() const { return audioInputPorts_; }
  const std::vector<uint32_t>& audioOutputPorts() const { return audioOutputPorts_; }
  const std::vector<uint32_t>& controlInputPorts() const { return controlInputPorts_; }
  // The instance's own value of a control port (input or output); null
  // for other ports.
  float* controlValue(uint32_t port);
  // Connects a port to another buffer, until connectOwnBuffers().
  void connectPort(uint32_t port, void* data);
  // Connects every port to the instance's own buffers again (audio ports
  // to silence in and scratch out, of maxBlockSize() frames).
  void connectOwnBuffers();
  // Makes the atom buffers ready (empty input sequences, output room) and
  // runs `frames` frames on whatever is connected.
  void run(uint32_t frames);

 private:
  void prepareAtomBuffers();

  Lv2World& world_;
  Lv2PluginDescription description_;
  float sampleRate_;
  int32_t maxBlockSize_;
  LilvInstance* instance_ = nullptr;
  bool active_ = false;
  bool inPlaceBroken_ = false;

  std::vector<ParameterInfo> parameters_;
  std::vector<uint32_t> controlInputPorts_;  // by parameter index
  std::vector<uint32_t> audioInputPorts_;
  std::vector<uint32_t> audioOutputPorts_;
  std::vector<float> controls_;  // by port index
  std::vector<std::vector<float>> blocks_;  // by port index: audio and CV ports' own buffers
  std::vector<std::vector<uint64_t>> atoms_;  // by port index: atom ports' buffers (aligned)
  std::vector<std::vector<float>> inputCopies_;  // for plug-ins that cannot work in place
  uint32_t sequenceType_ = 0;  // URIDs mapped ahead, as run() may not lock
  uint32_t chunkType_ = 0;

  // The features handed over, and what they point to.
  int32_t minBlock_ = 1;
  int32_t maxBlock_ = 0;
  int32_t sequenceSize_ = 0;
  float rate_ = 0.0f;
  std::array<LV2_Options_Option, 6> options_{};
  LV2_Log_Log log_{};
  std::array<LV2_Feature, 6> features_{};
  std::array<const LV2_Feature*, 7> featureList_{};
};

}  // namespace kqfx::host
