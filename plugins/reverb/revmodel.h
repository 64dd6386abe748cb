#pragma once
// revmodel: the stereo reverberator. Per channel, eight lowpass-feedback
// combs in parallel feed four allpass diffusers in series; every right
// delay is 23 samples longer than its left twin, which decorrelates the
// channels. Around the network sit a fixed input trim, a compressor on
// each channel's wet sum, a fixed output make-up, and three smoothed
// controls (dry level, wet depth, brightness) read frame by frame.
//
// All delay memory is part of the object, so the engine never allocates,
// and it never reads the sample rate: its delays are the same sample
// counts at every rate. It takes no locks and is not safe for concurrent
// use; its owner serialises every call (set-up before audio starts or on
// the audio thread, processing on the audio thread).

#include <array>
#include <cstddef>
#include <cstdint>

#include "kqfx/dsp/AllpassBank.h"
#include "kqfx/dsp/CombBank.h"
#include "kqfx/dsp/LanePath.h"
#include "kqfx/dsp/SmoothParameter.h"

namespace kqfx {

class revmodel {
 public:
  static constexpr int32_t kCombs = CombBank::kCombs;
  static constexpr int32_t kAllpasses = AllpassBank::kAllpasses;
  // Every right delay line is this much longer than its left twin.
  static constexpr int32_t kStereoSpread = 23;
  static constexpr std::array<int32_t, kCombs> kCombLengths{1116, 1188, 1277, 1356,
                                                            1422, 1491, 1557, 1617};
  // In the order the signal runs through them.
  static constexpr std::array<int32_t, kAllpasses> kAllpassLengths{556, 441, 341, 225};
  static constexpr int32_t kMemorySize = [] {
    int32_t total = 0;
    for (int32_t length : kCombLengths) total += 2 * length + kStereoSpread;
    for (int32_t length : kAllpassLengths) total += 2 * length + kStereoSpread;
    return total;
  }();
  static_assert(kMemorySize == 25450);

  // Fixed gains around the network, as values of the reverb's gain law.
  static constexpr float kInputTrimLevel = 0.3f;
  static constexpr float kOutputMakeupLevel = 0.6f;

  revmodel();
  revmodel(const revmodel&) = delete;
  revmodel& operator=(const revmodel&) = delete;

  // Audio thread. Runs `frames` frames (none when 0 or negative), each
  // frame `stride` floats after the previous one in all four buffers.
  // Each frame ticks the dry, depth and brightness smoothers in this order.
  // processreplace overwrites the outputs with wet plus dry signal;
  // processmix adds the wet signal to them and uses no dry signal. Each
  // output may be the same buffer as its own channel's input.
  void processreplace(const float* inputL, const float* inputR, float* outputL, float* outputR,
                      int32_t frames, int32_t stride, SmoothParameter* dryLevel,
                      SmoothParameter* depth, SmoothParameter* brightness);
  void processmix(const float* inputL, const float* inputR, float* outputL, float* outputR,
                  int32_t frames, int32_t stride, SmoothParameter* dryLevel, SmoothParameter* depth,
                  SmoothParameter* brightness);

  // One control over the frames of a call: `value` on every frame while
  // `values` is null, else frame i's values[i].
  struct Control {
    float value = 0.0f;
    const float* values = nullptr;
    float at(int32_t frame) const { return values ? values[frame] : value; }
  };
  // What the three smoothers give over the frames of a call, already
  // ticked: the same operations on stride-1 buffers with the values given.
  struct Controls {
    Control dryLevel;
    Control depth;
    Control brightness;
    bool steady() const { return !dryLevel.values && !depth.values && !brightness.values; }
  };
  void processreplace(const float* inputL, const float* inputR, float* outputL, float* outputR,
                      int32_t frames, const Controls& controls);
  void processmix(const float* inputL, const float* inputR, float* outputL, float* outputR,
                  int32_t frames, const Controls& controls);

  // Clears every delay line, unless frozen.
  void mute();
  // Recomputes the derived gains and pushes feedback and damping into the
  // combs. Every setter but setdry calls it.
  void update();

  // No setter limits its value: room sizes above 1, negative widths and
  // widths above 1 take effect as given.
  void setroomsize(float value);
  float getroomsize() const;
  void setdamp(float value);
  float getdamp() const;
  void setwet(float value);
  float getwet() const;
  void setdry(float value);
  float getdry() const;
  void setwidth(float value);
  float getwidth() const;
  void setcompthreshold(float value);
  float getcompthreshold() const;
  void setcompceiling(float value);
  float getcompceiling() const;
  // Frozen while the mode is 0.5 or more: no input reaches the combs and
  // the tail circulates without loss. A NaN mode is not frozen.
  void setmode(float value);
  float getmode() const;

  // The lane family processing runs on (the same operations, results bit
  // for bit the same on every one). chooseLanePath() by default; the wide
  // path where the processor lacks it gives the baseline. Owner thread,
  // between blocks.
  void setLanePath(LanePath path);
  LanePath lanePath() const { return path; }

  // For inspection.
  float getwetdirect() const { return wetDirect; }
  float getwetcross() const { return wetCross; }
  float getinputscale() const { return inputScale; }
  const comb& combLeft(int32_t index) const { return combsLeft[index]; }
  const comb& combRight(int32_t index) const { return combsRight[index]; }

 private:
  // What a frame reads from the smoothers: the dry gain (processreplace
  // only), the depth, and the comb damping the brightness gives with its
  // complement (the same for both channels).
  struct FrameSettings {
    float dryGain = 0.0f;
    float depth = 0.0f;
    float damp = 0.0f;
    float dampComplement = 1.0f;
  };
  // The smoothers ticked a slice at a time into Controls.
  template <bool Mix>
  void runSmoothed(const float* inputL, const float* inputR, float* outputL, float* outputR,
                   int32_t frames, int32_t stride, SmoothParameter* dryLevel,
                   SmoothParameter* depth, SmoothParameter* brightness);
  // The frames on the chosen lane path.
  template <bool Mix>
  void run(const float* inputL, const float* inputR, float* outputL, float* outputR, int32_t frames,
           std::ptrdiff_t step, const Controls& controls);
  // The frames in one lane family.
  template <class Lanes, bool Mix>
  void runBlock(const float* inputL, const float* inputR, float* outputL, float* outputR,
                int32_t frames, std::ptrdiff_t step, const Controls& controls);
  template <class Lanes, bool Mix>
  void runOn(const float* inputL, const float* inputR, float* outputL, float* outputR,
             int32_t frames, std::ptrdiff_t step, const Controls& controls);
  template <bool Mix>
  void runWide(const float* inputL, const float* inputR, float* outputL, float* outputR,
               int32_t frames, std::ptrdiff_t step, const Controls& controls);
  // The frames between two wraps of any delay line.
  template <class Lanes, bool Mix, bool Steady>
  class Stretch;
  int32_t framesToWrap() const;
  void advance(int32_t frames);
  static float scaleDamp(float value);
  void followBrightness(float brightness);
  float dryGainFor(float dryLevel);
  void clearNetwork();

  float inputScale = 0.0f;
  float roomsize = 0.0f;
  float activeRoomsize = 0.0f;
  float damp = 0.0f;
  float activeDamp = 0.0f;
  float wet = 0.0f;
  float wetDirect = 0.0f;
  float wetCross = 0.0f;
  float dry = 0.0f;
  float width = 0.0f;
  float compthreshold = 0.0f;
  float compceiling = 0.0f;
  float mode = 0.0f;
  // The fixed gains around the network; they never change, so they are
  // worked out once here rather than on every call.
  float inputTrim = 0.0f;
  float outputMakeup = 0.0f;
  // The dry gain of the last frame and the level it came from.
  float lastDryLevel = 0.0f;
  float lastDryGain = 0.0f;

  LanePath path = LanePath::kBaseline;
  CombBank combsLeft;
  CombBank combsRight;
  AllpassBank allpassesLeft;
  AllpassBank allpassesRight;
  // Comb 1 left, comb 1 right, ... comb 8 right, allpass 1 left, ...
  // allpass 4 right, back to back; then the 3 floats that the banks read
  // and write back unchanged when fewer than four frames are left before
  // the last line wraps.
  std::array<float, kMemorySize + 3> memory{};
};

}  // namespace kqfx
