// One row per effect. The demo signal runs at 120 beats per minute: a
// tempo parameter (0..1 for 0..300 beats per minute) matches it at 0.4.
#include "DemoPresets.h"

namespace kqfx::command {

const std::vector<DemoPreset>& demoPresets() {
  static const std::vector<DemoPreset> presets = {
      // 2.4 dB louder, with the DC filter's gentle low cut; the loudest
      // peaks stay below full scale.
      {"Pellvo", {{"Input Gain", 0.55f}}, 0.0},
      // Driven into a ceiling 6 dB down: the drum peaks are shaved flat.
      {"Grubbel", {{"Input Gain", 0.6f}, {"Limit", 0.5f}}, 0.0},
      // A long hall about 11 dB under the dry signal, left to ring out.
      {"Vardello",
       {{"Dry Level", 0.5f}, {"Depth", 0.6f}, {"Brightness", 0.6f}, {"Model", 0.35f}},
       3.0},
      // A sweep over two beats between 8000 and 400 Hz with a singing peak.
      {"Quistrel",
       {{"Input Gain", 0.5f},
        {"Tempo", 0.4f},
        {"Every n", 0.05f},
        {"Cutoff (Hi)", 0.4f},
        {"Cutoff (Lo)", 0.02f},
        {"Resonance", 0.65f}},
       0.0},
      // Beat echoes behind a 200 Hz low cut, trading sides.
      {"Morvane", {{"Input Gain", 0.5f}, {"Tempo", 0.4f}, {"Cutoff", 0.012f}, {"Feedback", 0.45f}},
       3.0},
      // Beat echoes spread across the stereo field.
      {"Tallisk", {{"Input Gain", 0.5f}, {"Tempo", 0.4f}, {"Depth", 0.5f}, {"Spread", 0.6f}}, 2.0},
      // Warm sine saturation: louder peaks are rounded off smoothly.
      {"Fennick", {{"Input Gain", 0.65f}, {"Type", 1.0f}, {"Blast", 0.8f}, {"Zeta", 0.3f}}, 0.0},
  };
  return presets;
}

}  // namespace kqfx::command
