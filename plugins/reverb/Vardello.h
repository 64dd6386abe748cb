#pragma once
// Vardello: a stereo reverb with ten named room models and a compressor on
// the reverberated signal. Parameters: "Dry Level" (-48..+48 dB of the
// input added by processReplacing), "Depth" (the wet level), "Brightness"
// (less damping of the tail as it rises) and "Model" (the room).
//
// "Model" crosses threads without a lock: the host's write only publishes
// the value (a ramp-0 smoother), the audio thread applies the chosen room
// before the next chunk, so every frame runs with one whole model. On a
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
  // A settled block runs through the engine whole: its runs between line
  // wraps then set up once per block, not once per 64 frames.
  static constexpr bool kSteadyChunksWhole = true;

  // Host thread, through the entry point.
  explicit Vardello(HostCallback callback);

  // The model a "Model" value selects: floor(value * 9), formed exactly in
  // double, so only 1 itself reaches the last model. Anything outside
  // 0..9 (negative, 10/9 or more, NaN) selects the first.
  static int32_t modelIndex(float value);

  // Audio thread: the chunk through the engine, after the room the chunk's
  // "Model" value selects.
  template <class Output>
  void renderChunk(const Chunk& chunk) {
    applyModel(chunk[kModel].value);
    const revmodel::Controls controls{control(chunk[kDryLevel]), control(chunk[kDepth]),
                                      control(chunk[kBrightness])};
    if constexpr (std::is_same_v<Output, AddToOutput>) {
      engine.processmix(chunk.inL, chunk.inR, chunk.outL, chunk.outR, chunk.frames, controls);
    } else {
      engine.processreplace(chunk.inL, chunk.inR, chunk.outL, chunk.outR, chunk.frames, controls);
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
  // Audio thread: runs the model operation of a "Model" value when it
  // differs from the one applied last.
  void applyModel(float requested);
  static revmodel::Control control(const ChunkParameter& parameter) {
    return {parameter.value, parameter.values};
  }

  revmodel engine;
  // The "Model" value whose room the engine has now. Audio thread.
  float appliedModel = 0.0f;
};

}  // namespace kqfx
