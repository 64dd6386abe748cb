// Every control port as a host reads it from the bundle, against the VST 2
// plug-in's own value texts: for every port value a user can choose (each
// whole number, each choice, a fine sweep of a continuous range), the
// value the adapter hands the effect makes the effect show that value.

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "DescribedPorts.h"
#include "PortLaw.h"
#include "kqfx/host/PluginInstance.h"
#include "kqfx/host/PluginLibrary.h"

namespace kqfx::lv2 {
const std::vector<const EffectPorts*>& allEffectPorts();
}

namespace {

using kqfx::lv2::EffectPorts;

std::string trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

struct Vst {
  explicit Vst(const std::string& name)
      : library(std::string(KQFX_PLUGIN_DIR) + "/" + name + ".so"), instance(library) {
    instance.start(44100.0f, 512);
  }
  std::string textAt(int32_t index, float normalized) {
    instance.setParameter(index, normalized);
    return trim(instance.parameterDisplay(index));
  }
  kqfx::host::PluginLibrary library;
  kqfx::host::PluginInstance instance;
};

// A continuous port's value against the text: within two of the text's
// last digits (texts are cut, not rounded) and two steps of a 0..1 float
// (the nearest value the effect can take), or a scale point's label.
void expectShows(const DescribedPort& port, float value, const std::string& text) {
  char* end = nullptr;
  const double shown = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isdigit(static_cast<unsigned char>(text.back()))) {
    bool labelled = false;
    for (const auto& [point, label] : port.scalePoints) labelled |= point == value && label == text;
    EXPECT_TRUE(labelled) << port.name << " at " << value << " shows \"" << text << "\"";
    return;
  }
  const std::size_t dot = text.find('.');
  const double digit = dot == std::string::npos ? 1.0 : std::pow(10.0, -static_cast<double>(text.size() - dot - 1));
  const double floatSteps = std::ldexp(static_cast<double>(port.maximum) - port.minimum, -22);
  EXPECT_NEAR(shown, value, 2.0 * digit + floatSteps) << port.name << " shows \"" << text << "\"";
}

TEST(Lv2PortText, EveryPortValueIsWhatTheEffectShows) {
  for (const EffectPorts* effect : kqfx::lv2::allEffectPorts()) {
    const std::vector<DescribedPort> ports = describedPorts(KQFX_LV2_BUNDLE_DIR, effect->uri);
    Vst vst(effect->name);
    ASSERT_EQ(static_cast<int32_t>(ports.size()), vst.instance.numParams()) << effect->name;
    ASSERT_EQ(effect->parameterCount, vst.instance.numParams()) << effect->name;
    for (int32_t i = 0; i < effect->parameterCount; ++i) {
      const DescribedPort& port = ports[i];
      const kqfx::lv2::PortLaw& law = effect->laws[i];
      const auto textOf = [&](float value) { return vst.textAt(i, law.normalizedOf(value)); };
      SCOPED_TRACE(std::string(effect->name) + " " + port.name);
      EXPECT_EQ(port.name, vst.instance.parameterName(i));
      // Default and ends: what the effect shows at its initial value, 0 and 1.
      const std::string initialText = trim(vst.instance.parameterDisplay(i));
      EXPECT_EQ(textOf(port.defaultValue), initialText);
      EXPECT_EQ(textOf(port.minimum), vst.textAt(i, 0.0f));
      EXPECT_EQ(textOf(port.maximum), vst.textAt(i, 1.0f));
      if (port.enumeration) {
        ASSERT_FALSE(port.scalePoints.empty());
        for (const auto& [value, label] : port.scalePoints) {
          const std::string text = textOf(value);
          if (port.integer) {
            EXPECT_EQ(text, label);
          } else {
            EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
          }
        }
      } else if (port.integer) {
        for (float value = port.minimum; value <= port.maximum; value += 1.0f) {
          EXPECT_EQ(textOf(value), std::to_string(static_cast<int>(value)));
        }
      } else {
        constexpr int kSweep = 4000;
        for (int k = 0; k <= kSweep; ++k) {
          const float value = static_cast<float>(port.minimum + (static_cast<double>(port.maximum) - port.minimum) * k / kSweep);
          expectShows(port, value, textOf(value));
        }
      }
    }
  }
}

}  // namespace
