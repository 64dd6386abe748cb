#pragma once
// The distortion's three waveshaping curves. Each one clamps the shape
// amount ("Zeta") to its own range, shapes the gained sample and mixes the
// result with the dry sample by the wet share ("Blast"). The arithmetic is
// fixed to the bit: products and sums in double, rounded to a 32-bit float
// exactly where the curve says so, 32-bit constants marked `f`.
// Pure functions; audio thread.

#include <cfloat>
#include <cmath>

#include "kqfx/dsp/SignalHelpers.h"

namespace kqfx::shaper {

enum class Curve { Saturate, Squash, Squelch };

// "Type" picks the curve with strict tests against double thresholds, not
// thirds: a "Type" of 0.6666f lies just below the double 0.6666 and so
// still selects Squash.
inline Curve curveFor(float type) {
  if (type > 0.6666) return Curve::Saturate;
  if (type > 0.3333) return Curve::Squash;
  return Curve::Squelch;
}

inline const char* curveName(Curve curve) {
  switch (curve) {
    case Curve::Saturate: return "Saturate";
    case Curve::Squash: return "Squash";
    case Curve::Squelch: break;
  }
  return "Squelch";
}

// The shape amount within a curve's bounds. The toolkit's fmin/fmax, so a
// NaN amount ends up at the lower bound.
inline float clampAmount(float zeta, float lower, float upper) {
  return kqfx::fmax(kqfx::fmin(zeta, upper), lower);
}

// Saturate's sine segment for one shape amount k: sin(w x) / sin(w) with
// w = k pi, which reaches 1 at x = 1/k. Depends on "Zeta" only, so the
// effect can keep it while "Zeta" stands still.
struct SineSegment {
  static constexpr double kPi = 3.141592653589793;

  static SineSegment forZeta(float zeta) {
    SineSegment s;
    s.k = clampAmount(zeta, 0.01f, 0.975f);
    s.w = static_cast<float>(static_cast<double>(s.k) * kPi);
    s.inv = static_cast<float>(1.0 / std::sin(static_cast<double>(s.w)));
    s.e = static_cast<float>(1.0 / static_cast<double>(s.k));
    return s;
  }

  float k = 0.0f;    // clamped shape amount
  float w = 0.0f;    // k pi
  float inv = 0.0f;  // 1 / sin(w)
  float e = 0.0f;    // 1 / k, where the segment reaches its top
};

// A scaled sine segment. Above 1/k it holds at 1; below -1/k the sine goes
// on (the curve is not mirrored). The factor 1 - k lowers the level as the
// shape amount rises.
inline float saturate(float x, const SineSegment& s, float blast) {
  const double b = blast;
  const float m = x > s.e ? 1.0f
                          : static_cast<float>(std::sin(static_cast<double>(s.w) * x) *
                                               static_cast<double>(s.inv));
  return static_cast<float>(((1.0 - b) * x + b * m) * (1.0 - static_cast<double>(s.k)));
}

// A rational soft clipper: x (|x| + k) / (x^2 + (k - 1)|x| + 1). Its
// denominator stays above 3/4 for every k in its range.
inline float squash(float x, float zeta, float blast) {
  const double k = clampAmount(zeta, 0.001f, 0.99f);
  const double b = blast;
  const double dry = x;
  const double magnitude = std::fabs(dry);
  const float s = static_cast<float>(dry * (magnitude + k) /
                                     (std::pow(dry, 2.0) + (k - 1.0) * magnitude + 1.0));
  return static_cast<float>((1.0 - b) * dry + b * static_cast<double>(s));
}

// A rectifying curve of |x| only: the shaped part carries no sign. The mix
// is held within -1..1.
inline float squelch(float x, float zeta, float blast) {
  const double k = clampAmount(zeta, 0.001f, 0.8f);
  const double b = blast;
  // 2|x| saturates at the largest float instead of overflowing to
  // infinity, where the curve below would turn into inf/inf.
  double twice = 2.0 * std::fabs(static_cast<double>(x));
  if (twice > FLT_MAX) twice = FLT_MAX;
  const float a = static_cast<float>(twice);
  const double d = static_cast<double>(a) - k;
  const float c = static_cast<float>(k + d / (1.0 + std::pow(d / (1.0 - k), 2.0)));
  const float y = static_cast<float>((1.0 - b) * x + b * static_cast<double>(c));
  if (y > 1.0f) return 1.0f;
  if (y < -1.0f) return -1.0f;
  return y;
}

// The gained input sample g x as a float. A product too large for a float
// (an extreme gain or sample) saturates at the largest finite float, and an
// infinite gain leaves a zero sample zero, so finite input always reaches
// the curves finite. Non-finite input passes on as it is.
inline float gained(float g, float x) {
  const double product = static_cast<double>(g) * x;
  if (std::fabs(product) <= FLT_MAX) [[likely]] return static_cast<float>(product);
  if (!std::isfinite(x)) return static_cast<float>(product);
  if (x == 0.0f) return x;
  return x > 0.0f ? FLT_MAX : -FLT_MAX;
}

}  // namespace kqfx::shaper
