// The value texts the host shows for parameters: fixed-width numbers of
// eight characters. Digits are truncated, never rounded up, and the
// formatting does not depend on the process locale.

#include <cmath>
#include <cstdio>
#include <cstring>

#include "kqfx/framework/AudioEffect.h"
#include "kqfx/framework/ValueTexts.h"

namespace kqfx {

namespace {

constexpr int kBudget = AudioEffect::kMaxTextLength;

void writeFixed(const char* fixed, char* text) { std::memcpy(text, fixed, kBudget + 1); }

char digitOf(double x) { return static_cast<char>('0' + static_cast<int>(std::trunc(std::fmod(x, 10.0)))); }

int countIntegerDigits(double n) {
  int digits = 1;
  for (n /= 10.0; n >= 1.0; n /= 10.0) ++digits;
  return digits;
}

}  // namespace

void AudioEffect::float2string(float value, char* text) {
  double v = value;
  if (std::isnan(v)) {
    writeFixed(kNotANumberText, text);
    return;
  }
  bool negative = false;
  int used = 0;
  if (v < 0) {
    negative = true;
    v = -v;
    used = 1;
    if (v > 9999999.0) {
      writeFixed(kOverflowText, text);
      return;
    }
  } else if (v > 99999999.0) {
    writeFixed(kOverflowText, text);
    return;
  }

  // Integer part, built from the right. An integer part that fills the
  // whole budget with its sign is written without the decimal point.
  char integer[kBudget + 2];
  int start = kBudget + 1;
  integer[start] = '\0';
  double n = std::floor(v);
  const bool fillsBudget = used + countIntegerDigits(n) >= kBudget;
  if (!fillsBudget) {
    integer[--start] = '.';
    ++used;
  }
  integer[--start] = digitOf(n);
  n /= 10.0;
  ++used;
  while (n >= 1.0 && used < kBudget) {
    integer[--start] = digitOf(n);
    n /= 10.0;
    ++used;
  }
  if (negative) integer[--start] = '-';
  std::memcpy(text, integer + start, static_cast<size_t>(kBudget + 2 - start));
  if (used >= kBudget) return;

  // Fraction digits, produced from the right.
  const int fractionDigits = kBudget - used;
  double m = std::fmod(v, 1.0) * std::pow(10.0, fractionDigits);
  char* fraction = text + std::strlen(text);
  for (int i = fractionDigits - 1; i >= 0; --i) {
    if (m <= 0) {
      fraction[i] = '0';
    } else {
      fraction[i] = digitOf(m);
      m /= 10.0;
    }
  }
  fraction[fractionDigits] = '\0';
}

void AudioEffect::long2string(int32_t value, char* text) {
  if (value > 99999999) {
    writeFixed(kOverflowText, text);
    return;
  }
  char scratch[16];
  std::snprintf(scratch, sizeof scratch, "%7d", static_cast<int>(value));
  scratch[kBudget] = '\0';
  std::memcpy(text, scratch, std::strlen(scratch) + 1);
}

void AudioEffect::dB2string(float value, char* text) {
  if (value <= 0.0f) {
    writeFixed(kMinusInfinityText, text);
    return;
  }
  float2string(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text);
}

void AudioEffect::Hz2string(float samples, char* text) {
  const double rate = getSampleRate();
  if (samples == 0.0f) {
    float2string(0.0f, text);
  } else {
    float2string(static_cast<float>(rate / static_cast<double>(samples)), text);
  }
}

void AudioEffect::ms2string(float samples, char* text) {
  const double rate = getSampleRate();
  float2string(static_cast<float>(static_cast<double>(samples) * 1000.0 / rate), text);
}

}  // namespace kqfx
