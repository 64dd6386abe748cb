#include "EffectCatalogue.h"

namespace kqfx::lv2 {

const EffectFacts* effectFacts(const std::string& name) {
  static const std::vector<EffectFacts> facts = {
      {"Vardello", {"ReverbPlugin"},
       "Stereo reverb with ten room models and a compressor on the reverberated signal.", nullptr,
       "Model"},
      {"Quistrel", {"LowpassPlugin"},
       "Resonant four-pole low-pass swept by a triangle LFO over 1 to 32 beats of a set tempo.",
       "Two-beat sweep"},
      {"Morvane", {"DelayPlugin"},
       "One-beat echo behind a low cut; the quiet echo changes sides every beat.",
       "Trading echoes"},
      {"Tallisk", {"DelayPlugin"},
       "One-beat echo with depth and spread; the echoes alternate between the sides.",
       "Spread echoes"},
      {"Fennick", {"DistortionPlugin"},
       "Input gain, a waveshaping curve mixed with the dry signal, DC removal and a hard clip.",
       "Warm saturation"},
      {"Grubbel", {"LimiterPlugin"}, "Input gain, then a sample-by-sample hard limiter.",
       "Shaved peaks"},
      {"Pellvo", {"HighpassPlugin", "UtilityPlugin"}, "Input gain, then DC removal.",
       "A little louder"},
  };
  for (const EffectFacts& effect : facts) {
    if (name == effect.name) return &effect;
  }
  return nullptr;
}

}  // namespace kqfx::lv2
