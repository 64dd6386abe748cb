#pragma once
// One plug-in instance of either format, driven the way hosts drive it,
// so that the render loop and the commands need not know the format.
//
// The life of an instance:
//   created      by its format's class (Vst2Plugin, Lv2Plugin), already set
//                to its sample rate and largest block size, switched off;
//   activate()   switches it on (VST 2 resume, LV2 activate);
//   process()    any number of blocks of at most maxBlockSize() frames,
//                only while switched on;
//   deactivate() switches it off (VST 2 suspend, LV2 deactivate); it may be
//                switched on again;
//   destroyed    closes it (VST 2 close, LV2 cleanup), switching it off first
//                when it is on.
// Parameters may be read and written whenever the instance exists, but
// from the thread that processes only: LV2 puts control-port writes in the
// same class as run(). (Vst2Plugin::setParameterValue may also be called
// from another thread, as VST 2 allows.)
//
// Values are the format's own: 0..1 for a VST 2 parameter, the port's own
// value (in its unit, within its range) for an LV2 control input.

#include <cstdint>
#include <string>
#include <vector>

namespace kqfx::host {

enum class PluginFormat { vst2, lv2 };

// "vst2" or "lv2", as the command line and reports spell them.
const char* formatName(PluginFormat format);

struct ScalePoint {
  float value = 0.0f;
  std::string label;
};

// One parameter (VST 2) or control input port (LV2).
struct ParameterInfo {
  std::string name;
  std::string symbol;  // the LV2 port symbol; empty for VST 2
  int32_t port = -1;   // the LV2 port index; -1 for VST 2
  // VST 2: the label the plug-in shows after its value ("dB"); LV2: the
  // unit's symbol ("dB", "Hz", "%"), empty without a unit.
  std::string unit;
  float minimum = 0.0f;  // VST 2: 0; LV2: -infinity when the port states none
  float maximum = 1.0f;  // VST 2: 1; LV2: +infinity when the port states none
  // VST 2: the value read right after the instance was created; LV2: the
  // port's default (its minimum when it states none, else 0).
  float defaultValue = 0.0f;
  bool integer = false;
  bool toggled = false;
  bool enumeration = false;
  bool logarithmic = false;
  // False for an LV2 port declared costly to change or not meant for
  // automation: hosts set it, but do not move it while audio runs.
  bool automatable = true;
  // True for an LV2 port declared to take only values in its range: hosts
  // clamp what they write there.
  bool strictBounds = false;
  std::vector<ScalePoint> scalePoints;
};

class Plugin {
 public:
  virtual ~Plugin() = default;

  virtual PluginFormat format() const = 0;
  // Audio inputs and outputs.
  virtual int32_t inputs() const = 0;
  virtual int32_t outputs() const = 0;
  virtual float sampleRate() const = 0;
  virtual int32_t maxBlockSize() const = 0;

  virtual int32_t parameterCount() const = 0;
  // Index from 0 to parameterCount() - 1.
  virtual const ParameterInfo& parameterInfo(int32_t index) const = 0;
  virtual float parameterValue(int32_t index) = 0;
  virtual void setParameterValue(int32_t index, float value) = 0;
  // The value as the plug-in shows it, without the unit: VST 2 its display
  // text; LV2 the label of the scale point at the value, else the number.
  virtual std::string parameterText(int32_t index) = 0;

  virtual void activate() = 0;
  virtual void deactivate() = 0;
  virtual bool isActive() const = 0;
  // Processes `frames` (1..maxBlockSize()) frames from inputs() input
  // channels into outputs() output channels. An output may be the same
  // buffer as an input (in place). No allocation, lock or system call.
  virtual void process(const float* const* inputs, float* const* outputs, int32_t frames) = 0;
  // The delay in frames the plug-in reports now (VST 2 initialDelay, LV2
  // its latency output port), at least 0. Many plug-ins report it only
  // once they have processed a block.
  virtual int32_t latency() = 0;
};

}  // namespace kqfx::host
