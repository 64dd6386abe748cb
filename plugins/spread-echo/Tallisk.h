#pragma once
// Tallisk: a one-beat stereo echo with a fixed feedback of a quarter.
// "Depth" sets the level of the echoes and "Spread" attenuates the echo
// of one side, the side changing every beat, so that the echoes alternate
// between left and right.
//
// The two process paths differ on purpose: processReplacing mixes the
// echoes with the direct signal (scaled by "Input Gain") and follows the
// exact tempo, fraction of a BPM included; process adds the echoes alone
// to the outputs and follows whole beats per minute.

#include <cstdint>
#include <type_traits>

#include "kqfx/plugin/BeatEcho.h"

namespace kqfx {

class Tallisk : public BeatEcho<Tallisk> {
 public:
  enum Parameter : int32_t { kDepth = 2, kSpread = 3 };
  static constexpr ParameterTable kParameters{{
      {"Input Gain", "dB", 0.5f},
      {"Tempo", "BPM", 0.33333334f},
      {"Depth", "%", 0.25f},
      {"Spread", "%", 0.25f},
  }};
  // Share of each delayed sample that stays in the line.
  static constexpr double kFeedback = 0.25;

  // Host thread. Throws std::bad_alloc without its delay memory. Tests may
  // hand in another allocator; the plug-in uses the system's.
  explicit Tallisk(HostCallback callback,
                   const SampleAllocator& allocator = systemSampleAllocator())
      : BeatEcho(callback, fourCharCode("KQTA"), kParameters, allocator) {}

  // Audio thread, both paths: ReplaceOutput is processReplacing,
  // AddToOutput is process. When every smoother is steady for the whole
  // block, its settings are worked out once for it.
  template <class Output>
  void render(const float* inL, const float* inR, float* outL, float* outR, int32_t n) {
    constexpr bool kWithDirectSignal = std::is_same_v<Output, ReplaceOutput>;
    SmoothParameter& gain = smoother(kInputGain);
    SmoothParameter& tempo = smoother(kTempo);
    SmoothParameter& depth = smoother(kDepth);
    SmoothParameter& spread = smoother(kSpread);
    // The host changes the sample rate only while no block is processed.
    const double rate = getSampleRate();
    // The gain factor only matters, and is only worked out, with the
    // direct signal.
    const auto settingsNow = [&] {
      return FrameSettings{
          kWithDirectSignal ? gainFactor.factor(gain.getCurrentValue()) : 0.0f,
          beatSamples<!kWithDirectSignal>(tempo.getCurrentValue(), rate),
          spread.getCurrentValue(), depth.getCurrentValue()};
    };
    if (allSteady()) {
      const FrameSettings fixed = settingsNow();
      renderFrames<kWithDirectSignal>(inL, inR, outL, outR, n, [&fixed] { return fixed; });
      skipAllTicks(n);
      return;
    }
    // A glide: each stretch of frames gathers its parameter values first
    // (the smoothers do not depend on the signal), the gains side by side,
    // a steady tempo's beat once.
    for (int32_t done = 0; done < n; done += kStretch) {
      const int32_t m = n - done < kStretch ? n - done : kStretch;
      float gains[kStretch];
      float tempos[kStretch];
      float depths[kStretch];
      float spreads[kStretch];
      if constexpr (kWithDirectSignal) {
        gainFactor.factors(gain, gains, m);
      } else {
        gain.nextValues(gains, m);
      }
      const bool tempoSteady = tempo.isSteady();
      if (tempoSteady) {
        tempos[0] = tempo.getCurrentValue();
        tempo.skipTicks(m);
      } else {
        tempo.nextValues(tempos, m);
      }
      depth.nextValues(depths, m);
      spread.nextValues(spreads, m);
      const BeatSamples steadyBeat = beatSamples<!kWithDirectSignal>(tempos[0], rate);
      int32_t frame = 0;
      renderFrames<kWithDirectSignal>(
          inL + done, inR + done, outL + done, outR + done, m, [&] {
            const auto j = static_cast<std::size_t>(frame++);
            return FrameSettings{
                kWithDirectSignal ? gains[j] : 0.0f,
                tempoSteady ? steadyBeat : beatSamples<!kWithDirectSignal>(tempos[j], rate),
                spreads[j], depths[j]};
          });
    }
  }

  // Host thread.
  void displayEchoValue(int32_t, float target, char* text) {
    float2string(static_cast<float>(static_cast<double>(target) * 100.0), text);
  }
 private:
  // Frames whose settings a glide gathers at a time.
  static constexpr int32_t kStretch = 64;

  // What one frame reads from the parameters.
  struct FrameSettings {
    float gain;
    BeatSamples beat;
    float spread;
    float depth;
  };

  // Audio thread. The per-frame loop; `settingsOf()` answers each frame's
  // settings. The beat counter is held in a local meanwhile.
  template <bool WithDirectSignal, class SettingsOf>
  void renderFrames(const float* inL, const float* inR, float* outL, float* outR, int32_t n,
                    SettingsOf settingsOf) {
    beat::EchoBeat echo = echoBeat;
    for (int32_t i = 0; i < n; ++i) {
      // Both inputs are read before an output is written, so in-place
      // buffers work.
      const float xL = inL[i];
      const float xR = inR[i];
      const FrameSettings settings = settingsOf();
      echo.count(settings.beat.perBeat);

      float& lineL = delayMemory.left();
      float& lineR = delayMemory.right();
      const float oldL = lineL;
      const float oldR = lineR;
      float eL = oldL;
      float eR = oldR;
      const float s = settings.spread;
      if (s > 0.0f) {
        const double keep = 1.0 - static_cast<double>(s);
        if (echo.echoSide == beat::EchoBeat::kRightAttenuated) {
          eR = static_cast<float>(keep * eR);
        } else {
          eL = static_cast<float>(keep * eL);
        }
      }
      const double d = settings.depth;
      if constexpr (WithDirectSignal) {
        const double g = settings.gain;
        const float dL = static_cast<float>(g * xL);
        const float dR = static_cast<float>(g * xR);
        outL[i] = static_cast<float>(d * eL + dL);
        outR[i] = static_cast<float>(d * eR + dR);
      } else {
        outL[i] = static_cast<float>(static_cast<double>(outL[i]) + d * eL);
        outR[i] = static_cast<float>(static_cast<double>(outR[i]) + d * eR);
      }

      // The input enters the line without gain.
      lineL = lineSample(kFeedback * oldL + xL);
      lineR = lineSample(kFeedback * oldR + xR);
      delayMemory.advance(settings.beat.delay);
    }
    echoBeat = echo;
  }
};

}  // namespace kqfx
