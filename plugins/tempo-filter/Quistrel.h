#pragma once
// Quistrel: each channel through a resonant four-pole low-pass whose
// cutoff a triangle LFO sweeps between "Cutoff (Lo)" and "Cutoff (Hi)".
// One sweep (half a cycle) lasts "Every n" beats of "Tempo"; the tempo is
// a parameter, never asked of the host.

#include <array>
#include <atomic>
#include <bit>
#include <cstdint>

#include "kqfx/dsp/CachedGain.h"
#include "kqfx/dsp/GainLaw.h"
#include "kqfx/dsp/LadderFilter.h"
#include "kqfx/dsp/SweepLength.h"
#include "kqfx/dsp/TriangleSweep.h"
#include "kqfx/plugin/GainText.h"
#include "kqfx/plugin/StereoEffect.h"

namespace kqfx {

class Quistrel final : public StereoEffect<Quistrel, 6> {
 public:
  using Gain = StandardGain;
  enum Parameter : int32_t {
    kInputGain = 0,
    kTempo = 1,
    kEveryN = 2,
    kCutoffHi = 3,
    kCutoffLo = 4,
    kResonance = 5,
  };
  // "Tempo" and "Every n" take effect at once: they set the sweep length.
  static constexpr ParameterTable kParameters{{
      {"Input Gain", "dB", 0.5f},
      {"Tempo", "BPM", 0.33333334f, 0},
      {"Every n", "Beats", 0.0f, 0},
      {"Cutoff (Hi)", "Hz", 1.0f},
      {"Cutoff (Lo)", "Hz", 0.05f},
      {"Resonance", "%", 0.0f},
  }};

  explicit Quistrel(HostCallback callback)
      : StereoEffect(callback, fourCharCode("KQQU"), kParameters) {
    calculateLFOTime();
    initLFO();
  }

  // Any thread. A "Tempo" below 1/300 becomes 1/300; a write of "Tempo" or
  // "Every n" changes the sweep length at once without restarting the LFO.
  void setParameter(int32_t index, float value) override {
    if (index == kTempo) value = sweep::floorTempo(value);
    StereoEffect::setParameter(index, value);
    if (index == kTempo || index == kEveryN) calculateLFOTime();
  }

  template <class Output>
  void render(const float* inL, const float* inR, float* outL, float* outR, int32_t n) {
    SmoothParameter& gain = smoother(kInputGain);
    SmoothParameter& tempo = smoother(kTempo);
    SmoothParameter& everyN = smoother(kEveryN);
    SmoothParameter& cutoffHi = smoother(kCutoffHi);
    SmoothParameter& cutoffLo = smoother(kCutoffLo);
    SmoothParameter& resonance = smoother(kResonance);
    if (allSteady() && sweepsInStep()) {
      const float g = gainFactor_.factor(gain.getCurrentValue());
      renderSteady<Output>(inL, inR, outL, outR, n, lfoTime(), cutoffHi.getCurrentValue(),
                           cutoffLo.getCurrentValue(), resonance.getCurrentValue(),
                           [g](float* gains, int32_t frames) {
                             for (int32_t i = 0; i < frames; ++i) gains[i] = g;
                           });
      skipAllTicks(n);
      return;
    }
    if (cutoffHi.isSteady() && cutoffLo.isSteady() && resonance.isSteady() && tempo.isSteady() &&
        everyN.isSteady() && sweepsInStep()) {
      // Only the gain glides: its factors are worked out a stretch at a
      // time, side by side, and the rest runs as in a steady block.
      renderSteady<Output>(inL, inR, outL, outR, n, lfoTime(), cutoffHi.getCurrentValue(),
                           cutoffLo.getCurrentValue(), resonance.getCurrentValue(),
                           [this, &gain](float* gains, int32_t frames) {
                             gainFactor_.factors(gain, gains, frames);
                           });
      cutoffHi.skipTicks(n);
      cutoffLo.skipTicks(n);
      resonance.skipTicks(n);
      tempo.skipTicks(n);
      everyN.skipTicks(n);
      return;
    }
    for (int32_t i = 0; i < n; ++i) {
      gain.tick();
      cutoffHi.tick();
      cutoffLo.tick();
      resonance.tick();
      // Neither smoother glides, so a tick changes them only when a write
      // from another thread lands in between: then start the sweep afresh.
      const float tempoBefore = tempo.getCurrentValue();
      tempo.tick();
      const float everyNBefore = everyN.getCurrentValue();
      everyN.tick();
      if (changed(tempoBefore, tempo.getCurrentValue()) ||
          changed(everyNBefore, everyN.getCurrentValue())) {
        calculateLFOTime();
        initLFO();
      }
      const float g = gainFactor_.factor(gain.getCurrentValue());
      // One length for both channels, so that they stay in step.
      const uint32_t length = lfoTime();
      const float hi = cutoffHi.getCurrentValue();
      const float lo = cutoffLo.getCurrentValue();
      const float res = resonance.getCurrentValue();
      Output::store(outL[i], filterIt(g * inL[i], 0, length, hi, lo, res));
      Output::store(outR[i], filterIt(g * inR[i], 1, length, hi, lo, res));
    }
  }

  // Audio thread. A block at steady parameters (the gain aside), whose two
  // sweeps are in the same state: one sweep stands for both (they would
  // take the same steps), the sweep length is read once, and sweep and
  // filter memory stay in locals. `fillGains(gains, frames)` answers the
  // next frames' gain factors. Per sample the same arithmetic as filterIt.
  // A write of "Tempo" or "Every n" from another thread during the block
  // takes effect from the next block on.
  template <class Output, class FillGains>
  void renderSteady(const float* inL, const float* inR, float* outL, float* outR, int32_t n,
                    uint32_t length, float cutoffHi, float cutoffLo, float resonance,
                    FillGains fillGains) {
    TriangleSweep lfo = lfo_[0];
    LadderFilter left = filter_[0];
    LadderFilter right = filter_[1];
    const double lo = cutoffLo;
    const double range = static_cast<double>(cutoffHi) - lo;
    // The sweep's positions for a stretch of frames are worked out ahead
    // of the filters, which then only wait for their own arithmetic.
    constexpr int32_t kStretch = 64;
    std::array<float, kStretch> m;
    std::array<LadderFilter::Step, kStretch> steps;
    std::array<float, kStretch> gains;
    bool lengthChanged = lfo.lastLength() != length;
    for (int32_t start = 0; start < n; start += kStretch) {
      const int32_t frames = n - start < kStretch ? n - start : kStretch;
      lfo.next(length, m.data(), frames);
      fillGains(gains.data(), frames);
      for (int32_t j = 0; j < frames; ++j) {
        const auto k = static_cast<std::size_t>(j);
        const float f = static_cast<float>(1.16 * (lo + static_cast<double>(m[k]) * range));
        steps[k] = LadderFilter::Step(f, resonance);
      }
      for (int32_t j = 0; j < frames; ++j) {
        const int32_t i = start + j;
        const LadderFilter::Step& step = steps[static_cast<std::size_t>(j)];
        const float f = step.cutoff;
        if (lengthChanged) left.followCutoffJump(f);
        const float g = gains[static_cast<std::size_t>(j)];
        Output::store(outL[i], left.process(g * inL[i], step));
        if (lengthChanged) right.followCutoffJump(f);
        Output::store(outR[i], right.process(g * inR[i], step));
        lengthChanged = false;
      }
    }
    lfo_[0] = lfo;
    lfo_[1] = lfo;
    filter_[0] = left;
    filter_[1] = right;
  }

  // Host thread.
  void displayValue(int32_t index, float target, char* text) {
    switch (index) {
      case kInputGain:
        writeGainText<Gain>(*this, target, text);
        break;
      case kTempo:
        long2string(sweep::tempoText(target), text);
        break;
      case kEveryN:
        long2string(sweep::beatsText(target), text);
        break;
      case kResonance:
        float2string(target * 100.0f, text);
        break;
      default:  // the two cutoffs
        float2string(target * 20000.0f, text);
        break;
    }
  }

  // Host thread, after suspend rebuilt the smoothers. The sweep length
  // stays as it is.
  void restart() { initLFO(); }

  // Host thread, never during a process call. Hosts usually set the
  // sample rate and switch the effect on without a suspend in between, so
  // the sweep length is worked out for the rate in force; at the rate it
  // was made for that is the length it already has. The sweep carries on.
  void resume() override { calculateLFOTime(); }

  // Audio thread. One sample of one channel: advances that channel's LFO
  // and filter by one step and answers the filtered sample.
  float filterIt(float input, int channel, uint32_t lfoTime, float cutoffHi, float cutoffLo,
                 float resonance) {
    TriangleSweep& lfo = lfo_[static_cast<std::size_t>(channel)];
    LadderFilter& filter = filter_[static_cast<std::size_t>(channel)];
    const bool lengthChanged = lfo.lastLength() != lfoTime;
    const float m = lfo.next(lfoTime);
    const float f = static_cast<float>(
        1.16 * (static_cast<double>(cutoffLo) +
                static_cast<double>(m) *
                    (static_cast<double>(cutoffHi) - static_cast<double>(cutoffLo))));
    if (lengthChanged) filter.followCutoffJump(f);
    return filter.process(input, f, resonance);
  }

  // Any thread. Recomputes the sweep length from "Tempo", "Every n" and the
  // sample rate. Each recomputation takes a ticket after its parameter
  // write and before reading the parameters, so a later ticket has seen
  // every earlier write; a length only replaces one of an earlier ticket.
  // Two threads writing "Tempo" and "Every n" at once thus leave the
  // length of both last values behind.
  void calculateLFOTime() {
    const uint32_t ticket = lengthTickets_.fetch_add(1, std::memory_order_acq_rel) + 1;
    const uint32_t length = sweep::length(smoother(kTempo).getTargetValue(),
                                          smoother(kEveryN).getTargetValue(), getSampleRate());
    const uint64_t computed = (static_cast<uint64_t>(ticket) << 32) | length;
    uint64_t stored = lfoTime_.load(std::memory_order_relaxed);
    while (isLaterTicket(ticket, static_cast<uint32_t>(stored >> 32)) &&
           !lfoTime_.compare_exchange_weak(stored, computed, std::memory_order_relaxed)) {
    }
  }

  // Owner of the audio state (construction, suspend, or the audio thread).
  // Both LFOs start rising from their first sample; the filters are clear.
  void initLFO() {
    for (TriangleSweep& lfo : lfo_) lfo.restart();
    for (LadderFilter& filter : filter_) filter.clear();
  }

  // Any thread. The sweep length in samples.
  uint32_t lfoTime() const {
    return static_cast<uint32_t>(lfoTime_.load(std::memory_order_relaxed) & 0xffffffffu);
  }

 private:
  static bool isLaterTicket(uint32_t ticket, uint32_t than) {
    return static_cast<int32_t>(ticket - than) > 0;
  }

  bool sweepsInStep() const {
    return lfo_[0].count() == lfo_[1].count() && lfo_[0].isFalling() == lfo_[1].isFalling() &&
           lfo_[0].lastLength() == lfo_[1].lastLength();
  }

  static bool changed(float before, float after) {
    return std::bit_cast<uint32_t>(before) != std::bit_cast<uint32_t>(after);
  }

  CachedGain<Gain> gainFactor_;
  std::array<TriangleSweep, 2> lfo_{};
  std::array<LadderFilter, 2> filter_{};
  // The sweep length (low half) with the ticket it was computed under
  // (high half): written by parameter writes on any thread, read once per
  // frame by the audio thread.
  std::atomic<uint64_t> lfoTime_{0};
  std::atomic<uint32_t> lengthTickets_{0};
  static_assert(std::atomic<uint64_t>::is_always_lock_free);
};

}  // namespace kqfx
