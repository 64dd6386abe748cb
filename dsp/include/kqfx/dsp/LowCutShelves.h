#pragma once
// The 24 shelves of the low cut: a corner frequency (as a fraction of
// 20 kHz, falling, ending with 0) and the two coefficients of the one-pole
// high-pass at that corner. The last shelf (coefficients 1 and 1) passes
// its input unchanged. The same values are exported as FREQUENCIES,
// GAIN_COEFFICIENTS and Y_COEFFICIENTS. The filter itself runs in
// EchoLanes.h. Pure data and functions; any thread.

#include <array>

#define KQFX_SHELF_FREQUENCIES                                                            \
  0.75f, 0.6f, 0.5f, 0.45f, 0.4f, 0.35f, 0.3f, 0.25f, 0.2f, 0.15f, 0.125f, 0.1f, 0.075f,  \
      0.05f, 0.045f, 0.04f, 0.035f, 0.03f, 0.025f, 0.02f, 0.015f, 0.01f, 0.005f, 0.0f

#define KQFX_SHELF_GAIN_COEFFICIENTS                                                      \
  2.8208363f, 2.1495411f, 1.8636743f, 1.7463194f, 1.6408323f, 1.5445709f, 1.4555112f,     \
      1.3720589f, 1.2929232f, 1.217028f, 1.180002f, 1.1434478f, 1.1072655f, 1.0713587f,   \
      1.0642022f, 1.0570521f, 1.0499079f, 1.0427688f, 1.035634f, 1.028503f, 1.0213746f,   \
      1.0142486f, 1.007124f, 1.0f

#define KQFX_SHELF_Y_COEFFICIENTS                                                         \
  0.2909904f, 0.06956889f, 0.07314893f, 0.14526586f, 0.2188936f, 0.29485795f, 0.3740877f, \
      0.45766342f, 0.54688233f, 0.6433475f, 0.69491243f, 0.74909604f, 0.8062516f,         \
      0.86678845f, 0.8793422f, 0.89205426f, 0.9049289f, 0.91797066f, 0.9311841f,          \
      0.944574f, 0.9581454f, 0.97190326f, 0.98585296f, 1.0f

namespace kqfx {

inline constexpr int kShelfCount = 24;
inline constexpr std::array<float, kShelfCount> kShelfFrequencies{KQFX_SHELF_FREQUENCIES};
inline constexpr std::array<float, kShelfCount> kShelfGainCoefficients{
    KQFX_SHELF_GAIN_COEFFICIENTS};
inline constexpr std::array<float, kShelfCount> kShelfYCoefficients{KQFX_SHELF_Y_COEFFICIENTS};

// The shelf of a "Cutoff" value: the first whose frequency the value
// reaches. Every value from 0 up finds one; values below 0 take the last,
// unfiltered shelf as 0 does.
int shelfIndex(float value);

}  // namespace kqfx
