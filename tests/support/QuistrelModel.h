#pragma once
// The tempo filter's sweep and ladder written out step by step from their
// description, as the tests' reference for ordinary signals: a double
// count with a floating remainder, the triangle turning where the phase
// reaches T - 1.01, and the four stages with their constants. It has none
// of the plug-in's safety measures, so it matches the plug-in exactly only
// where those do not act.

#include <array>
#include <cmath>

namespace kqfx::test {

struct QuistrelModel {
  explicit QuistrelModel(double sweepLength) : lfoTime(sweepLength) {}

  // Sweep length for a tempo in BPM, beats per sweep and sample rate.
  static double sweepLength(double bpm, int beats, double sampleRate) {
    const float msPerBeat = static_cast<float>(60000.0 / bpm);
    const double samplesPerBeat = std::floor(sampleRate * (msPerBeat / 1000.0));
    return samplesPerBeat * beats;
  }

  // The first sample after a restart sees an empty filter: every stage
  // passes the scaled input x = u * 0.35013 * f^4 unchanged.
  static float firstSampleAt(float f, float input) {
    const double f2 = static_cast<double>(f) * f;
    return static_cast<float>(static_cast<double>(input) * 0.35013 * f2 * f2);
  }

  // With "Cutoff (Lo)" 0 and "Cutoff (Hi)" 1, the first frame after a
  // restart runs at f = 1.16 / T: its output for an input of 1 tells the
  // sweep length T.
  static float sweepProbe(double sweepLength) {
    return firstSampleAt(cutoff(static_cast<float>(1.0 / sweepLength), 1.0f, 0.0f), 1.0f);
  }

  float nextM(int ch) {
    count[ch] += 1.0;
    const float phase = static_cast<float>(std::fmod(count[ch], lfoTime));
    float m;
    if (falling[ch]) {
      m = static_cast<float>(1.0 - phase / lfoTime);
      if (phase >= lfoTime - 1.01) falling[ch] = false;
    } else {
      m = static_cast<float>(phase / lfoTime);
      if (phase >= lfoTime - 1.01) falling[ch] = true;
    }
    return m;
  }

  static float cutoff(float m, float hi, float lo) {
    return static_cast<float>(1.16 * (lo + m * (static_cast<double>(hi) - lo)));
  }

  float ladder(int ch, float input, float f, float res) {
    std::array<float, 4>& in = poleIn[ch];
    std::array<float, 4>& out = poleOut[ch];
    const float fb = static_cast<float>(4.0 * res * (1.0 - 0.15 * f * f));
    float x = static_cast<float>(input - static_cast<double>(fb) * out[3]);
    x = static_cast<float>(x * 0.35013 * (static_cast<double>(f) * f) *
                           (static_cast<double>(f) * f));
    float s = x;
    for (int k = 0; k < 4; ++k) {
      out[k] = static_cast<float>(s + 0.3 * in[k] + (1.0 - f) * out[k]);
      in[k] = s;
      s = out[k];
    }
    return out[3];
  }

  float filterIt(float input, int ch, float hi, float lo, float res) {
    return ladder(ch, input, cutoff(nextM(ch), hi, lo), res);
  }

  void clearLadder(int ch) {
    poleIn[ch] = {};
    poleOut[ch] = {};
  }

  double lfoTime;
  std::array<double, 2> count{};
  std::array<bool, 2> falling{};
  std::array<std::array<float, 4>, 2> poleIn{};
  std::array<std::array<float, 4>, 2> poleOut{};
};

}  // namespace kqfx::test
