// The LV2 face of one effect: the very effect object the VST 2 plug-in
// builds (through its own entry point), driven through its record as a VST
// 2 host drives it. Each control port is a parameter in the unit its value
// text shows; PortLaw turns it into the effect's 0..1 value.
//
// Threads: instantiate, activate, deactivate and cleanup on the host's
// instantiation thread; connect_port and run on the audio thread (run
// neither allocates, locks, makes system calls nor throws).

#include <lv2/core/lv2.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <new>

#include "PortLaw.h"
#include "kqfx/framework/AEffect.h"
#include "kqfx/framework/AudioEffect.h"

// The effect's own entry point, compiled into this shared object.
extern "C" kqfx::AEffect* main_plugin(kqfx::HostCallback callback);

namespace kqfx::lv2 {

// The generated port table of the effect this object is built for.
extern const EffectPorts KQFX_LV2_PORTS;

namespace {

const EffectPorts& ports() { return KQFX_LV2_PORTS; }

// The most control ports an instance serves; BundleWriter refuses more.
constexpr int32_t kMaxControls = 16;
// Our effects do not depend on it; VST 2 hosts always set one.
constexpr intptr_t kBlockSize = 4096;
// The longest stretch handed over in one process call.
constexpr uint32_t kMaxFrames = 1u << 30;

// The effect asks the host's version when it is built, and nothing else.
intptr_t answerEffect(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == cbVersion ? 2400 : 0;
}

class Instance {
 public:
  explicit Instance(AEffect* effect) : effect_(effect) {
    for (float& value : written_) value = std::nanf("");
  }
  ~Instance() {
    if (active_) dispatch(opSuspendResume, 0);
    dispatch(opClose, 0);  // the effect deletes itself
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  void connect(uint32_t port, void* data) {
    if (port < kAudioPortCount) {
      audio_[port] = static_cast<float*>(data);
    } else if (port - kAudioPortCount < static_cast<uint32_t>(ports().parameterCount)) {
      controls_[port - kAudioPortCount] = static_cast<const float*>(data);
    }
  }

  void setActive(bool active) {
    dispatch(opSuspendResume, active ? 1 : 0);
    active_ = active;
  }

  // Audio thread. Changed control values first, as a VST 2 host writes
  // automation before the block; a NaN leaves the parameter as it was.
  void run(uint32_t frames) {
    for (int32_t i = 0; i < ports().parameterCount; ++i) {
      if (controls_[i] == nullptr) continue;
      const float value = *controls_[i];
      if (std::isnan(value) || std::bit_cast<uint32_t>(value) == std::bit_cast<uint32_t>(written_[i])) {
        continue;
      }
      written_[i] = value;
      effect_->setParameter(effect_, i, ports().laws[i].normalizedOf(value));
    }
    if (frames == 0) return;
    if (audio_[0] == nullptr || audio_[1] == nullptr) {
      for (uint32_t port = 2; port < kAudioPortCount; ++port) {
        if (audio_[port] != nullptr) {
          for (uint32_t i = 0; i < frames; ++i) audio_[port][i] = 0.0f;
        }
      }
      return;
    }
    if (audio_[2] == nullptr || audio_[3] == nullptr) return;
    for (uint32_t done = 0; done < frames;) {
      const uint32_t n = frames - done < kMaxFrames ? frames - done : kMaxFrames;
      float* inputs[2] = {audio_[0] + done, audio_[1] + done};
      float* outputs[2] = {audio_[2] + done, audio_[3] + done};
      effect_->processReplacing(effect_, inputs, outputs, static_cast<int32_t>(n));
      done += n;
    }
  }

 private:
  intptr_t dispatch(int32_t opcode, intptr_t value) {
    return effect_->dispatcher(effect_, opcode, 0, value, nullptr, 0.0f);
  }

  AEffect* effect_;
  bool active_ = false;
  float* audio_[kAudioPortCount] = {};
  const float* controls_[kMaxControls] = {};
  float written_[kMaxControls];
};

Instance* instanceOf(LV2_Handle handle) { return static_cast<Instance*>(handle); }

// Refuses (null) a rate the effect would not take, an effect that cannot
// be built (its memory, for one) or one whose shape is not the table's.
LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const*) noexcept {
  if (!(rate > 0.0) || !(rate <= static_cast<double>(AudioEffect::kMaxSampleRate))) return nullptr;
  if (ports().parameterCount > kMaxControls) return nullptr;
  AEffect* effect = main_plugin(answerEffect);
  if (effect == nullptr) return nullptr;
  if (effect->numInputs != 2 || effect->numOutputs != 2 ||
      effect->numParams != ports().parameterCount) {
    effect->dispatcher(effect, opClose, 0, 0, nullptr, 0.0f);
    return nullptr;
  }
  Instance* instance = new (std::nothrow) Instance(effect);
  if (instance == nullptr) {
    effect->dispatcher(effect, opClose, 0, 0, nullptr, 0.0f);
    return nullptr;
  }
  effect->dispatcher(effect, opOpen, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, opSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
  effect->dispatcher(effect, opSetBlockSize, 0, kBlockSize, nullptr, 0.0f);
  return instance;
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) noexcept {
  instanceOf(handle)->connect(port, data);
}
void activate(LV2_Handle handle) noexcept { instanceOf(handle)->setActive(true); }
void run(LV2_Handle handle, uint32_t frames) noexcept { instanceOf(handle)->run(frames); }
void deactivate(LV2_Handle handle) noexcept { instanceOf(handle)->setActive(false); }
void cleanup(LV2_Handle handle) noexcept { delete instanceOf(handle); }
const void* extensionData(const char*) noexcept { return nullptr; }

}  // namespace
}  // namespace kqfx::lv2

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  using namespace kqfx::lv2;
  static const LV2_Descriptor descriptor = {ports().uri, instantiate, connectPort, activate,
                                            run,         deactivate,  cleanup,     extensionData};
  return index == 0 ? &descriptor : nullptr;
}
