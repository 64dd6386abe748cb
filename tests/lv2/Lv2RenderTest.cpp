// Debian's lv2apply through each LV2 plug-in against `kqfx render` through
// the same LV2 plug-in (by URI, ports set by symbol to their own values)
// and through the VST 2 plug-in at the matching 0..1 values, in blocks of
// one frame as lv2apply runs them: the same samples, bit for bit.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "DescribedPorts.h"
#include "PortLaw.h"

namespace kqfx::lv2 {
const std::vector<const EffectPorts*>& allEffectPorts();
}

namespace {

namespace fs = std::filesystem;
using kqfx::lv2::EffectPorts;

constexpr int kFrames = 30870;  // 0.7 s: echoes at 300 BPM come back

class Lv2Render : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kqfx-lv2-render-" + std::to_string(getpid()));
    fs::create_directories(dir_ / "path");
    // Only our bundle and the LV2 core description: no other plug-in is seen.
    fs::create_directory_symlink(KQFX_LV2_BUNDLE_DIR, dir_ / "path" / "kqfx.lv2");
    if (fs::exists("/usr/lib/lv2/core.lv2")) {
      fs::create_directory_symlink("/usr/lib/lv2/core.lv2", dir_ / "path" / "core.lv2");
    }
    setenv("LV2_PATH", (dir_ / "path").c_str(), 1);
    writeInput();
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Noise, a click, a step and a slow sine, 32-bit float stereo at 44.1 kHz.
  void writeInput() {
    std::vector<float> frames(2 * kFrames);
    uint32_t state = 99u;
    for (int i = 0; i < kFrames; ++i) {
      for (int c = 0; c < 2; ++c) {
        state = state * 1664525u + 1013904223u;
        frames[2 * i + c] = 0.3f * (static_cast<float>(state >> 8) / 16777216.0f - 0.5f) +
                            0.5f * std::sin(0.01f * static_cast<float>(i + 50 * c)) +
                            (i > 3000 ? 0.2f : 0.0f) + (i == 500 ? 0.9f : 0.0f);
      }
    }
    writeWav(input(), frames);
  }

  static void writeWav(const fs::path& path, const std::vector<float>& frames) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_writef_float(file, frames.data(), static_cast<sf_count_t>(frames.size() / 2));
    sf_close(file);
  }

  static std::vector<float> readWav(const fs::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return {};
    std::vector<float> frames(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    return frames;
  }

  static int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

  fs::path input() const { return dir_ / "in.wav"; }

  // Renders one setting both ways and compares; answers whether the
  // effect changed the signal at all.
  bool expectSame(const EffectPorts& effect, const std::vector<DescribedPort>& ports,
                  const std::vector<float>& values, const std::string& setting) {
    SCOPED_TRACE(std::string(effect.name) + ", " + setting);
    std::string lv2 = "lv2apply -i '" + input().string() + "' -o '" + (dir_ / "lv2.wav").string() + "'";
    std::string vst = std::string("'") + KQFX_EXECUTABLE + "' render '" + KQFX_PLUGIN_DIR + "/" +
                      effect.name + ".so' '" + input().string() + "' '" + (dir_ / "vst.wav").string() +
                      "' --block 1 --quiet --glide -y";
    std::string kqfxLv2 = std::string("'") + KQFX_EXECUTABLE + "' render " + effect.uri + " '" +
                          input().string() + "' '" + (dir_ / "kqfx-lv2.wav").string() +
                          "' --block 1 --quiet --glide -y";
    for (std::size_t i = 0; i < ports.size(); ++i) {
      char number[64];
      std::snprintf(number, sizeof number, "%.9g", static_cast<double>(values[i]));
      lv2 += " -c " + ports[i].symbol + " " + number;
      kqfxLv2 += " -p '" + ports[i].symbol + "=" + number + "'";
      std::snprintf(number, sizeof number, "%zu=%.9g", i,
                    static_cast<double>(effect.laws[i].normalizedOf(values[i])));
      vst += std::string(" -p ") + number;
    }
    EXPECT_EQ(run(lv2 + " " + effect.uri), 0) << lv2;
    EXPECT_EQ(run(vst), 0) << vst;
    EXPECT_EQ(run(kqfxLv2), 0) << kqfxLv2;
    const std::vector<float> fromLv2 = readWav(dir_ / "lv2.wav");
    EXPECT_EQ(fromLv2.size(), 2u * kFrames);
    for (const char* other : {"vst.wav", "kqfx-lv2.wav"}) {
      SCOPED_TRACE(other);
      const std::vector<float> fromOther = readWav(dir_ / other);
      if (fromLv2.size() != fromOther.size()) {
        ADD_FAILURE() << "different lengths";
        return false;
      }
      std::size_t differing = 0;
      for (std::size_t i = 0; i < fromLv2.size(); ++i) {
        differing += std::memcmp(&fromLv2[i], &fromOther[i], sizeof(float)) != 0;
      }
      EXPECT_EQ(differing, 0u);
    }
    return fromLv2 != readWav(input());
  }

  fs::path dir_;
};

// Defaults, every port at its minimum, at its maximum, and part-way up
// (a third of a range, the step a third of the way along).
TEST_F(Lv2Render, SameSamplesAsTheVst2PluginAtTheMatchingValues) {
  for (const EffectPorts* effect : kqfx::lv2::allEffectPorts()) {
    const std::vector<DescribedPort> ports = describedPorts(KQFX_LV2_BUNDLE_DIR, effect->uri);
    std::vector<float> defaults, minimums, maximums, partWay;
    for (std::size_t i = 0; i < ports.size(); ++i) {
      const DescribedPort& port = ports[i];
      defaults.push_back(port.defaultValue);
      minimums.push_back(port.minimum);
      maximums.push_back(port.maximum);
      const kqfx::lv2::PortLaw& law = effect->laws[i];
      partWay.push_back(law.shape == kqfx::lv2::PortShape::stepped
                            ? law.steps[law.stepCount / 3].shown
                            : port.minimum + (port.maximum - port.minimum) / 3.0f);
    }
    bool changed = expectSame(*effect, ports, defaults, "defaults");
    changed |= expectSame(*effect, ports, minimums, "minimums");
    changed |= expectSame(*effect, ports, maximums, "maximums");
    changed |= expectSame(*effect, ports, partWay, "part-way");
    EXPECT_TRUE(changed) << effect->name << " left its input unchanged at every setting";
  }
}

}  // namespace
