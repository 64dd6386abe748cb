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

#include <algorithm>
#include <array>
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
  // A steady stretch of a block comes as one chunk, however long (only a
  // gliding chunk's rows are bounded).
  static constexpr bool kSteadyChunksWhole = true;

  // Host thread. Throws std::bad_alloc without its delay memory. Tests may
  // hand in another allocator; the plug-in uses the system's.
  explicit Tallisk(HostCallback callback,
                   const SampleAllocator& allocator = systemSampleAllocator())
      : BeatEcho(callback, fourCharCode("KQTA"), kParameters, allocator) {}

  // Audio thread, both paths: ReplaceOutput is processReplacing,
  // AddToOutput is process. A steady chunk's settings are worked out once
  // for it; a gliding tempo's beat frame by frame.
  template <class Output>
  void renderChunk(const Chunk& chunk) {
    constexpr bool kWithDirectSignal = std::is_same_v<Output, ReplaceOutput>;
    // The host changes the sample rate only while no block is processed.
    const double rate = getSampleRate();
    const ChunkParameter& tempo = chunk[kTempo];
    const ChunkParameter& depth = chunk[kDepth];
    const ChunkParameter& spread = chunk[kSpread];
    const BeatSamples firstBeat = beatSamples<!kWithDirectSignal>(tempo.value, rate);
    if (chunk.allSteady) {
      const FrameSettings fixed{chunk.gain.value, firstBeat, spread.value, depth.value};
      renderFrames<kWithDirectSignal>(chunk, [&fixed](int32_t) { return fixed; });
      return;
    }
    // Each setting as a row of the chunk's frames, so that the loop reads
    // them without asking which glide.
    std::array<std::array<float, kChunkFrames>, 3> fixed;
    const float* gains = rowOf(chunk.gain, fixed[0], chunk.frames);
    const float* spreads = rowOf(spread, fixed[1], chunk.frames);
    const float* depths = rowOf(depth, fixed[2], chunk.frames);
    renderFrames<kWithDirectSignal>(chunk, [&](int32_t i) {
      return FrameSettings{
          gains[i],
          tempo.steady() ? firstBeat : beatSamples<!kWithDirectSignal>(tempo.values[i], rate),
          spreads[i], depths[i]};
    });
  }

  // Host thread.
  void displayEchoValue(int32_t, float target, char* text) {
    float2string(static_cast<float>(static_cast<double>(target) * 100.0), text);
  }
 private:
  // A parameter's values over n frames: its own while it glides, else
  // `row` filled with its one value.
  static const float* rowOf(const ChunkParameter& p, std::array<float, kChunkFrames>& row,
                            int32_t n) {
    if (!p.steady()) return p.values;
    std::fill_n(row.begin(), n, p.value);
    return row.data();
  }

  // What one frame reads from the parameters.
  struct FrameSettings {
    float gain;
    BeatSamples beat;
    float spread;
    float depth;
  };

  // Audio thread. The per-frame loop; `settingsOf(i)` answers frame i's
  // settings. The beat counter is held in a local meanwhile.
  template <bool WithDirectSignal, class SettingsOf>
  void renderFrames(const Chunk& chunk, SettingsOf settingsOf) {
    const float* inL = chunk.inL;
    const float* inR = chunk.inR;
    float* outL = chunk.outL;
    float* outR = chunk.outR;
    beat::EchoBeat echo = echoBeat;
    for (int32_t i = 0; i < chunk.frames; ++i) {
      // Both inputs are read before an output is written, so in-place
      // buffers work.
      const float xL = inL[i];
      const float xR = inR[i];
      const FrameSettings settings = settingsOf(i);
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
