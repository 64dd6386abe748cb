#pragma once
// Morvane: a one-beat stereo echo behind a low cut. The input passes a
// one-pole high-pass whose corner is one of 24 shelves; the filtered
// signal is heard directly (scaled by "Input Gain") and feeds one beat of
// delay per channel with "Feedback". The echoes come back at a fixed
// level, and every beat the emphasis changes sides: during one beat the
// right echo is nearly muted, during the next the left one.

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <type_traits>

#include "kqfx/dsp/EchoLanes.h"
#include "kqfx/dsp/LanePath.h"
#include "kqfx/dsp/LowCutShelves.h"
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
  // A steady stretch of a block comes as one chunk, however long: the
  // echo's stretches then run from one beat end or line wrap to the next.
  static constexpr bool kSteadyChunksWhole = true;

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

  // Audio thread. The chunk in runs of frames at one shelf and beat (the
  // whole chunk unless "Cutoff" or "Tempo" glides), on the effect's lanes.
  template <class Output>
  void renderChunk(const Chunk& chunk) {
    if (path_ == LanePath::kScalar) {
      renderOn<Output, ScalarLanes>(chunk);
    } else {
      renderOn<Output, BaselineLanes>(chunk);
    }
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
  template <class L>
  using Lanes = echo_lanes::Stretch<L>;

  template <class Output, class L>
  void renderOn(const Chunk& chunk) {
    // The host changes the sample rate only while no block is processed.
    const double rate = getSampleRate();
    const ChunkParameter& tempo = chunk[kTempo];
    const ChunkParameter& cutoff = chunk[kCutoff];
    if (tempo.steady() && cutoff.steady()) {
      runFrames<Output, L>(chunk, 0, chunk.frames, beatSamples<true>(tempo.value, rate),
                           shelfFor(cutoff.value));
      return;
    }
    for (int32_t start = 0; start < chunk.frames;) {
      const BeatSamples beat = beatSamples<true>(tempo.at(start), rate);
      const int shelf = shelfFor(cutoff.at(start));
      int32_t end = start + 1;
      while (end < chunk.frames && shelfFor(cutoff.at(end)) == shelf &&
             sameBeat(beatSamples<true>(tempo.at(end), rate), beat)) {
        ++end;
      }
      runFrames<Output, L>(chunk, start, end - start, beat, shelf);
      start = end;
    }
  }

  // Frames [start, start + n) of the chunk at one shelf and beat, gain
  // factor and feedback fixed or per frame.
  template <class Output, class L>
  void runFrames(const Chunk& chunk, int32_t start, int32_t n, const BeatSamples& beat,
                 int shelf) {
    const ChunkParameter& gain = chunk.gain;
    const ChunkParameter& feedback = chunk[kFeedback];
    const auto s = static_cast<std::size_t>(shelf);
    const typename Lanes<L>::Settings lanes = Lanes<L>::settings(
        kShelfGainCoefficients[s], kShelfYCoefficients[s], gain.at(start), feedback.at(start));
    const typename Lanes<L>::Echo echo{lanes,          kShelfGainCoefficients[s] == 1.0f,
                                       beat.perBeat,   beat.delay,
                                       kQuietSideFactor, kEchoLevel};
    typename Lanes<L>::LowCutState cut = loadLowCut<L>();
    constexpr bool kAdds = std::is_same_v<Output, AddToOutput>;
    const float* inL = chunk.inL + start;
    const float* inR = chunk.inR + start;
    float* outL = chunk.outL + start;
    float* outR = chunk.outR + start;
    if (gain.steady() && feedback.steady()) {
      Lanes<L>::template run<kAdds>(inL, inR, outL, outR, n, echo,
                                    typename Lanes<L>::FixedLevels{lanes.gain, lanes.feedback},
                                    delayMemory, echoBeat, cut);
    } else {
      alignas(16) std::array<float, kChunkFrames> gains;
      alignas(16) std::array<float, kChunkFrames> feedbacks;
      for (int32_t i = 0; i < n; ++i) {
        gains[static_cast<std::size_t>(i)] = gain.at(start + i);
        feedbacks[static_cast<std::size_t>(i)] = feedback.at(start + i);
      }
      Lanes<L>::template run<kAdds>(inL, inR, outL, outR, n, echo,
                                    typename Lanes<L>::FrameLevels{gains.data(), feedbacks.data()},
                                    delayMemory, echoBeat, cut);
    }
    storeLowCut<L>(cut);
  }

  static bool sameBeat(const BeatSamples& a, const BeatSamples& b) {
    return a.perBeat == b.perBeat && a.delay == b.delay;
  }

  template <class L>
  typename Lanes<L>::LowCutState loadLowCut() const {
    return {L::widenLow(L::setFloats(lowCutIn_[0], lowCutIn_[1], 0.0f, 0.0f)),
            L::widenLow(L::setFloats(lowCutOut_[0], lowCutOut_[1], 0.0f, 0.0f))};
  }

  template <class L>
  void storeLowCut(const typename Lanes<L>::LowCutState& cut) {
    const typename L::Floats in = L::narrow(cut.in);
    const typename L::Floats out = L::narrow(cut.out);
    lowCutIn_ = {L::lane(in, 0), L::lane(in, 1)};
    lowCutOut_ = {L::lane(out, 0), L::lane(out, 1)};
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

  // The lane family, chosen when the effect is created.
  LanePath path_ = chooseLanePath();
  // The low cut's memory per channel: the last scaled input and output.
  std::array<float, 2> lowCutIn_{};
  std::array<float, 2> lowCutOut_{};
  uint32_t shelfCutoffBits_ = std::bit_cast<uint32_t>(0.0f);
  int shelf_ = shelfIndex(0.0f);
};

}  // namespace kqfx
