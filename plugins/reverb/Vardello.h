#pragma once
// Vardello: a stereo reverb with ten named room models and a compressor on
// the reverberated signal. Parameters: "Dry Level" (-48..+48 dB of the
// input added by processReplacing), "Depth" (the wet level), "Brightness"
// (less damping of the tail as it rises) and "Model" (the room).
//
// "Model" crosses threads without a lock: the host's write only publishes
// the value (a ramp-0 smoother), the audio thread applies the chosen room
// before the next block, so every frame runs with one whole model. On a
// single thread a write therefore takes effect before the next processed
// frame, while getParameter and the value text report it at once.

#include <cstdint>
#include <type_traits>

#include "RoomModels.h"
#include "kqfx/dsp/GainLaw.h"
#include "kqfx/plugin/GainText.h"
#include "kqfx/plugin/StereoEffect.h"
#include "revmodel.h"

namespace kqfx {

class Vardello : public StereoEffect<Vardello, 4> {
 public:
  using Gain = ReverbGain;
  enum Parameter : int32_t { kDryLevel = 0, kDepth = 1, kBrightness = 2, kModel = 3 };
  static constexpr ParameterTable kParameters{{
      {"Dry Level", "dB", 0.4375f},
      {"Depth", "%", 0.5f},
      {"Brightness", "%", 0.5f},
      {"Model", "", 0.0f, 0},
  }};

  // Host thread, through the entry point.
  explicit Vardello(HostCallback callback);

  // The model a "Model" value selects: floor(value * 9), formed exactly in
  // double, so only 1 itself reaches the last model. Anything outside
  // 0..9 (negative, 10/9 or more, NaN) selects the first.
  static int32_t modelIndex(float value);

  // Audio thread (StereoEffect calls it with n > 0 and valid buffers).
  template <class Output>
  void render(const float* inL, const float* inR, float* outL, float* outR, int32_t n) {
    applyRequestedModel();
    if constexpr (std::is_same_v<Output, AddToOutput>) {
      engine.processmix(inL, inR, outL, outR, n, 1, &smoother(kDryLevel), &smoother(kDepth),
                        &smoother(kBrightness));
    } else {
      engine.processreplace(inL, inR, outL, outR, n, 1, &smoother(kDryLevel), &smoother(kDepth),
                            &smoother(kBrightness));
    }
  }

  // Host thread.
  void displayValue(int32_t index, float target, char* text);

  // The room models, in model order. Each sets the engine's room size,
  // width, compressor threshold and ceiling, nothing else: the tail keeps
  // sounding through the new settings. Called in the constructor and on
  // the audio thread, never on the host thread while audio runs.
  virtual void modelClassic();
  virtual void modelAntechamber();
  virtual void modelThroneRoom();
  virtual void modelGrandHall();
  virtual void modelRefectory();
  virtual void modelSolarium();
  virtual void modelLibrary();
  virtual void modelDungeon();
  virtual void modelBallroom();
  virtual void modelCatacombs();

 private:
  void applyRoom(const RoomSettings& room);
  // Audio thread: runs the model operation of the latest "Model" value
  // when it differs from the one applied last.
  void applyRequestedModel();

  revmodel engine;
  // The "Model" value whose room the engine has now. Audio thread.
  float appliedModel = 0.0f;
};

}  // namespace kqfx
