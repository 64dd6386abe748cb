#pragma once
// The built-in demo signal: two bars of drums (kick, snare, hi-hats), a
// bass line and a bell arpeggio at 120 beats per minute, four seconds in
// all, in stereo. Made in code, the same samples on every run.

#include "BufferSource.h"

namespace kqfx::command {

constexpr double kDemoTempo = 120.0;       // beats per minute
constexpr int kDemoBeats = 8;              // two bars of four
constexpr double kDemoSeconds = kDemoBeats * 60.0 / kDemoTempo;
constexpr int kDemoDefaultRate = 44100;
constexpr float kDemoPeak = 0.7f;          // about -3 dB below full scale

// The number of frames at this sample rate.
int64_t demoFrames(int sampleRate);

StereoSamples demoSignal(int sampleRate);

}  // namespace kqfx::command
