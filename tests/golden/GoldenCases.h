#pragma once
// The fixed render set: each shipped effect under several settings, with
// parameter writes that start glides, a suspend in the middle of a glide,
// both process paths and block sizes from 1 to 4096. Every case renders a
// fixed stretch of deterministic input through the plug-in's shared object
// and reduces each output channel to a 64-bit hash plus a few samples.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kqfx::golden {

enum class Path { Replacing, Adding, Alternating };

// Something that happens before the first block starting at or after `frame`.
struct Event {
  int32_t frame;
  int32_t index;  // parameter index, or kSuspend
  float value;
};
inline constexpr int32_t kSuspend = -1;

struct Case {
  std::string name;
  const char* plugin;
  std::vector<Event> events;  // the writes at frame 0 are the settings
  std::vector<int32_t> blocks;  // block sizes, used in turn
  Path path = Path::Replacing;
  float sampleRate = 44100.0f;
  bool badSamples = false;  // a NaN and infinities in the input
};

// Frames every case renders, and the frames whose exact bits are kept.
inline constexpr int32_t kFrames = 40000;
inline constexpr std::array<int32_t, 4> kProbeFrames{1, 9000, 26000, 39999};

inline const std::vector<int32_t> kMixedBlocks{1, 7, 64, 512, 4096, 333, 2, 1000};
inline const std::vector<int32_t> kHostBlocks{512};

inline std::vector<Case> allCases() {
  std::vector<Case> cases;
  const auto add = [&cases](Case c) { cases.push_back(std::move(c)); };
  // A glide of the given parameter from 5000, a suspend in the middle of
  // it at 12000 and another write at 20000.
  const auto glide = [](int32_t index, float first, float second) {
    return std::vector<Event>{{5000, index, first}, {12000, kSuspend, 0.0f}, {20000, index, second}};
  };
  const auto with = [](std::vector<Event> settings, const std::vector<Event>& more) {
    settings.insert(settings.end(), more.begin(), more.end());
    return settings;
  };

  // Pellvo: input gain.
  add({"Pellvo_default", "Pellvo", {}, kHostBlocks});
  add({"Pellvo_gain_glides_mixed_blocks", "Pellvo", with({{0, 0, 0.8f}}, glide(0, 0.1f, 1.0f)),
       kMixedBlocks});
  add({"Pellvo_adding_block1", "Pellvo", with({{0, 0, 0.3f}}, glide(0, 0.9f, 0.5f)), {1},
       Path::Adding});
  add({"Pellvo_bad_samples_alternating", "Pellvo", glide(0, 0.7f, 0.2f), kMixedBlocks,
       Path::Alternating, 44100.0f, true});

  // Grubbel: input gain and ceiling.
  add({"Grubbel_default", "Grubbel", {}, kHostBlocks});
  add({"Grubbel_low_ceiling_gain_glide", "Grubbel",
       with({{0, 0, 1.0f}, {0, 1, 0.2f}}, glide(0, 0.3f, 0.9f)), kMixedBlocks});
  add({"Grubbel_ceiling_glide_adding", "Grubbel", with({{0, 0, 0.8f}}, glide(1, 0.05f, 0.6f)),
       kMixedBlocks, Path::Adding});
  add({"Grubbel_bad_samples_block4096", "Grubbel", glide(1, 0.3f, 1.0f), {4096},
       Path::Alternating, 44100.0f, true});

  // Fennick: every curve, settled and gliding.
  const std::array<std::pair<const char*, float>, 3> curves{
      {{"Saturate", 0.9f}, {"Squash", 0.5f}, {"Squelch", 0.1f}}};
  for (const auto& [curve, type] : curves) {
    const std::string prefix = std::string("Fennick_") + curve;
    add({prefix + "_settled", "Fennick", {{0, 1, type}, {0, 3, 0.3f}, {0, 2, 0.7f}}, kHostBlocks});
    add({prefix + "_zeta_glide", "Fennick",
         with({{0, 1, type}, {0, 0, 0.8f}}, glide(3, 0.9f, 0.05f)), kMixedBlocks});
    add({prefix + "_blast_gain_glide_adding", "Fennick",
         with({{0, 1, type}, {0, 3, 0.6f}, {3000, 0, 1.0f}}, glide(2, 1.0f, 0.2f)), kMixedBlocks,
         Path::Adding});
    add({prefix + "_bad_samples", "Fennick", {{0, 1, type}, {0, 3, 0.5f}, {0, 0, 0.9f}},
         kMixedBlocks, Path::Alternating, 44100.0f, true});
  }
  add({"Fennick_type_switches", "Fennick",
       {{0, 3, 0.4f}, {4000, 1, 0.5f}, {9000, 1, 0.1f}, {15000, kSuspend, 0.0f},
        {21000, 1, 0.95f}, {30000, 1, 0.6666f}},
       kMixedBlocks, Path::Alternating});

  // The echoes: tempos, gains, their own two parameters, suspend.
  for (const char* echo : {"Morvane", "Tallisk"}) {
    const std::string prefix = echo;
    add({prefix + "_default", echo, {}, kHostBlocks});
    add({prefix + "_fast_tempo_mixed_blocks", echo,
         {{0, 1, 0.9f}, {0, 2, 0.6f}, {0, 3, 0.7f}}, kMixedBlocks});
    add({prefix + "_fast_tempo_adding", echo, {{0, 1, 0.8f}, {0, 2, 0.3f}, {0, 3, 0.5f}},
         kMixedBlocks, Path::Adding});
    add({prefix + "_tempo_glide_suspend", echo,
         with({{0, 1, 1.0f}, {0, 0, 0.7f}}, glide(1, 0.5f, 0.95f)), kMixedBlocks,
         Path::Alternating});
    add({prefix + "_own_parameters_glide", echo,
         with({{0, 1, 0.7f}, {3000, 0, 0.0f}, {6000, 0, 0.6f}}, glide(2, 0.9f, 0.1f)),
         kMixedBlocks});
    add({prefix + "_spread_or_feedback_glide_48k", echo,
         with({{0, 1, 0.85f}}, glide(3, 1.0f, 0.0f)), {1}, Path::Replacing, 48000.0f});
    add({prefix + "_bad_samples", echo, {{0, 1, 0.9f}, {0, 3, 0.5f}}, kMixedBlocks,
         Path::Alternating, 44100.0f, true});
  }

  // Vardello: several rooms, glides of every smoothed control, model
  // changes while the tail sounds.
  for (int model : {0, 2, 3, 6, 9}) {
    const float value = static_cast<float>(model) / 9.0f;
    const std::string prefix = "Vardello_model" + std::to_string(model);
    add({prefix + "_settled", "Vardello", {{0, 3, value}, {0, 1, 0.7f}, {0, 2, 0.3f}},
         kHostBlocks});
    add({prefix + "_brightness_glide_adding", "Vardello",
         with({{0, 3, value}}, glide(2, 0.9f, 0.1f)), kMixedBlocks, Path::Adding});
  }
  add({"Vardello_dry_depth_glides", "Vardello",
       with({{0, 3, 5.0f / 9.0f}, {2000, 1, 1.0f}, {7000, 1, 0.2f}}, glide(0, 0.9f, 0.0f)),
       kMixedBlocks, Path::Alternating});
  add({"Vardello_model_changes", "Vardello",
       {{3000, 3, 1.0f / 9.0f}, {8000, 3, 4.0f / 9.0f}, {12000, kSuspend, 0.0f},
        {16000, 3, 8.0f / 9.0f}, {24000, 3, 7.0f / 9.0f}, {30000, 3, 1.0f}},
       kMixedBlocks});
  add({"Vardello_bad_samples", "Vardello", {{0, 3, 0.0f}, {0, 0, 0.8f}}, kMixedBlocks,
       Path::Alternating, 44100.0f, true});

  // Quistrel: sweeps at several tempos and lengths, resonance, jumps.
  add({"Quistrel_default", "Quistrel", {}, kHostBlocks});
  add({"Quistrel_fast_sweep_resonant", "Quistrel",
       {{0, 1, 1.0f}, {0, 5, 0.8f}, {0, 4, 0.01f}, {0, 3, 0.7f}}, kMixedBlocks});
  add({"Quistrel_sweep_lengths_change", "Quistrel",
       {{0, 1, 0.9f}, {0, 5, 0.5f}, {7000, 2, 0.1f}, {15000, 1, 0.6f}, {18000, kSuspend, 0.0f},
        {25000, 2, 0.0f}, {25000, 1, 1.0f}},
       kMixedBlocks, Path::Alternating});
  add({"Quistrel_cutoff_glides_adding", "Quistrel",
       with({{0, 1, 1.0f}, {0, 5, 0.3f}, {0, 0, 0.8f}}, glide(3, 0.2f, 0.9f)), kMixedBlocks,
       Path::Adding});
  add({"Quistrel_lo_resonance_glides_block1", "Quistrel",
       with({{0, 1, 1.0f}, {4000, 5, 1.0f}}, glide(4, 0.5f, 0.0f)), {1}});
  add({"Quistrel_bad_samples", "Quistrel", {{0, 1, 1.0f}, {0, 5, 0.6f}}, kMixedBlocks,
       Path::Alternating, 44100.0f, true});
  return cases;
}

}  // namespace kqfx::golden
