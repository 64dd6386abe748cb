#include "revmodel.h"

#include <cstddef>

#include "kqfx/dsp/GainLaw.h"

namespace kqfx {

namespace {
// Scalings between the setters' values and the stored fields. Float
// constants; the arithmetic runs in double and is rounded once.
constexpr float kRoomScale = 0.28f;
constexpr float kRoomOffset = 0.7f;
constexpr float kDampScale = 0.4f;
constexpr float kWetScale = 3.0f;
constexpr float kDryScale = 2.0f;
constexpr float kInputScale = 0.015f;
constexpr float kFreezeThreshold = 0.5f;
constexpr float kAllpassFeedback = 0.5f;

float rounded(double value) { return static_cast<float>(value); }
}  // namespace

revmodel::revmodel() {
  setLanePath(chooseLanePath());
  float* next = memory.data();
  for (std::size_t i = 0; i < kCombs; ++i) {
    combsLeft.setbuffer(static_cast<int32_t>(i), next, kCombLengths[i]);
    next += kCombLengths[i];
    combsRight.setbuffer(static_cast<int32_t>(i), next, kCombLengths[i] + kStereoSpread);
    next += kCombLengths[i] + kStereoSpread;
  }
  for (int32_t i = 0; i < kAllpasses; ++i) {
    const int32_t length = kAllpassLengths[static_cast<std::size_t>(i)];
    allpassesLeft.setbuffer(i, next, length);
    next += length;
    allpassesRight.setbuffer(i, next, length + kStereoSpread);
    next += length + kStereoSpread;
  }
  for (int32_t i = 0; i < kAllpasses; ++i) {
    allpassesLeft[i].setfeedback(kAllpassFeedback);
    allpassesRight[i].setfeedback(kAllpassFeedback);
  }
  inputTrim = ReverbGain::gain2factor(kInputTrimLevel);
  outputMakeup = ReverbGain::gain2factor(kOutputMakeupLevel);
  lastDryLevel = 0.5f;
  lastDryGain = ReverbGain::gain2factor(lastDryLevel);

  setwet(1.0f / 3.0f);
  setroomsize(0.5f);
  setdry(0.0f);
  setdamp(0.5f);
  setwidth(1.0f);
  setcompthreshold(1.0f);
  setcompceiling(1.0f);
  setmode(0.0f);
  mute();
}

void revmodel::setLanePath(LanePath lanes) {
  path = lanes == LanePath::kWide && !wideLanesAvailable() ? LanePath::kBaseline : lanes;
}

void revmodel::mute() {
  if (getmode() >= kFreezeThreshold) return;
  combsLeft.mute();
  combsRight.mute();
  allpassesLeft.mute();
  allpassesRight.mute();
}

void revmodel::clearNetwork() {
  combsLeft.clear();
  combsRight.clear();
  allpassesLeft.mute();
  allpassesRight.mute();
}

void revmodel::update() {
  wetDirect = rounded(static_cast<double>(wet) * (static_cast<double>(width) * 0.5 + 0.5));
  wetCross = rounded(static_cast<double>(wet) * ((1.0 - static_cast<double>(width)) * 0.5));
  if (mode >= kFreezeThreshold) {
    activeRoomsize = 1.0f;
    activeDamp = 0.0f;
    inputScale = 0.0f;
  } else {
    activeRoomsize = roomsize;
    activeDamp = damp;
    inputScale = kInputScale;
  }
  combsLeft.setfeedback(activeRoomsize);
  combsRight.setfeedback(activeRoomsize);
  combsLeft.setdamp(activeDamp);
  combsRight.setdamp(activeDamp);
}

float revmodel::scaleDamp(float value) { return rounded(static_cast<double>(value) * kDampScale); }

void revmodel::setroomsize(float value) {
  roomsize = rounded(static_cast<double>(value) * kRoomScale + kRoomOffset);
  update();
}
float revmodel::getroomsize() const {
  return rounded((static_cast<double>(roomsize) - kRoomOffset) / kRoomScale);
}

void revmodel::setdamp(float value) {
  damp = scaleDamp(value);
  update();
}
float revmodel::getdamp() const { return rounded(static_cast<double>(damp) / kDampScale); }

void revmodel::setwet(float value) {
  wet = rounded(static_cast<double>(value) * kWetScale);
  update();
}
float revmodel::getwet() const { return rounded(static_cast<double>(wet) / kWetScale); }

void revmodel::setdry(float value) { dry = rounded(static_cast<double>(value) * kDryScale); }
float revmodel::getdry() const { return rounded(static_cast<double>(dry) * 0.5); }

void revmodel::setwidth(float value) {
  width = value;
  update();
}
float revmodel::getwidth() const { return width; }

void revmodel::setcompthreshold(float value) {
  compthreshold = value;
  update();
}
float revmodel::getcompthreshold() const { return compthreshold; }

void revmodel::setcompceiling(float value) {
  compceiling = value;
  update();
}
float revmodel::getcompceiling() const { return compceiling; }

void revmodel::setmode(float value) {
  mode = value;
  update();
}
float revmodel::getmode() const { return mode >= kFreezeThreshold ? 1.0f : 0.0f; }

}  // namespace kqfx
