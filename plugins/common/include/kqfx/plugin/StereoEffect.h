#pragma once
// The shape every kqfx effect shares, written once: a stereo effect with
// one program named "default", a table of parameters (name, label, ramp,
// initial value), one SmoothParameter per parameter, `suspend` rebuilding
// the smoothers from where they stand, and the process loop skeleton that
// checks the host's buffers and runs the effect's own `render` either
// overwriting or adding to the outputs.
//
// An effect derives as `class Foo : public StereoEffect<Foo, N>` and
// provides:
//   template <class Output> void render(const float* inL, const float* inR,
//                                       float* outL, float* outR, int32_t n);
//       audio thread; n > 0; no allocation, locks, system calls or throws.
//       Output::store(out[i], value) writes or adds one sample.
//   void displayValue(int32_t index, float target, char* text);
//       host thread; the value text of a valid parameter index.
// and may provide `void restart()` (host thread, after the smoothers were
// rebuilt by `suspend`) for its own delay lines, counters or LFOs.

#include <array>
#include <cstdint>
#include <cstring>

#include "kqfx/dsp/SmoothParameter.h"
#include "kqfx/framework/AudioEffect.h"

namespace kqfx {

struct ParameterInfo {
  const char* name;
  const char* label;
  float initialValue;
  int32_t rampLength = SmoothParameter::kDefaultRamp;
};

// Output policies of `render`.
struct ReplaceOutput {
  static void store(float& out, float value) { out = value; }
};
struct AddToOutput {
  static void store(float& out, float value) { out += value; }
};

template <class Derived, std::size_t NumParams>
class StereoEffect : public AudioEffect {
 public:
  using ParameterTable = std::array<ParameterInfo, NumParams>;
  static constexpr int32_t kNumParams = static_cast<int32_t>(NumParams);

  StereoEffect(HostCallback callback, int32_t uniqueId, const ParameterTable& parameters)
      : AudioEffect(callback, 1, kNumParams), parameters_(parameters) {
    for (std::size_t i = 0; i < NumParams; ++i) {
      smoothers_[i].reset(parameters[i].rampLength, parameters[i].initialValue);
    }
    effectRecord.numInputs = 2;
    effectRecord.numOutputs = 2;
    effectRecord.uniqueID = uniqueId;
    canMono(true);
    canProcessReplacing(true);
    std::strcpy(programName_, "default");
  }

  // Any thread. Writes the target of the parameter's smoother.
  void setParameter(int32_t index, float value) override {
    if (isParameter(index)) smoothers_[index].setTargetValue(value);
  }

  // Any thread. The value last set, not the glide in progress.
  float getParameter(int32_t index) override {
    return isParameter(index) ? smoothers_[index].getTargetValue() : 0.0f;
  }

  // Host thread. Texts of other indices are left untouched.
  void getParameterName(int32_t index, char* text) override {
    if (isParameter(index)) std::strcpy(text, parameters_[index].name);
  }
  void getParameterLabel(int32_t index, char* label) override {
    if (isParameter(index)) std::strcpy(label, parameters_[index].label);
  }
  void getParameterDisplay(int32_t index, char* text) override {
    if (isParameter(index)) {
      derived().displayValue(index, smoothers_[index].getTargetValue(), text);
    }
  }

  // Host thread. Names longer than 31 characters are cut.
  void setProgramName(char* name) override {
    std::strncpy(programName_, name, kProgramNameSize - 1);
    programName_[kProgramNameSize - 1] = '\0';
  }
  void getProgramName(char* name) override { std::strcpy(name, programName_); }

  // Host thread, never during a process call. Every glide stops where it
  // stands and its value becomes the new target; then the effect restarts
  // its own state.
  void suspend() override {
    for (SmoothParameter& smoother : smoothers_) {
      smoother.reset(smoother.rampLength(), smoother.getCurrentValue());
    }
    derived().restart();
  }

  // Audio thread.
  void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override {
    run<ReplaceOutput>(inputs, outputs, sampleFrames);
  }
  void process(float** inputs, float** outputs, int32_t sampleFrames) override {
    run<AddToOutput>(inputs, outputs, sampleFrames);
  }

  // Default: nothing of the effect's own to restart.
  void restart() {}

 protected:
  SmoothParameter& smoother(int32_t index) { return smoothers_[static_cast<std::size_t>(index)]; }

  // Audio thread. True when no parameter can change a bit of its current
  // value over any number of frames: a block may then read every value
  // once, work its settings out once, and account for its frames with
  // skipAllTicks(n) instead of ticking each frame.
  bool allSteady() {
    for (SmoothParameter& smoother : smoothers_) {
      if (!smoother.isSteady()) return false;
    }
    return true;
  }

  // Audio thread, only after allSteady(): stands for n ticks of every
  // parameter.
  void skipAllTicks(int32_t n) {
    for (SmoothParameter& smoother : smoothers_) smoother.skipTicks(n);
  }

 private:
  static bool isParameter(int32_t index) { return index >= 0 && index < kNumParams; }
  Derived& derived() { return static_cast<Derived&>(*this); }

  template <class Output>
  void run(float** inputs, float** outputs, int32_t sampleFrames) {
    if (sampleFrames <= 0 || !inputs || !outputs) return;
    if (!inputs[0] || !inputs[1] || !outputs[0] || !outputs[1]) return;
    derived().template render<Output>(inputs[0], inputs[1], outputs[0], outputs[1],
                                      sampleFrames);
  }

  const ParameterTable& parameters_;
  std::array<SmoothParameter, NumParams> smoothers_;
  char programName_[kProgramNameSize] = {};
};

}  // namespace kqfx
