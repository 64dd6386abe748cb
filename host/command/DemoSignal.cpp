#include "DemoSignal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kqfx::command {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// Noise that is the same on every run: each sound has its own seed.
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed * 2654435761u + 12345u) {}
  double next() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<double>(state_ >> 8) / 8388608.0 - 1.0;
  }

 private:
  uint32_t state_;
};

double noteFrequency(int midiNote) { return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0); }

// Adds one sound, given as a function of the time since its start, to both
// channels from `startSeconds` for `lengthSeconds`, with left/right gains.
template <class Sound>
void addSound(StereoSamples& out, int rate, double startSeconds, double lengthSeconds,
              double leftGain, double rightGain, Sound sound) {
  const auto total = static_cast<int64_t>(out[0].size());
  const auto first = static_cast<int64_t>(std::llround(startSeconds * rate));
  const auto last = std::min(total, first + static_cast<int64_t>(lengthSeconds * rate));
  for (int64_t i = first; i < last; ++i) {
    const double value = sound(static_cast<double>(i - first) / rate);
    out[0][static_cast<std::size_t>(i)] += static_cast<float>(value * leftGain);
    out[1][static_cast<std::size_t>(i)] += static_cast<float>(value * rightGain);
  }
}

void addKick(StereoSamples& out, int rate, double start) {
  addSound(out, rate, start, 0.6, 1.0, 1.0, [](double t) {
    // A sine falling from 155 Hz to 45 Hz: the phase is the integral of
    // the falling frequency.
    const double sweep = 0.04;
    const double phase = kTwoPi * (45.0 * t + 110.0 * sweep * (1.0 - std::exp(-t / sweep)));
    const double click = t < 0.002 ? 1.0 - t / 0.002 : 0.0;
    return 0.9 * std::exp(-t / 0.22) * std::sin(phase) + 0.2 * click;
  });
}

void addSnare(StereoSamples& out, int rate, double start, uint32_t seed) {
  Noise noise(seed);
  addSound(out, rate, start, 0.4, 0.9, 1.0, [&noise](double t) {
    const double body = 0.35 * std::exp(-t / 0.07) * std::sin(kTwoPi * 185.0 * t);
    return body + 0.32 * std::exp(-t / 0.11) * noise.next();
  });
}

void addHat(StereoSamples& out, int rate, double start, double decay, uint32_t seed) {
  Noise noise(seed);
  double previous = 0.0;
  addSound(out, rate, start, decay * 6.0, 0.6, 1.0, [&](double t) {
    // The difference of successive noise samples: a bright, thin hiss.
    const double white = noise.next();
    const double bright = white - previous;
    previous = white;
    return 0.09 * std::exp(-t / decay) * bright;
  });
}

void addBass(StereoSamples& out, int rate, double start, double length, int note) {
  const double frequency = noteFrequency(note);
  addSound(out, rate, start, length, 1.0, 1.0, [=](double t) {
    double value = 0.0;
    for (int harmonic = 1; harmonic <= 6; ++harmonic) {
      value += std::sin(kTwoPi * frequency * harmonic * t) / harmonic;
    }
    const double attack = std::min(1.0, t / 0.005);
    const double release = std::min(1.0, (length - t) / 0.01);
    return 0.16 * attack * release * std::exp(-t / 0.35) * value;
  });
}

void addBell(StereoSamples& out, int rate, double start, int note, double pan) {
  const double frequency = noteFrequency(note);
  addSound(out, rate, start, 0.9, 1.0 - pan, pan, [=](double t) {
    const double attack = std::min(1.0, t / 0.002);
    const double tone = std::sin(kTwoPi * frequency * t) +
                        0.3 * std::sin(kTwoPi * 2.76 * frequency * t) * std::exp(-t / 0.08);
    return 0.12 * attack * std::exp(-t / 0.25) * tone;
  });
}

}  // namespace

int64_t demoFrames(int sampleRate) {
  return static_cast<int64_t>(std::llround(kDemoSeconds * sampleRate));
}

StereoSamples demoSignal(int sampleRate) {
  const auto frames = static_cast<std::size_t>(demoFrames(sampleRate));
  StereoSamples out{std::vector<float>(frames), std::vector<float>(frames)};
  const double beat = 60.0 / kDemoTempo;
  // A minor: the bass walks A A C D per bar, the bells climb an arpeggio.
  const int bassNotes[kDemoBeats] = {45, 45, 48, 50, 45, 45, 43, 40};
  const int bellNotes[2 * kDemoBeats] = {69, 72, 76, 79, 81, 79, 76, 72,
                                         69, 72, 76, 81, 84, 81, 79, 76};
  for (int b = 0; b < kDemoBeats; ++b) {
    const double start = b * beat;
    if (b % 2 == 0) addKick(out, sampleRate, start);
    if (b % 2 == 1) addSnare(out, sampleRate, start, static_cast<uint32_t>(100 + b));
    addBass(out, sampleRate, start, 0.9 * beat, bassNotes[b]);
    for (int half = 0; half < 2; ++half) {
      const double eighth = start + half * beat / 2.0;
      const bool openHat = b == kDemoBeats - 1 && half == 1;
      addHat(out, sampleRate, eighth, openHat ? 0.12 : 0.025,
             static_cast<uint32_t>(200 + 2 * b + half));
      addBell(out, sampleRate, eighth, bellNotes[2 * b + half], half == 0 ? 0.3 : 0.7);
    }
  }
  addKick(out, sampleRate, 6.5 * beat);

  float peak = 0.0f;
  for (const auto& channel : out) {
    for (float sample : channel) peak = std::max(peak, std::fabs(sample));
  }
  const double gain = peak > 0.0f ? static_cast<double>(kDemoPeak) / peak : 1.0;
  // A 10 ms fade to silence at the end, so the loop stops without a click.
  const auto fade = static_cast<std::size_t>(0.01 * sampleRate);
  for (auto& channel : out) {
    for (std::size_t i = 0; i < frames; ++i) {
      const std::size_t left = frames - 1 - i;
      const double fadeGain =
          left < fade ? static_cast<double>(left) / static_cast<double>(fade) : 1.0;
      channel[i] = static_cast<float>(channel[i] * gain * fadeGain);
    }
  }
  return out;
}

}  // namespace kqfx::command
