// The LV2 plug-ins through their own boundary, as a host drives them:
// refusals at instantiation, ports left unconnected, runs of any length,
// in-place buffers and NaN in a control port.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Lv2Library.h"
#include "PortLaw.h"

namespace kqfx::lv2 {
const std::vector<const EffectPorts*>& allEffectPorts();
}

namespace {

using kqfx::lv2::EffectPorts;
using kqfx::lv2::kAudioPortCount;

constexpr uint32_t kFrames = 512;

std::string libraryPath(const EffectPorts& effect) {
  return std::string(KQFX_LV2_BUNDLE_DIR) + "/" + effect.name + ".so";
}

// A test signal with a step, a click and noise on both channels.
std::vector<float> signal(uint32_t channel) {
  std::vector<float> samples(kFrames);
  uint32_t state = 12345u + channel;
  for (uint32_t i = 0; i < kFrames; ++i) {
    state = state * 1664525u + 1013904223u;
    samples[i] = static_cast<float>(state >> 8) / 16777216.0f - 0.5f + (i > 100 ? 0.3f : 0.0f);
  }
  samples[200] = 0.99f;
  return samples;
}

struct Instance {
  Instance(const LV2_Descriptor* d, double rate, const LV2_Feature* const* features)
      : descriptor(d), handle(d->instantiate(d, rate, "/nowhere/", features)) {}
  ~Instance() {
    if (handle != nullptr) descriptor->cleanup(handle);
  }
  const LV2_Descriptor* descriptor;
  LV2_Handle handle;
};

// Control values away from the defaults: a third of the way up each range.
std::vector<float> controlsFor(const EffectPorts& effect) {
  std::vector<float> values;
  for (int32_t i = 0; i < effect.parameterCount; ++i) {
    const kqfx::lv2::PortLaw& law = effect.laws[i];
    if (law.shape == kqfx::lv2::PortShape::stepped) {
      values.push_back(law.steps[law.stepCount / 3].shown);
    } else {
      values.push_back(static_cast<float>(law.minimum + (law.offset + law.scale - law.minimum) / 3.0));
    }
  }
  return values;
}

TEST(Lv2Instance, RefusesRatesTheEffectWouldNotTakeAndIgnoresUnknownFeatures) {
  for (const EffectPorts* effect : kqfx::lv2::allEffectPorts()) {
    Lv2Library library(libraryPath(*effect));
    const LV2_Descriptor* descriptor = library.descriptor(0);
    ASSERT_NE(descriptor, nullptr);
    EXPECT_STREQ(descriptor->URI, effect->uri);
    EXPECT_EQ(library.descriptor(1), nullptr);
    for (double rate : {0.0, -44100.0, std::nan(""), HUGE_VAL, 1.0e7}) {
      EXPECT_EQ(Instance(descriptor, rate, nullptr).handle, nullptr) << effect->name << " " << rate;
    }
    int data = 0;
    const LV2_Feature unknown{"urn:kqfx:test:no-such-feature", &data};
    const LV2_Feature* features[] = {&unknown, nullptr};
    Instance instance(descriptor, 48000.0, features);
    ASSERT_NE(instance.handle, nullptr) << effect->name;
    // Nothing connected, then only the outputs: no crash, silence out.
    descriptor->activate(instance.handle);
    descriptor->run(instance.handle, 0);
    descriptor->run(instance.handle, 64);
    std::vector<float> left(64, 1.0f);
    std::vector<float> right(64, 1.0f);
    descriptor->connect_port(instance.handle, 2, left.data());
    descriptor->connect_port(instance.handle, 3, right.data());
    descriptor->connect_port(instance.handle, 99, left.data());
    descriptor->run(instance.handle, 64);
    EXPECT_EQ(left, std::vector<float>(64, 0.0f)) << effect->name;
    EXPECT_EQ(right, std::vector<float>(64, 0.0f)) << effect->name;
    // Cleaned up while still active.
  }
}

// One instance runs the signal out of place in one call; another runs it
// in place in runs of 0, 1 and odd lengths, and sees NaN written to every
// control port half-way. Both give the same samples, bit for bit.
TEST(Lv2Instance, InPlaceRunsOfAnyLengthAndNaNControlsChangeNothing) {
  for (const EffectPorts* effect : kqfx::lv2::allEffectPorts()) {
    Lv2Library library(libraryPath(*effect));
    const LV2_Descriptor* descriptor = library.descriptor(0);
    std::vector<float> controlsA = controlsFor(*effect);
    std::vector<float> controlsB = controlsA;
    Instance a(descriptor, 44100.0, nullptr);
    Instance b(descriptor, 44100.0, nullptr);
    ASSERT_NE(a.handle, nullptr);
    ASSERT_NE(b.handle, nullptr);
    for (int32_t i = 0; i < effect->parameterCount; ++i) {
      descriptor->connect_port(a.handle, kAudioPortCount + i, &controlsA[i]);
      descriptor->connect_port(b.handle, kAudioPortCount + i, &controlsB[i]);
    }
    std::vector<float> inL = signal(0);
    std::vector<float> inR = signal(1);
    std::vector<float> outL(kFrames);
    std::vector<float> outR(kFrames);
    descriptor->connect_port(a.handle, 0, inL.data());
    descriptor->connect_port(a.handle, 1, inR.data());
    descriptor->connect_port(a.handle, 2, outL.data());
    descriptor->connect_port(a.handle, 3, outR.data());
    descriptor->activate(a.handle);
    descriptor->run(a.handle, kFrames);

    std::vector<float> left = signal(0);
    std::vector<float> right = signal(1);
    descriptor->activate(b.handle);
    uint32_t done = 0;
    for (uint32_t length : {0u, 1u, 1u, 0u, 7u, 100u, 3u, 200u, 1u}) {
      for (uint32_t port = 0; port < kAudioPortCount; ++port) {
        float* buffer = (port % 2 == 0 ? left.data() : right.data()) + done;
        descriptor->connect_port(b.handle, port, buffer);
      }
      descriptor->run(b.handle, length);
      done += length;
      if (done > kFrames / 2) {
        for (float& value : controlsB) value = std::nanf("");
      }
    }
    for (uint32_t port = 0; port < kAudioPortCount; ++port) {
      descriptor->connect_port(b.handle, port, (port % 2 == 0 ? left.data() : right.data()) + done);
    }
    descriptor->run(b.handle, kFrames - done);
    descriptor->deactivate(b.handle);
    EXPECT_EQ(0, std::memcmp(left.data(), outL.data(), kFrames * sizeof(float))) << effect->name;
    EXPECT_EQ(0, std::memcmp(right.data(), outR.data(), kFrames * sizeof(float))) << effect->name;
    EXPECT_NE(outL, signal(0)) << effect->name << " left its input unchanged";
  }
}

}  // namespace
