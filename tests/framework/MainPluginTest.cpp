// Creating an effect for the host: the version handshake, failures that
// must answer null without leaking, and the shared effect shape.

#include <gtest/gtest.h>

#include <cfenv>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>


#include "FloatControl.h"
#include "RecordingHost.h"
#include "kqfx/framework/PluginEntry.h"
#include "kqfx/plugin/StereoEffect.h"

namespace kqfx {
namespace {

using test::RecordingHost;

int liveEffects = 0;

class CountedEffect : public AudioEffect {
 public:
  explicit CountedEffect(HostCallback callback) : AudioEffect(callback, 1, 0) { ++liveEffects; }
  ~CountedEffect() override { --liveEffects; }
};

class ThrowingEffect : public CountedEffect {
 public:
  explicit ThrowingEffect(HostCallback callback) : CountedEffect(callback) {
    throw std::bad_alloc();
  }
};

TEST(CreateEffect, AsksTheHostVersionWithANullRecord) {
  RecordingHost host;
  bool outOfMemory = false;
  AEffect* e = createEffect<CountedEffect>(RecordingHost::callback, outOfMemory);
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(host.calls.size(), 1u);
  EXPECT_EQ(host.calls[0].effect, nullptr);
  EXPECT_EQ(host.calls[0].opcode, cbVersion);
  EXPECT_EQ(liveEffects, 1);
  EXPECT_EQ(e->dispatcher(e, opClose, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(liveEffects, 0);
}

TEST(CreateEffect, AnswersNullAndBuildsNothingWhenItCannotStart) {
  bool outOfMemory = false;
  EXPECT_EQ(createEffect<CountedEffect>(nullptr, outOfMemory), nullptr);
  {
    RecordingHost host;
    host.answers[cbVersion] = 0;
    EXPECT_EQ(createEffect<CountedEffect>(RecordingHost::callback, outOfMemory), nullptr);
  }
  EXPECT_EQ(liveEffects, 0);
  RecordingHost host;
  EXPECT_EQ(createEffect<ThrowingEffect>(RecordingHost::callback, outOfMemory), nullptr);
  EXPECT_EQ(liveEffects, 0);
  outOfMemory = true;
  EXPECT_EQ(createEffect<CountedEffect>(RecordingHost::callback, outOfMemory), nullptr);
  EXPECT_EQ(liveEffects, 0);
}

// A small effect of the shared shape: output = input * parameter 0.
class ScaleEffect final : public StereoEffect<ScaleEffect, 2> {
 public:
  static constexpr ParameterTable kParameters{{{"Scale", "x", 1.0f, 0}, {"Spare", "", 0.0f}}};
  ScaleEffect() : StereoEffect(nullptr, fourCharCode("TEST"), kParameters) {}
  template <class Output>
  void render(const float* inL, const float* inR, float* outL, float* outR, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
      smoother(0).tick();
      smoother(1).tick();
      const float k = smoother(0).getCurrentValue();
      Output::store(outL[i], inL[i] * k);
      Output::store(outR[i], inR[i] * k);
    }
  }
  void displayValue(int32_t, float target, char* text) { float2string(target, text); }
  void restart() { ++restarts; }
  int restarts = 0;
};

TEST(StereoEffectShape, ProgramNamesAreBoundedToThirtyOneCharacters) {
  ScaleEffect effect;
  AEffect* e = effect.getAeffect();
  char name[64];
  e->dispatcher(e, opGetProgramName, 0, 0, name, 0.0f);
  EXPECT_STREQ(name, "default");
  char longName[] = "a program name that is far longer than thirty-one characters";
  e->dispatcher(e, opSetProgramName, 0, 0, longName, 0.0f);
  std::memset(name, '#', sizeof name);
  e->dispatcher(e, opGetProgramName, 0, 0, name, 0.0f);
  EXPECT_EQ(std::string(name), std::string(longName, 31));
  char shortName[] = "Chorus";
  e->dispatcher(e, opSetProgramName, 0, 0, shortName, 0.0f);
  e->dispatcher(e, opGetProgramName, 0, 0, name, 0.0f);
  EXPECT_STREQ(name, "Chorus");
}

TEST(StereoEffectShape, TextsOfUnknownParametersAreLeftUntouched) {
  ScaleEffect effect;
  AEffect* e = effect.getAeffect();
  for (int32_t opcode : {opGetParameterName, opGetParameterLabel, opGetParameterDisplay}) {
    for (int32_t index : {-1, 2, 1000}) {
      char text[16] = "untouched";
      e->dispatcher(e, opcode, index, 0, text, 0.0f);
      EXPECT_STREQ(text, "untouched");
    }
  }
  EXPECT_EQ(e->getParameter(e, 2), 0.0f);
  EXPECT_EQ(e->getParameter(e, -1), 0.0f);
  e->setParameter(e, 7, 0.3f);  // ignored, no crash
}

TEST(StereoEffectShape, NullBuffersAreIgnored) {
  ScaleEffect effect;
  AEffect* e = effect.getAeffect();
  float left[4] = {1, 1, 1, 1}, right[4] = {1, 1, 1, 1};
  float* good[2] = {left, right};
  float* halfNull[2] = {left, nullptr};
  e->processReplacing(e, nullptr, good, 4);
  e->processReplacing(e, good, nullptr, 4);
  e->processReplacing(e, halfNull, good, 4);
  e->process(e, good, halfNull, 4);
  e->processReplacing(e, good, good, 0);
  e->processReplacing(e, good, good, -5);
  EXPECT_EQ(left[0], 1.0f);
  EXPECT_EQ(right[3], 1.0f);
}

TEST(StereoEffectShape, SuspendStopsGlidesWhereTheyStandAndRestartsTheEffect) {
  ScaleEffect effect;
  AEffect* e = effect.getAeffect();
  e->setParameter(e, 0, 0.5f);  // ramp 0: at once
  e->setParameter(e, 1, 1.0f);  // ramp 16384: glides
  float in[2] = {1, 1}, out[2] = {0, 0};
  float* inputs[2] = {&in[0], &in[1]};
  float* outputs[2] = {&out[0], &out[1]};
  e->processReplacing(e, inputs, outputs, 1);
  EXPECT_EQ(out[0], 0.5f);
  e->dispatcher(e, opSuspendResume, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(effect.restarts, 1);
  EXPECT_EQ(e->getParameter(e, 0), 0.5f);
  EXPECT_EQ(e->getParameter(e, 1), static_cast<float>(1.0 / 16384.0));
}

TEST(ProcessEntry, RestoresTheCallersFloatingPointControlState) {
  ScaleEffect effect;
  AEffect* e = effect.getAeffect();
  float in[2] = {1e-40f, 1e-40f}, out[2] = {1, 1};
  float* inputs[2] = {&in[0], &in[1]};
  float* outputs[2] = {&out[0], &out[1]};
  const uint64_t before = test::floatControl();
  const int rounding = std::fegetround();
  e->processReplacing(e, inputs, outputs, 1);
  EXPECT_EQ(out[0], 0.0f);  // a subnormal input is flushed inside
  e->process(e, inputs, outputs, 1);
  EXPECT_EQ(test::floatControl(), before);
  EXPECT_EQ(std::fegetround(), rounding);
  // Whatever mode the host runs in comes back unchanged.
  test::setFloatControl(before | test::kFlushBits);
  e->processReplacing(e, inputs, outputs, 1);
  EXPECT_EQ(test::floatControl(), before | test::kFlushBits);
  test::setFloatControl(before);
}

}  // namespace
}  // namespace kqfx
