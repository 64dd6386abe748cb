// What both beat echoes share, through their shared objects: the beat and
// its delay at every sample rate, the delay memory's length and silence,
// tempos too slow for the memory, recovery from NaN and infinite input,
// and instances and process paths that do not disturb each other.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "EchoProbe.h"
#include "TestPlugins.h"

namespace kqfx {
namespace {

using host::PluginInstance;
using host::PluginLibrary;
using test::EchoEvent;
using test::listen;
using test::onsets;
using test::Path;

// The first echo of a unit impulse at the default settings: the loud side
// and the attenuated one.
struct EchoCase {
  const char* name;
  float full;
  float quiet;
};

void PrintTo(const EchoCase& c, std::ostream* os) { *os << c.name; }

const float kMorvaneFiltered = static_cast<float>(1.0 / static_cast<double>(1.0713587f));
const EchoCase kCases[] = {
    {"Morvane", static_cast<float>(0.33333 * kMorvaneFiltered),
     static_cast<float>(0.33333 * static_cast<float>(kMorvaneFiltered * 0.06999999999999995))},
    {"Tallisk", 0.25f, 0.1875f},
};

// The direct signal of Morvane's filtered impulse has died away by then.
constexpr int64_t kAfterDirect = 2000;
constexpr int64_t kBeatAt44100 = 26460;  // 100 BPM

class BeatEcho : public ::testing::TestWithParam<EchoCase> {
 protected:
  std::unique_ptr<PluginInstance> newInstance() {
    return std::make_unique<PluginInstance>(library);
  }
  EchoEvent leftQuiet(int64_t frame) const { return {frame, GetParam().quiet, GetParam().full}; }
  EchoEvent rightQuiet(int64_t frame) const { return {frame, GetParam().full, GetParam().quiet}; }
  void setSampleRate(float rate) { plugin.dispatch(opSetSampleRate, 0, 0, nullptr, rate); }

  PluginLibrary library{test::pluginPath(GetParam().name)};
  PluginInstance plugin{library};
};

TEST_P(BeatEcho, TheImpulseComesBackOneBeatLaterAttenuatedOnTheLeft) {
  // The side changed in frame 26459, so the left echo is the quiet one.
  const auto events = onsets(listen(plugin, kBeatAt44100 + 100, kAfterDirect));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], leftQuiet(kBeatAt44100));
}

TEST_P(BeatEcho, SuspendMakesMemoryForTheNewSampleRate) {
  setSampleRate(48000.0f);
  plugin.suspend();
  plugin.resume();
  // 600 ms at 48000 Hz, for the side change and the delay alike.
  const auto events = onsets(listen(plugin, 28900, kAfterDirect));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], leftQuiet(28800));
}

TEST_P(BeatEcho, ANewRateBeforeTheNextSwitchOnKeepsTheDelayOfTheMemory) {
  setSampleRate(48000.0f);
  // The delay is one beat in the old memory's samples, while the side
  // changes only after 28800 frames: the right echo is still the quiet one.
  const auto events = onsets(listen(plugin, 28900, kAfterDirect));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], rightQuiet(kBeatAt44100));
}

// The host sequence most hosts use: open, sample rate, block size, switch
// on, no suspend. With "Input Gain" 0 and Morvane's low cut open only the
// echoes sound; from a step of 1 on, the line holds the same value on both
// sides, so the quieter side tells the side change at every frame.
TEST_P(BeatEcho, SwitchedOnAtAnyRateABeatLastsSixtySecondsOverTheTempo) {
  constexpr int64_t kSettled = 16384;  // the glides to the settings are over
  const bool morvane = std::string(GetParam().name) == "Morvane";
  for (const float rate : {22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f}) {
    for (const int bpm : {100, 120}) {
      const auto beat = static_cast<int64_t>(rate) * 60 / bpm;
      auto instance = newInstance();
      instance->start(rate, 512);
      instance->setParameter(0, 0.0f);
      instance->setParameter(1, bpm == 100 ? 0.33333334f : 0.4f);
      if (morvane) instance->setParameter(2, 0.0f);
      const auto events = listen(*instance, kSettled + beat + 2 * beat + 10, 0,
                                 [](int64_t frame) -> std::array<float, 2> {
                                   return frame < kSettled ? std::array<float, 2>{0.0f, 0.0f}
                                                           : std::array<float, 2>{1.0f, 1.0f};
                                 });
      ASSERT_FALSE(events.empty()) << rate << " Hz, " << bpm << " BPM";
      EXPECT_EQ(events[0].frame, kSettled + beat) << rate << " Hz, " << bpm << " BPM";
      std::vector<int64_t> sideChanges;
      for (std::size_t i = 1; i < events.size(); ++i) {
        ASSERT_EQ(events[i].frame, events[i - 1].frame + 1);
        ASSERT_NE(std::fabs(events[i].left), std::fabs(events[i].right));
        const bool leftQuietNow = std::fabs(events[i].left) < std::fabs(events[i].right);
        const bool leftQuietBefore = std::fabs(events[i - 1].left) < std::fabs(events[i - 1].right);
        if (leftQuietNow != leftQuietBefore) sideChanges.push_back(events[i].frame);
      }
      ASSERT_GE(sideChanges.size(), 2u) << rate << " Hz, " << bpm << " BPM";
      for (std::size_t i = 1; i < sideChanges.size(); ++i) {
        EXPECT_EQ(sideChanges[i] - sideChanges[i - 1], beat) << rate << " Hz, " << bpm << " BPM";
      }
    }
  }
}

TEST_P(BeatEcho, SuspendSilencesTheDelayLines) {
  listen(plugin, 1000, 0);
  plugin.suspend();
  EXPECT_TRUE(listen(plugin, 3 * kBeatAt44100, kAfterDirect, test::silence).empty());
}

TEST_P(BeatEcho, BeatsLongerThanTheMemoryAreCutToItsTenSeconds) {
  // 0 becomes 1 BPM; 0.001 is 0.3 BPM, counted as 1 where whole beats per
  // minute are used. Either way the beat outlasts the memory.
  for (float tempo : {0.0f, 0.001f}) {
    auto instance = newInstance();
    instance->setParameter(1, tempo);
    const auto events = onsets(listen(*instance, 441100, kAfterDirect));
    ASSERT_EQ(events.size(), 1u) << tempo;
    // A beat of a minute or more: the side has not changed yet.
    EXPECT_EQ(events[0], rightQuiet(441000)) << tempo;
  }
}

TEST_P(BeatEcho, TheLargestSampleRateGetsTenSecondsOfMemory) {
  setSampleRate(768000.0f);
  plugin.suspend();
  // Just under 3 BPM (2 whole): a beat of 20 s or more, longer than the
  // memory holds.
  plugin.setParameter(1, 0.01f);
  const auto events =
      onsets(listen(plugin, 7680100, 20000, test::unitImpulse, Path::Replacing, 65536));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], rightQuiet(7680000));
}

TEST_P(BeatEcho, BadInputDoesNotCirculate) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  plugin.setParameter(3, 1.0f);  // Morvane: the echoes never decay
  const auto noise = test::noise(4 * kBeatAt44100, 0.5f, 17);
  const auto events =
      listen(plugin, 4 * kBeatAt44100, 0, [&](int64_t frame) -> std::array<float, 2> {
        if (frame == 0) return {nan, inf};
        if (frame == 1) return {-inf, nan};
        return {noise[static_cast<std::size_t>(frame)], noise[static_cast<std::size_t>(frame)]};
      });
  ASSERT_GT(events.size(), 100000u);
  EXPECT_EQ(events[0].frame, 0);
  EXPECT_TRUE(std::isnan(events[0].left));
  for (const EchoEvent& e : events) {
    if (e.frame < 2) continue;
    ASSERT_TRUE(std::isfinite(e.left) && std::isfinite(e.right)) << e;
  }
}

TEST_P(BeatEcho, ZeroFramesChangeNothing) {
  float in[2][1] = {{1.0f}, {1.0f}};
  float out[2][1] = {{0.5f}, {0.5f}};
  float* inputs[2] = {in[0], in[1]};
  float* outputs[2] = {out[0], out[1]};
  plugin.processReplacing(inputs, outputs, 0);
  plugin.process(inputs, outputs, 0);
  plugin.processReplacing(inputs, outputs, -5);
  EXPECT_EQ(out[0][0], 0.5f);
  EXPECT_EQ(out[1][0], 0.5f);
  // The beat has not moved either.
  const auto events = onsets(listen(plugin, kBeatAt44100 + 100, kAfterDirect));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], leftQuiet(kBeatAt44100));
}

// A render of noise through one instance, 2.5 beats at 180 BPM with every
// parameter away from its default.
std::array<std::vector<float>, 2> renderNoise(PluginInstance& plugin, std::size_t frames,
                                              uint32_t seed, Path path, std::size_t block) {
  std::array<std::vector<float>, 2> in{test::noise(frames, 0.8f, seed),
                                       test::noise(frames, 0.8f, seed + 1)};
  std::array<std::vector<float>, 2> out{std::vector<float>(frames), std::vector<float>(frames)};
  for (std::size_t start = 0; start < frames; start += block) {
    const auto n = static_cast<int32_t>(std::min(block, frames - start));
    float* inputs[2] = {in[0].data() + start, in[1].data() + start};
    float* outputs[2] = {out[0].data() + start, out[1].data() + start};
    if (path == Path::Replacing) {
      plugin.processReplacing(inputs, outputs, n);
    } else {
      plugin.process(inputs, outputs, n);
    }
  }
  return out;
}

void configure(PluginInstance& plugin, float tempo) {
  plugin.setParameter(0, 0.7f);
  plugin.setParameter(1, tempo);
  plugin.setParameter(2, 0.4f);
  plugin.setParameter(3, 0.6f);
}

TEST_P(BeatEcho, InstancesSideBySideDoNotDisturbEachOther) {
  constexpr std::size_t kFrames = 40000;
  auto a = newInstance();
  auto b = newInstance();
  configure(*a, 0.6f);
  configure(*b, 0.45f);
  auto aloneA = newInstance();
  auto aloneB = newInstance();
  configure(*aloneA, 0.6f);
  configure(*aloneB, 0.45f);
  const auto expectedA = renderNoise(*aloneA, kFrames, 1, Path::Replacing, kFrames);
  const auto expectedB = renderNoise(*aloneB, kFrames, 2, Path::Replacing, kFrames);
  aloneA.reset();
  aloneB.reset();

  // Interleaved block by block.
  std::array<std::vector<float>, 2> inA{test::noise(kFrames, 0.8f, 1), test::noise(kFrames, 0.8f, 2)};
  std::array<std::vector<float>, 2> inB{test::noise(kFrames, 0.8f, 2), test::noise(kFrames, 0.8f, 3)};
  std::array<std::vector<float>, 2> outA{std::vector<float>(kFrames), std::vector<float>(kFrames)};
  std::array<std::vector<float>, 2> outB = outA;
  for (std::size_t start = 0; start < kFrames; start += 333) {
    const auto n = static_cast<int32_t>(std::min<std::size_t>(333, kFrames - start));
    float* ia[2] = {inA[0].data() + start, inA[1].data() + start};
    float* oa[2] = {outA[0].data() + start, outA[1].data() + start};
    float* ib[2] = {inB[0].data() + start, inB[1].data() + start};
    float* ob[2] = {outB[0].data() + start, outB[1].data() + start};
    a->processReplacing(ia, oa, n);
    b->processReplacing(ib, ob, n);
  }
  EXPECT_EQ(outA[0], expectedA[0]);
  EXPECT_EQ(outA[1], expectedA[1]);
  EXPECT_EQ(outB[0], expectedB[0]);
  EXPECT_EQ(outB[1], expectedB[1]);
}

TEST_P(BeatEcho, BothPathsAdvanceTheStateAlike) {
  // At a tempo of whole beats per minute (150) both paths keep the same
  // beat, so a run that starts adding and goes on replacing sounds like
  // one that always replaced.
  constexpr std::size_t kHalf = 30000;
  auto mixed = newInstance();
  auto replacing = newInstance();
  configure(*mixed, 0.5f);
  configure(*replacing, 0.5f);
  renderNoise(*mixed, kHalf, 5, Path::Adding, 512);
  renderNoise(*replacing, kHalf, 5, Path::Replacing, 512);
  const auto a = renderNoise(*mixed, kHalf, 6, Path::Replacing, 512);
  const auto b = renderNoise(*replacing, kHalf, 6, Path::Replacing, 512);
  EXPECT_EQ(a[0], b[0]);
  EXPECT_EQ(a[1], b[1]);
}

TEST_P(BeatEcho, AddingInPlaceEqualsAddingToACopyOfTheInput) {
  constexpr std::size_t kFrames = 40000;
  auto separate = newInstance();
  configure(*separate, 0.6f);
  configure(plugin, 0.6f);
  std::array<std::vector<float>, 2> in{test::noise(kFrames, 0.8f, 8), test::noise(kFrames, 0.8f, 9)};
  std::array<std::vector<float>, 2> out = in;
  std::array<std::vector<float>, 2> shared = in;
  for (std::size_t start = 0; start < kFrames; start += 512) {
    const auto n = static_cast<int32_t>(std::min<std::size_t>(512, kFrames - start));
    float* inputs[2] = {in[0].data() + start, in[1].data() + start};
    float* outputs[2] = {out[0].data() + start, out[1].data() + start};
    float* both[2] = {shared[0].data() + start, shared[1].data() + start};
    separate->process(inputs, outputs, n);
    plugin.process(both, both, n);
  }
  EXPECT_NE(out[0], in[0]);
  EXPECT_EQ(shared[0], out[0]);
  EXPECT_EQ(shared[1], out[1]);
}

INSTANTIATE_TEST_SUITE_P(Echoes, BeatEcho, ::testing::ValuesIn(kCases), test::PluginNamePrinter());

}  // namespace
}  // namespace kqfx
