#pragma once
// Quistrel: each channel through a resonant four-pole low-pass whose
// cutoff a triangle LFO sweeps between "Cutoff (Lo)" and "Cutoff (Hi)".
// One sweep (half a cycle) lasts "Every n" beats of "Tempo"; the tempo is
// a parameter, never asked of the host.

#include <array>
#include <atomic>
#include <cstdint>

#include "kqfx/dsp/GainLaw.h"
#include "kqfx/dsp/LadderFilter.h"
#include "kqfx/dsp/SweepLength.h"
#include "kqfx/dsp/TriangleSweep.h"
#include "kqfx/plugin/GainText.h"
#include "kqfx/plugin/StereoEffect.h"

namespace kqfx {

class Quistrel final : public StereoEffect<Quistrel, 6, StandardGain> {
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

  // Audio thread. The sweep's positions for the chunk first, then each
  // frame's filter step from them (the cutoffs and the resonance read once
  // while steady), then both filters, which only wait for their own
  // arithmetic. One sweep stands for both channels: they start together
  // and take the same steps. A write of "Tempo" or "Every n" from another
  // thread takes effect from the next chunk on.
  template <class Output>
  void renderChunk(const Chunk& chunk) {
    const int32_t n = chunk.frames;
    const uint32_t length = lfoTime();
    const bool lengthChanged = lfo_.lastLength() != length;
    std::array<float, kChunkFrames> m;
    lfo_.next(length, m.data(), n);
    std::array<LadderFilter::Step, kChunkFrames> steps;
    const ChunkParameter& hi = chunk[kCutoffHi];
    const ChunkParameter& lo = chunk[kCutoffLo];
    const ChunkParameter& resonance = chunk[kResonance];
    if (hi.steady() && lo.steady() && resonance.steady()) {
      const double low = lo.value;
      const double range = static_cast<double>(hi.value) - low;
      for (int32_t j = 0; j < n; ++j) {
        const auto k = static_cast<std::size_t>(j);
        steps[k] = LadderFilter::Step(cutoffAt(m[k], low, range), resonance.value);
      }
    } else {
      for (int32_t j = 0; j < n; ++j) {
        const auto k = static_cast<std::size_t>(j);
        const double low = lo.at(j);
        steps[k] = LadderFilter::Step(cutoffAt(m[k], low, static_cast<double>(hi.at(j)) - low),
                                      resonance.at(j));
      }
    }
    if (chunk.gain.steady()) {
      filterFrames<Output>(chunk, steps.data(), lengthChanged,
                           [g = chunk.gain.value](int32_t) { return g; });
    } else {
      filterFrames<Output>(chunk, steps.data(), lengthChanged,
                           [g = chunk.gain.values](int32_t j) { return g[j]; });
    }
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
  // The sweep starts rising from its first sample; the filters are clear.
  void initLFO() {
    lfo_.restart();
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

  // The cutoff at sweep position m between lo and lo + range.
  static float cutoffAt(float m, double lo, double range) {
    return static_cast<float>(1.16 * (lo + static_cast<double>(m) * range));
  }

  // Both channels through their filters, frame j at steps[j] with input
  // gain factor gainAt(j); the filters held in locals meanwhile. After a
  // change of the sweep length the first frame carries the filters' memory
  // over to its cutoff.
  template <class Output, class GainAt>
  void filterFrames(const Chunk& chunk, const LadderFilter::Step* steps, bool lengthChanged,
                    GainAt gainAt) {
    LadderFilter left = filter_[0];
    LadderFilter right = filter_[1];
    for (int32_t j = 0; j < chunk.frames; ++j) {
      const LadderFilter::Step& step = steps[j];
      if (lengthChanged) {
        left.followCutoffJump(step.cutoff);
        right.followCutoffJump(step.cutoff);
        lengthChanged = false;
      }
      const float g = gainAt(j);
      Output::store(chunk.outL[j], left.process(g * chunk.inL[j], step));
      Output::store(chunk.outR[j], right.process(g * chunk.inR[j], step));
    }
    filter_[0] = left;
    filter_[1] = right;
  }

  // The sweep of both channels.
  TriangleSweep lfo_;
  std::array<LadderFilter, 2> filter_{};
  // The sweep length (low half) with the ticket it was computed under
  // (high half): written by parameter writes on any thread, read once per
  // frame by the audio thread.
  std::atomic<uint64_t> lfoTime_{0};
  std::atomic<uint32_t> lengthTickets_{0};
  static_assert(std::atomic<uint64_t>::is_always_lock_free);
};

}  // namespace kqfx
