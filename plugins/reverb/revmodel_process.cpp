// The per-frame work of the reverb engine. Audio thread: no allocation,
// locks, system calls or exceptions; bounded time per frame.

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kqfx/dsp/GainLaw.h"
#include "kqfx/dsp/SignalHelpers.h"
#include "kqfx/dsp/DumbCompressLanes.h"
#include "kqfx/dsp/Lanes.h"
#include "revmodel.h"

namespace kqfx {

namespace {
bool sameBits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }
}  // namespace

void revmodel::processreplace(const float* inputL, const float* inputR, float* outputL,
                              float* outputR, int32_t frames, int32_t stride,
                              SmoothParameter* dryLevel, SmoothParameter* depth,
                              SmoothParameter* brightness) {
  runSmoothed<false>(inputL, inputR, outputL, outputR, frames, stride, dryLevel, depth,
                     brightness);
}

void revmodel::processmix(const float* inputL, const float* inputR, float* outputL, float* outputR,
                          int32_t frames, int32_t stride, SmoothParameter* dryLevel,
                          SmoothParameter* depth, SmoothParameter* brightness) {
  runSmoothed<true>(inputL, inputR, outputL, outputR, frames, stride, dryLevel, depth,
                    brightness);
}

void revmodel::processreplace(const float* inputL, const float* inputR, float* outputL,
                              float* outputR, int32_t frames, const Controls& controls) {
  run<false>(inputL, inputR, outputL, outputR, frames, 1, controls);
}

void revmodel::processmix(const float* inputL, const float* inputR, float* outputL,
                          float* outputR, int32_t frames, const Controls& controls) {
  run<true>(inputL, inputR, outputL, outputR, frames, 1, controls);
}

// A smoother steady at the start of a slice hands out one value for it
// and skips its ticks; a gliding one hands out the values its ticks give.
// Either way every frame reads what ticking once per frame would read.
template <bool Mix>
void revmodel::runSmoothed(const float* inputL, const float* inputR, float* outputL,
                           float* outputR, int32_t frames, int32_t stride,
                           SmoothParameter* dryLevel, SmoothParameter* depth,
                           SmoothParameter* brightness) {
  constexpr int32_t kSlice = 64;
  alignas(16) float values[3][kSlice];
  SmoothParameter* const smoothers[3] = {dryLevel, depth, brightness};
  for (int32_t done = 0; done < frames;) {
    const bool steady = dryLevel->isSteady() && depth->isSteady() && brightness->isSteady();
    // Steady, the rest of the call at once.
    const int32_t length = steady ? frames - done : std::min(frames - done, kSlice);
    Control controls[3];
    for (std::size_t k = 0; k < 3; ++k) {
      if (smoothers[k]->isSteady()) {
        controls[k] = {smoothers[k]->getCurrentValue(), nullptr};
        smoothers[k]->skipTicks(length);
      } else {
        smoothers[k]->nextValues(values[k], length);
        controls[k] = {values[k][0], values[k]};
      }
    }
    const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(done) * stride;
    run<Mix>(inputL + at, inputR + at, outputL + at, outputR + at, length, stride,
             {controls[0], controls[1], controls[2]});
    done += length;
  }
}

// The damping follows the brightness on every frame. update() depends only
// on the stored fields, and every other setter has already run it, so when
// the damping comes out bit for bit as before, running it again would
// change nothing and is skipped.
void revmodel::followBrightness(float brightness) {
  const float newDamp = scaleDamp(inverse(brightness));
  if (sameBits(newDamp, damp)) return;
  damp = newDamp;
  update();
}

// One pow per change of the dry level instead of one per frame; the same
// level always gives the same factor.
float revmodel::dryGainFor(float dryLevel) {
  if (!sameBits(dryLevel, lastDryLevel)) {
    lastDryLevel = dryLevel;
    lastDryGain = ReverbGain::gain2factor(dryLevel);
  }
  return lastDryGain;
}

// Frames from the current delay positions until the first delay line of
// either channel wraps around: within such a stretch every line is read
// and written at its position plus the frame's offset.
int32_t revmodel::framesToWrap() const {
  return std::min({combsLeft.framesToWrap(), combsRight.framesToWrap(),
                   allpassesLeft.framesToWrap(), allpassesRight.framesToWrap()});
}

void revmodel::advance(int32_t frames) {
  combsLeft.advance(frames);
  combsRight.advance(frames);
  allpassesLeft.advance(frames);
  allpassesRight.advance(frames);
}

namespace {

// `frames` (1..4) frames of one channel's audio `step` floats apart, in
// the first lanes; the others 0. Nothing past them is touched.
template <class Lanes>
typename Lanes::Floats loadFour(const float* samples, std::ptrdiff_t step, int32_t frames) {
  if (frames == 4) {
    if (step == 1) return Lanes::load(samples);
    return Lanes::setFloats(samples[0], samples[step], samples[2 * step], samples[3 * step]);
  }
  float some[4] = {samples[0], 0.0f, 0.0f, 0.0f};
  for (int32_t t = 1; t < frames; ++t) some[t] = samples[t * step];
  return Lanes::setFloats(some[0], some[1], some[2], some[3]);
}
template <class Lanes>
void storeFour(float* samples, std::ptrdiff_t step, typename Lanes::Floats value, int32_t frames) {
  if (step == 1 && frames == 4) {
    Lanes::store(samples, value);
    return;
  }
  for (int32_t t = 0; t < frames; ++t) samples[t * step] = Lanes::lane(value, t);
}

}  // namespace

// The frames of one stretch: at most framesToWrap(), so every line is read
// and written at its position plus the frame's offset. They run four at a
// time, the last two or three as a partial four, a last single one alone.
// Unless Steady, each frame reads its dry level, depth and brightness from
// the controls, and a change of brightness changes the comb damping; the
// values of four frames are read before the four are processed, which
// changes nothing, as the audio never feeds back into the controls.
template <class Lanes, bool Mix, bool Steady>
class revmodel::Stretch {
  using Quad = typename Lanes::Quad;

 public:
  // `first`: the stretch's first frame among the frames of `controls`.
  Stretch(revmodel& engine, const FrameSettings& steady, const Controls& controls, int32_t first)
      : engine_(engine),
        steady_(steady),
        controls_(controls),
        first_(first),
        left_(engine.combsLeft),
        right_(engine.combsRight),
        diffuserLeft_(engine.allpassesLeft),
        diffuserRight_(engine.allpassesRight),
        compressor_(engine.compthreshold, engine.compceiling),
        inputScale_(static_cast<double>(engine.inputScale)),
        inputTrim_(static_cast<double>(engine.inputTrim)),
        wetDirect_(static_cast<double>(engine.wetDirect)),
        wetCross_(static_cast<double>(engine.wetCross)),
        dry_(static_cast<double>(engine.dry)),
        outputMakeup_(static_cast<double>(engine.outputMakeup)) {}
  Stretch(const Stretch&) = delete;
  Stretch& operator=(const Stretch&) = delete;

  void run(const float* inputL, const float* inputR, float* outputL, float* outputR,
           int32_t frames, std::ptrdiff_t step) {
    inputL_ = inputL;
    inputR_ = inputR;
    outputL_ = outputL;
    outputR_ = outputR;
    step_ = step;
    int32_t offset = 0;
    for (; offset + 4 <= frames; offset += 4) {
      FrameSettings settings[4];
      if constexpr (!Steady) {
        for (int32_t t = 0; t < 4; ++t) settings[t] = nextFrame(offset + t);
      }
      four<false>(offset, settings, 4);
    }
    // One frame alone costs less than a four; two or three share one.
    if (offset + 1 == frames) {
      frame(offset, Steady ? steady_ : nextFrame(offset));
    } else if (offset < frames) {
      const int32_t live = frames - offset;
      FrameSettings settings[4];
      if constexpr (!Steady) {
        for (int32_t t = 0; t < live; ++t) settings[t] = nextFrame(offset + t);
      }
      four<true>(offset, settings, live);
    }
    left_.finish();
    right_.finish();
  }

 private:
  // What the controls give the frame at `offset`.
  FrameSettings nextFrame(int32_t offset) {
    const int32_t at = first_ + offset;
    FrameSettings s;
    if constexpr (!Mix) s.dryGain = engine_.dryGainFor(controls_.dryLevel.at(at));
    engine_.followBrightness(controls_.brightness.at(at));
    s.depth = controls_.depth.at(at);
    s.damp = engine_.combsLeft.getdamp();
    s.dampComplement = engine_.combsLeft.getdampcomplement();
    return s;
  }

  const FrameSettings& settingsOf(const FrameSettings* settings, std::size_t t) const {
    return Steady ? steady_ : settings[t];
  }
  // Sets lane t of `lanes` to `field` of frame t, in double.
  void laneSettings(const FrameSettings* settings, float FrameSettings::*field,
                    Quad& lanes) const {
    if constexpr (Steady) {
      lanes = Lanes::broadcast(static_cast<double>(steady_.*field));
    } else {
      lanes = Lanes::lanes(static_cast<double>(settings[0].*field),
                          static_cast<double>(settings[1].*field),
                          static_cast<double>(settings[2].*field),
                          static_cast<double>(settings[3].*field));
    }
  }

  // Frames offset..offset+3, lane t frame t, each lane's arithmetic that
  // of frame() in the same order; only the first `live` of them where
  // fewer are left before a wrap or the end of the call (the lanes of
  // the others carry silence and are dropped).
  template <bool Partial>
  void four(int32_t offset, const FrameSettings* settings, int32_t frames) {
    const int32_t live = Partial ? frames : 4;
    const std::ptrdiff_t at = offset * step_;
    const typename Lanes::Floats inL = loadFour<Lanes>(inputL_ + at, step_, live);
    const typename Lanes::Floats inR = loadFour<Lanes>(inputR_ + at, step_, live);
    const Quad inLD = Lanes::widen(inL);
    const Quad inRD = Lanes::widen(inR);
    typename Lanes::Floats input = Lanes::narrow(Lanes::mul(
        Lanes::mul(Lanes::add(inLD, inRD), Lanes::broadcast(inputScale_)),
        Lanes::broadcast(inputTrim_)));
    // A NaN or infinite input sample never enters the delay lines: it would
    // circulate there for ever. The network hears silence instead.
    input = Lanes::bitAnd(input, Lanes::finiteMask(input));

    typename Lanes::Floats netL = left_.processFour(input, offset, [&](std::size_t t) {
      if constexpr (!Steady) left_.setDamping(settings[t].damp, settings[t].dampComplement);
    }, live);
    typename Lanes::Floats netR = right_.processFour(input, offset, [&](std::size_t t) {
      if constexpr (!Steady) right_.setDamping(settings[t].damp, settings[t].dampComplement);
    }, live);
    netL = diffuserLeft_.processFour(netL, offset, live);
    netR = diffuserRight_.processFour(netR, offset, live);

    // Left: netL * wetDirect + netR * wetCross + inL * dry; right the
    // mirror image.
    const Quad netLD = Lanes::widen(netL);
    const Quad netRD = Lanes::widen(netR);
    const Quad wetDirectLanes = Lanes::broadcast(wetDirect_);
    const Quad wetCrossLanes = Lanes::broadcast(wetCross_);
    const Quad dryLanes = Lanes::broadcast(dry_);
    const typename Lanes::Floats sumsL = Lanes::narrow(Lanes::add(
        Lanes::add(Lanes::mul(netLD, wetDirectLanes), Lanes::mul(netRD, wetCrossLanes)),
        Lanes::mul(inLD, dryLanes)));
    const typename Lanes::Floats sumsR = Lanes::narrow(Lanes::add(
        Lanes::add(Lanes::mul(netRD, wetDirectLanes), Lanes::mul(netLD, wetCrossLanes)),
        Lanes::mul(inRD, dryLanes)));
    const int liveBits = (1 << live) - 1;
    if ((Lanes::signBits(Lanes::bitAnd(Lanes::finiteMask(sumsL), Lanes::finiteMask(sumsR))) &
         liveBits) != liveBits) [[unlikely]] {
      troubledFour(offset, settings, live, inL, inR, netL, netR, sumsL, sumsR);
      return;
    }

    // wet = compressed * depth * make-up, in double.
    Quad depth;
    laneSettings(settings, &FrameSettings::depth, depth);
    const Quad makeup = Lanes::broadcast(outputMakeup_);
    const Quad wetL =
        Lanes::mul(Lanes::mul(Lanes::widen(compressor_.apply(sumsL)), depth), makeup);
    const Quad wetR =
        Lanes::mul(Lanes::mul(Lanes::widen(compressor_.apply(sumsR)), depth), makeup);
    typename Lanes::Floats outL;
    typename Lanes::Floats outR;
    if constexpr (Mix) {
      outL = Lanes::narrow(
          Lanes::add(Lanes::widen(loadFour<Lanes>(outputL_ + at, step_, live)), wetL));
      outR = Lanes::narrow(
          Lanes::add(Lanes::widen(loadFour<Lanes>(outputR_ + at, step_, live)), wetR));
    } else {
      Quad dryGain;
      laneSettings(settings, &FrameSettings::dryGain, dryGain);
      outL = Lanes::narrow(Lanes::add(wetL, Lanes::mul(dryGain, inLD)));
      outR = Lanes::narrow(Lanes::add(wetR, Lanes::mul(dryGain, inRD)));
    }
    storeFour<Lanes>(outputL_ + at, step_, outL, live);
    storeFour<Lanes>(outputR_ + at, step_, outR, live);
  }

  // Four frames of which one at least has a non-finite wet sum, taken
  // frame by frame from their sums as frame() would: such a frame's sums
  // are dropped, and where the network itself overflowed it is cleared
  // and the frames after it run again from the cleared lines (what they
  // wrote into the lines before is cleared with the rest).
  void troubledFour(int32_t offset, const FrameSettings* settings, int32_t live,
                    typename Lanes::Floats inL, typename Lanes::Floats inR,
                    typename Lanes::Floats netL, typename Lanes::Floats netR,
                    typename Lanes::Floats sumsL, typename Lanes::Floats sumsR) {
    alignas(16) float in[2][4];
    alignas(16) float net[2][4];
    alignas(16) float sums[2][4];
    Lanes::store(in[0], inL);
    Lanes::store(in[1], inR);
    Lanes::store(net[0], netL);
    Lanes::store(net[1], netR);
    Lanes::store(sums[0], sumsL);
    Lanes::store(sums[1], sumsR);
    const auto frames = static_cast<std::size_t>(live);
    for (std::size_t t = 0; t < frames; ++t) {
      const int32_t at = offset + static_cast<int32_t>(t);
      const typename Lanes::Doubles inputD =
          Lanes::setDoubles(static_cast<double>(in[0][t]), static_cast<double>(in[1][t]));
      if (std::isfinite(sums[0][t]) && std::isfinite(sums[1][t])) {
        output(at, Lanes::setFloats(sums[0][t], sums[1][t], 0.0f, 0.0f), inputD,
               settingsOf(settings, t));
        continue;
      }
      const bool overflowed = !(std::isfinite(net[0][t]) && std::isfinite(net[1][t]));
      if (overflowed) clearNetwork();
      output(at, Lanes::zeroFloats(), inputD, settingsOf(settings, t));
      if (overflowed) {
        for (std::size_t u = t + 1; u < frames; ++u) {
          frame(offset + static_cast<int32_t>(u), settingsOf(settings, u));
        }
        return;
      }
    }
  }

  // Only absurdly loud input can overflow the network; its lines would
  // then hold infinities for ever, so they start afresh.
  void clearNetwork() {
    engine_.clearNetwork();
    left_.reloadState();
    right_.reloadState();
  }

  // The frame at `offset` alone.
  void frame(int32_t offset, const FrameSettings& s) {
    if constexpr (!Steady) {
      left_.setDamping(s.damp, s.dampComplement);
      right_.setDamping(s.damp, s.dampComplement);
    }
    const std::ptrdiff_t at = offset * step_;
    const float inL = inputL_[at];
    const float inR = inputR_[at];
    float input = static_cast<float>(
        ((static_cast<double>(inL) + static_cast<double>(inR)) * inputScale_) * inputTrim_);
    if (!std::isfinite(input)) [[unlikely]] {
      input = 0.0f;
    }

    const float combSumL = left_.process(input, offset);
    const float combSumR = right_.process(input, offset);
    const typename Lanes::Floats net = AllpassBank::Run<Lanes>::processPair(
        diffuserLeft_, diffuserRight_, Lanes::setFloats(combSumL, combSumR, 0.0f, 0.0f), offset);

    // Lane 0 left, lane 1 right, as in four().
    const typename Lanes::Doubles netD = Lanes::widenLow(net);
    const typename Lanes::Doubles crossed = Lanes::swap(netD);
    const typename Lanes::Doubles inputD = Lanes::setDoubles(static_cast<double>(inL), static_cast<double>(inR));
    const typename Lanes::Doubles sumsD =
        Lanes::add(Lanes::add(Lanes::mul(netD, Lanes::splatDoubles(wetDirect_)),
                              Lanes::mul(crossed, Lanes::splatDoubles(wetCross_))),
                   Lanes::mul(inputD, Lanes::splatDoubles(dry_)));
    typename Lanes::Floats sums = Lanes::narrow(sumsD);
    if ((Lanes::signBits(Lanes::finiteMask(sums)) & 3) != 3) [[unlikely]] {
      // A non-finite sum from the input's own term or from the gains is
      // dropped for this frame alone.
      const float netL = Lanes::lane(net, 0);
      const float netR = Lanes::lane(net, 1);
      if (!(std::isfinite(netL) && std::isfinite(netR))) clearNetwork();
      sums = Lanes::zeroFloats();
    }
    output(offset, sums, inputD, s);
  }

  // The outputs of the frame at `offset` from its wet sums (lane 0 left,
  // lane 1 right) and its input samples.
  void output(int32_t offset, typename Lanes::Floats sums, typename Lanes::Doubles inputD, const FrameSettings& s) {
    const std::ptrdiff_t at = offset * step_;
    const typename Lanes::Doubles wetPair =
        Lanes::mul(Lanes::mul(Lanes::widenLow(compressor_.apply(sums)),
                              Lanes::splatDoubles(static_cast<double>(s.depth))),
                   Lanes::splatDoubles(outputMakeup_));
    typename Lanes::Floats out;
    if constexpr (Mix) {
      const typename Lanes::Floats before = Lanes::interleaveLow(Lanes::loadFirst(outputL_ + at), Lanes::loadFirst(outputR_ + at));
      out = Lanes::narrow(Lanes::add(Lanes::widenLow(before), wetPair));
    } else {
      out = Lanes::narrow(
          Lanes::add(wetPair, Lanes::mul(Lanes::splatDoubles(static_cast<double>(s.dryGain)), inputD)));
    }
    outputL_[at] = Lanes::lane(out, 0);
    outputR_[at] = Lanes::lane(out, 1);
  }

  revmodel& engine_;
  FrameSettings steady_;
  const Controls& controls_;
  int32_t first_;
  CombBank::Run<Lanes> left_;
  CombBank::Run<Lanes> right_;
  AllpassBank::Run<Lanes> diffuserLeft_;
  AllpassBank::Run<Lanes> diffuserRight_;
  DumbCompressLanes<Lanes> compressor_;
  double inputScale_;
  double inputTrim_;
  double wetDirect_;
  double wetCross_;
  double dry_;
  double outputMakeup_;
  const float* inputL_ = nullptr;
  const float* inputR_ = nullptr;
  float* outputL_ = nullptr;
  float* outputR_ = nullptr;
  std::ptrdiff_t step_ = 1;
};

// When no control changes during the call, the values the frames would
// read are read once here: the same dry gain, the same damping
// (followBrightness would find nothing changed after the first frame) and
// the same depth on every frame.
template <class Lanes, bool Mix>
void revmodel::runBlock(const float* inputL, const float* inputR, float* outputL,
                        float* outputR, int32_t frames, std::ptrdiff_t step,
                        const Controls& controls) {
  const bool steady = controls.steady();
  FrameSettings settings;
  if (steady) {
    if constexpr (!Mix) settings.dryGain = dryGainFor(controls.dryLevel.value);
    followBrightness(controls.brightness.value);
    settings.depth = controls.depth.value;
    settings.damp = combsLeft.getdamp();
    settings.dampComplement = combsLeft.getdampcomplement();
  }

  for (int32_t done = 0; done < frames;) {
    const int32_t length = std::min(frames - done, framesToWrap());
    const std::ptrdiff_t at = done * step;
    if (steady) {
      Stretch<Lanes, Mix, true>(*this, settings, controls, done)
          .run(inputL + at, inputR + at, outputL + at, outputR + at, length, step);
    } else {
      Stretch<Lanes, Mix, false>(*this, settings, controls, done)
          .run(inputL + at, inputR + at, outputL + at, outputR + at, length, step);
    }
    advance(length);
    done += length;
  }
}

// The lane path chosen for this engine (setLanePath).
template <bool Mix>
void revmodel::run(const float* inputL, const float* inputR, float* outputL, float* outputR,
                   int32_t frames, std::ptrdiff_t step, const Controls& controls) {
  if (frames <= 0) return;
  switch (path) {
    case LanePath::kWide:
#if KQFX_HAS_X86_LANES
      runWide<Mix>(inputL, inputR, outputL, outputR, frames, step, controls);
      break;
#endif
    case LanePath::kBaseline:
      runOn<BaselineLanes, Mix>(inputL, inputR, outputL, outputR, frames, step, controls);
      break;
    case LanePath::kScalar:
      runOn<ScalarLanes, Mix>(inputL, inputR, outputL, outputR, frames, step, controls);
      break;
  }
}

template <class Lanes, bool Mix>
[[gnu::flatten]] void revmodel::runOn(const float* inputL, const float* inputR, float* outputL,
                                      float* outputR, int32_t frames, std::ptrdiff_t step,
                                      const Controls& controls) {
  runBlock<Lanes, Mix>(inputL, inputR, outputL, outputR, frames, step, controls);
}

#if KQFX_HAS_X86_LANES
// The same operations with four lanes of double per instruction where the
// baseline has two, in the three-operand encoding that spares register
// copies; chosen only where the processor has it.
template <bool Mix>
__attribute__((target("avx"), flatten)) void revmodel::runWide(
    const float* inputL, const float* inputR, float* outputL, float* outputR, int32_t frames,
    std::ptrdiff_t step, const Controls& controls) {
  runBlock<WideLanes, Mix>(inputL, inputR, outputL, outputR, frames, step, controls);
}
#endif

}  // namespace kqfx
