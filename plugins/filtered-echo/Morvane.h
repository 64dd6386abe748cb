#pragma once
// Morvane: a one-beat stereo echo behind a low cut. The input passes a
// one-pole high-pass whose corner is one of 24 shelves; the filtered
// signal is heard directly (scaled by "Input Gain") and feeds one beat of
// delay per channel with "Feedback". The echoes come back at a fixed
// level, and every beat the emphasis changes sides: during one beat the
// right echo is nearly muted, during the next the left one.

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

#include "LowCutShelves.h"
#include "kqfx/plugin/BeatEcho.h"

namespace kqfx {

class Morvane : public BeatEcho<Morvane> {
 public:
  enum Parameter : int32_t { kCutoff = 2, kFeedback = 3 };
  static constexpr ParameterTable kParameters{{
      {"Input Gain", "dB", 0.5f},
      {"Tempo", "BPM", 0.33333334f},
      {"Cutoff", "Hz", 0.05f},
      {"Feedback", "%", 0.25f},
  }};
  // Level of both echoes, and the factor of the attenuated one on top.
  static constexpr double kEchoLevel = 0.33333;
  static constexpr double kQuietSideFactor = 0.06999999999999995;

  // Host thread. Throws std::bad_alloc without its delay memory. Tests may
  // hand in another allocator; the plug-in uses the system's.
  explicit Morvane(HostCallback callback,
                   const SampleAllocator& allocator = systemSampleAllocator())
      : BeatEcho(callback, fourCharCode("KQMO"), kParameters, allocator) {}

  // Any thread: the corner of the shelf a "Cutoff" value selects, as a
  // fraction of 20 kHz.
  static float getFrequencyShelf(float value) {
    return kShelfFrequencies[static_cast<std::size_t>(shelfIndex(value))];
  }

  // Audio thread. Output overwrites or adds. When every smoother is steady
  // for the whole block, the gain factor, beat, shelf and feedback are
  // worked out once for it.
  template <class Output>
  void render(const float* inL, const float* inR, float* outL, float* outR, int32_t n) {
    SmoothParameter& gain = smoother(kInputGain);
    SmoothParameter& tempo = smoother(kTempo);
    SmoothParameter& cutoff = smoother(kCutoff);
    SmoothParameter& feedback = smoother(kFeedback);
    // The host changes the sample rate only while no block is processed.
    const double rate = getSampleRate();
    if (gain.isSteady() && tempo.isSteady() && cutoff.isSteady() && feedback.isSteady()) {
      const FrameSettings fixed{gainFactor.factor(gain.getCurrentValue()),
                                beatSamples<true>(tempo.getCurrentValue(), rate),
                                shelfFor(cutoff.getCurrentValue()), feedback.getCurrentValue()};
      renderFrames<Output>(inL, inR, outL, outR, n, [&fixed] { return fixed; });
      gain.skipTicks(n);
      tempo.skipTicks(n);
      cutoff.skipTicks(n);
      feedback.skipTicks(n);
      return;
    }
    renderFrames<Output>(inL, inR, outL, outR, n, [&] {
      gain.tick();
      tempo.tick();
      cutoff.tick();
      feedback.tick();
      return FrameSettings{gainFactor.factor(gain.getCurrentValue()),
                           beatSamples<true>(tempo.getCurrentValue(), rate),
                           shelfFor(cutoff.getCurrentValue()), feedback.getCurrentValue()};
    });
  }

  // Host thread.
  void displayEchoValue(int32_t index, float target, char* text) {
    if (index == kCutoff) {
      float2string(static_cast<float>(static_cast<double>(getFrequencyShelf(target)) * 20000.0),
                   text);
    } else {
      float2string(static_cast<float>(static_cast<double>(target) * 100.0), text);
    }
  }

 private:
  // What one frame reads from the parameters.
  struct FrameSettings {
    float gain;
    BeatSamples beat;
    int shelf;
    float feedback;
  };

  // Audio thread. The per-frame loop; `settingsOf()` answers each frame's
  // settings. Filter memory and beat counter are held in locals meanwhile.
  template <class Output, class SettingsOf>
  void renderFrames(const float* inL, const float* inR, float* outL, float* outR, int32_t n,
                    SettingsOf settingsOf) {
    beat::EchoBeat echo = echoBeat;
    std::array<LowCut, 2> cut = lowCut_;
    for (int32_t i = 0; i < n; ++i) {
      const FrameSettings settings = settingsOf();
      const double g = settings.gain;
      echo.count(settings.beat.perBeat);

      // The low cut takes the input before any gain; both inputs are read
      // before an output is written, so in-place buffers work.
      const float fL = lowCutSample(cut[0], inL[i], settings.shelf);
      const float fR = lowCutSample(cut[1], inR[i], settings.shelf);

      float& lineL = delayMemory.left();
      float& lineR = delayMemory.right();
      const float oldL = lineL;
      const float oldR = lineR;
      float eL = oldL;
      float eR = oldR;
      if (echo.echoSide == beat::EchoBeat::kRightAttenuated) {
        eR = static_cast<float>(static_cast<double>(eR) * kQuietSideFactor);
      } else {
        eL = static_cast<float>(static_cast<double>(eL) * kQuietSideFactor);
      }
      Output::store(outL[i], static_cast<float>(g * fL + kEchoLevel * eL));
      Output::store(outR[i], static_cast<float>(g * fR + kEchoLevel * eR));

      // What enters the line is the filtered input without gain.
      const double fb = settings.feedback;
      lineL = lineSample(fb * oldL + fL);
      lineR = lineSample(fb * oldR + fR);
      delayMemory.advance(settings.beat.delay);
    }
    echoBeat = echo;
    lowCut_ = cut;
  }

  // One channel of the low cut: the previous and current scaled input and
  // the previous and current output.
  struct LowCut {
    std::array<float, 2> in{};
    std::array<float, 2> out{};
  };

  // Audio thread. One sample of a channel's low cut at the given shelf. A
  // NaN or infinite result is passed on for that sample but not kept: the
  // channel starts again from rest, so it recovers with the input.
  static float lowCutSample(LowCut& f, float input, int shelf) {
    const auto s = static_cast<std::size_t>(shelf);
    f.in[0] = f.in[1];
    f.in[1] = static_cast<float>(static_cast<double>(input) /
                                 static_cast<double>(kShelfGainCoefficients[s]));
    f.out[0] = f.out[1];
    f.out[1] = static_cast<float>(
        (static_cast<double>(f.in[1]) - static_cast<double>(f.in[0])) +
        static_cast<double>(kShelfYCoefficients[s]) * static_cast<double>(f.out[0]));
    const float y = f.out[1];
    if (!std::isfinite(y)) [[unlikely]] f = LowCut{};
    return y;
  }

  // Audio thread. shelfIndex, scanned again only when the value changes.
  int shelfFor(float cutoff) {
    const uint32_t bits = std::bit_cast<uint32_t>(cutoff);
    if (bits != shelfCutoffBits_) {
      shelfCutoffBits_ = bits;
      shelf_ = shelfIndex(cutoff);
    }
    return shelf_;
  }

  std::array<LowCut, 2> lowCut_{};
  uint32_t shelfCutoffBits_ = std::bit_cast<uint32_t>(0.0f);
  int shelf_ = shelfIndex(0.0f);
};

}  // namespace kqfx
