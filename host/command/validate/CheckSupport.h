#pragma once
// Small pieces the checks share.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "Check.h"
#include "PluginRig.h"
#include "SampleScan.h"

namespace kqfx::command::validate {

// A random parameter value in 0..1.
inline float randomUnit(std::mt19937_64& random) {
  return static_cast<float>(std::uniform_real_distribution<double>(0.0, 1.0)(random));
}

// Sets every parameter to a random value in 0..1.
inline void randomizeParameters(PluginRig& rig, std::mt19937_64& random) {
  for (int32_t p = 0; p < rig.numParams(); ++p) rig.setParameter(p, randomUnit(random));
}

// Hosts automate a few parameters at a time: sets up to this many before
// a call, taking the automatable parameters in turn from `next`.
constexpr int32_t kMovedAtOnce = 16;
inline void moveSomeParameters(PluginRig& rig, std::mt19937_64& random, int32_t& next) {
  const int32_t count = rig.numParams();
  int32_t moved = 0;
  for (int32_t tried = 0; tried < count && moved < kMovedAtOnce; ++tried) {
    if (rig.automatable(next)) {
      rig.setParameter(next, randomUnit(random));
      ++moved;
    }
    next = (next + 1) % count;
  }
}

// "1.25 s" for a frame count at a rate.
inline std::string secondsText(int64_t frames, double sampleRate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g s", static_cast<double>(frames) / sampleRate);
  return text;
}

// Processes `frames` frames of noise (amplitude 0.5) in blocks of `block`,
// counting what comes out.
inline void renderNoise(PluginRig& rig, Noise& noise, int64_t frames, int32_t block,
                        SampleCounts& counts, int64_t& at, bool inPlace = false) {
  while (frames > 0) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(frames, block));
    rig.fillNoise(noise, n, 0.5f);
    rig.process(n, inPlace);
    rig.scan(counts, n, at);
    at += n;
    frames -= n;
  }
}

// The plug-in's own parameter name, or its index when it gives none.
inline std::string parameterCalled(PluginRig& rig, int32_t index) {
  const std::string name = rig.parameterName(index);
  return "parameter " + std::to_string(index) + (name.empty() ? "" : " (" + name + ")");
}

// Whether there is a display to open editors on.
inline bool displayAvailable() {
  const char* display = std::getenv("DISPLAY");
  return display && *display;
}

// The most parameters the checks walk through; plug-ins with thousands
// would make every check crawl.
constexpr int32_t kMaxCheckedParameters = 512;

inline int32_t checkedParameterCount(PluginRig& rig) {
  return std::min(rig.numParams(), kMaxCheckedParameters);
}

}  // namespace kqfx::command::validate
