#pragma once
// The value text of a gain parameter shown in decibels ("Input Gain",
// "Dry Level"): 20 log10 of the factor the effect applies, which is twice
// the law's gain2display figure, or "-inf" where the factor applied is 0.
// Host thread.

#include <cstring>

#include "kqfx/framework/AudioEffect.h"

namespace kqfx {

inline constexpr const char* kSilentGainText = "-inf";

template <class Gain>
void writeGainText(AudioEffect& effect, float value, char* text) {
  if (Gain::gain2factor(value) == 0.0f) {
    std::strcpy(text, kSilentGainText);
  } else {
    effect.float2string(Gain::gain2decibels(value), text);
  }
}

}  // namespace kqfx
