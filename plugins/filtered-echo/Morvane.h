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
  // worked out once for it. When only gain and feedback glide, their next
  // values are gathered a chunk at a time. Otherwise the smoothers that
  // glide are ticked frame by frame. Smoothers that were steady at the
  // start of the block keep their value through it. Either way the frames run in stretches between
  // beat ends, delay-line wraps and changes of shelf or beat.
  template <class Output>
  void render(const float* inL, const float* inR, float* outL, float* outR, int32_t n) {
    if (path_ == LanePath::kScalar) {
      renderOn<Output, ScalarLanes>(inL, inR, outL, outR, n);
    } else {
      renderOn<Output, BaselineLanes>(inL, inR, outL, outR, n);
    }
  }

  // Audio thread. render on one lane family.
  template <class Output, class L>
  void renderOn(const float* inL, const float* inR, float* outL, float* outR, int32_t n) {
    SmoothParameter& gain = smoother(kInputGain);
    SmoothParameter& tempo = smoother(kTempo);
    SmoothParameter& cutoff = smoother(kCutoff);
    SmoothParameter& feedback = smoother(kFeedback);
    // The host changes the sample rate only while no block is processed.
    const double rate = getSampleRate();
    const bool gainGlides = !gain.isSteady();
    const bool tempoGlides = !tempo.isSteady();
    const bool cutoffGlides = !cutoff.isSteady();
    const bool feedbackGlides = !feedback.isSteady();
    const FrameSettings atStart{gainFactor.factor(gain.getCurrentValue()),
                                beatSamples<true>(tempo.getCurrentValue(), rate),
                                shelfFor(cutoff.getCurrentValue()), feedback.getCurrentValue()};
    if (!gainGlides && !tempoGlides && !cutoffGlides && !feedbackGlides) {
      const typename echo_lanes::Frame<L>::Settings lanes = lanesOf<L>(atStart);
      runFrames<Output, L>(inL, inR, outL, outR, n, atStart, lanes,
                        typename echo_lanes::Stretch<L>::FixedLevels{lanes.gain, lanes.feedback});
    } else if (!tempoGlides && !cutoffGlides) {
      // Beat and shelf hold for the whole block: only gain and feedback
      // glide, and their values are gathered a chunk at a time.
      renderLevelsGliding<Output, L>(inL, inR, outL, outR, n, atStart, gainGlides, feedbackGlides);
    } else {
      // Only what depends on a gliding smoother is worked out again.
      FrameSettings now = atStart;
      renderGliding<Output, L>(inL, inR, outL, outR, n, [&] {
        if (gainGlides) now.gain = gainFactor.factor(ticked(gain));
        if (tempoGlides) now.beat = beatSamples<true>(ticked(tempo), rate);
        if (cutoffGlides) now.shelf = shelfFor(ticked(cutoff));
        if (feedbackGlides) now.feedback = ticked(feedback);
        return now;
      });
    }
    // What n ticks would have done to the smoothers that did not glide.
    if (!gainGlides) gain.skipTicks(n);
    if (!tempoGlides) tempo.skipTicks(n);
    if (!cutoffGlides) cutoff.skipTicks(n);
    if (!feedbackGlides) feedback.skipTicks(n);
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

  // Audio thread. One tick of a smoother that glides, and its new value.
  static float ticked(SmoothParameter& smoother) {
    smoother.tick();
    return smoother.getCurrentValue();
  }

  // Audio thread. A block at one shelf and beat while gain or feedback
  // glides (the other keeps its value from the start of the block). Each
  // chunk's gain factors and feedbacks are the smoothers' next values,
  // gathered side by side (as many ticks as frames) before the chunk runs.
  template <class Output, class L>
  void renderLevelsGliding(const float* inL, const float* inR, float* outL, float* outR,
                           int32_t n, const FrameSettings& settings, bool gainGlides,
                           bool feedbackGlides) {
    constexpr int32_t kChunk = 64;
    alignas(16) float gains[kChunk];
    alignas(16) float feedbacks[kChunk];
    if (!gainGlides) std::fill_n(gains, kChunk, settings.gain);
    if (!feedbackGlides) std::fill_n(feedbacks, kChunk, settings.feedback);
    const typename echo_lanes::Frame<L>::Settings lanes = lanesOf<L>(settings);
    for (int32_t done = 0; done < n; done += kChunk) {
      const int32_t m = std::min(n - done, kChunk);
      if (gainGlides) gainFactor.factors(smoother(kInputGain), gains, m);
      if (feedbackGlides) smoother(kFeedback).nextValues(feedbacks, m);
      runFrames<Output, L>(inL + done, inR + done, outL + done, outR + done, m, settings, lanes,
                        typename echo_lanes::Stretch<L>::FrameLevels{gains, feedbacks});
    }
  }

  // Audio thread. A block while parameters glide, in chunks of frames
  // that share shelf and beat; `settingsOf()` ticks and answers the next
  // frame's settings. The gain factors and feedbacks of a chunk are
  // gathered first (the smoothers do not depend on the signal), then the
  // chunk runs as a steady block would with a gain and a feedback per frame.
  template <class Output, class L, class SettingsOf>
  void renderGliding(const float* inL, const float* inR, float* outL, float* outR, int32_t n,
                     SettingsOf settingsOf) {
    constexpr int32_t kChunk = 64;
    alignas(16) float gains[kChunk];
    alignas(16) float feedbacks[kChunk];
    FrameSettings first = settingsOf();
    int32_t i = 0;
    while (true) {
      gains[0] = first.gain;
      feedbacks[0] = first.feedback;
      int32_t m = 1;
      bool changed = false;
      FrameSettings next{};
      while (m < kChunk && i + m < n) {
        next = settingsOf();
        changed = next.shelf != first.shelf || next.beat.perBeat != first.beat.perBeat ||
                  next.beat.delay != first.beat.delay;
        if (changed) break;
        gains[m] = next.gain;
        feedbacks[m] = next.feedback;
        ++m;
      }
      runFrames<Output, L>(inL + i, inR + i, outL + i, outR + i, m, first, lanesOf<L>(first),
                        typename echo_lanes::Stretch<L>::FrameLevels{gains, feedbacks});
      i += m;
      if (i >= n) break;
      first = changed ? next : settingsOf();
    }
  }

  // Audio thread. Frames at one shelf and beat, gain factor and feedback
  // from `levels` (see echo_lanes::Stretch::run).
  template <class Output, class L, class Levels>
  void runFrames(const float* inL, const float* inR, float* outL, float* outR, int32_t n,
                 const FrameSettings& settings, const typename echo_lanes::Frame<L>::Settings& lanes,
                 const Levels& levels) {
    const typename echo_lanes::Stretch<L>::Echo echo{
        lanes, kShelfGainCoefficients[static_cast<std::size_t>(settings.shelf)] == 1.0f,
        settings.beat.perBeat, settings.beat.delay, kQuietSideFactor, kEchoLevel};
    typename echo_lanes::Frame<L>::LowCutState cut = loadLowCut<L>();
    echo_lanes::Stretch<L>::template run<std::is_same_v<Output, AddToOutput>>(
        inL, inR, outL, outR, n, echo, levels, delayMemory, echoBeat, cut);
    storeLowCut<L>(cut);
  }

  template <class L>
  static typename echo_lanes::Frame<L>::Settings lanesOf(const FrameSettings& settings) {
    const auto shelf = static_cast<std::size_t>(settings.shelf);
    return echo_lanes::Frame<L>::settings(kShelfGainCoefficients[shelf], kShelfYCoefficients[shelf],
                                settings.gain, settings.feedback);
  }

  template <class L>
  typename echo_lanes::Frame<L>::LowCutState loadLowCut() const {
    return {L::widenLow(L::setFloats(lowCutIn_[0], lowCutIn_[1], 0.0f, 0.0f)),
            L::widenLow(L::setFloats(lowCutOut_[0], lowCutOut_[1], 0.0f, 0.0f))};
  }

  template <class L>
  void storeLowCut(const typename echo_lanes::Frame<L>::LowCutState& cut) {
    const typename L::Floats in = L::narrow(cut.in);
    const typename L::Floats out = L::narrow(cut.out);
    lowCutIn_ = {echo_lanes::Frame<L>::lane0(in), echo_lanes::Frame<L>::lane1(in)};
    lowCutOut_ = {echo_lanes::Frame<L>::lane0(out), echo_lanes::Frame<L>::lane1(out)};
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
