#pragma once
// Where a render takes its stereo input from and where it puts its output:
// blocks of two planar channels of 32-bit float samples.

#include <cstdint>

namespace kqfx::host {

class AudioSource {
 public:
  virtual ~AudioSource() = default;
  // Fills up to `frames` frames of both channels; answers how many it
  // filled, 0 once the source is exhausted.
  virtual int32_t read(float* left, float* right, int32_t frames) = 0;
  // Frames still to come, or -1 when the source cannot tell.
  virtual int64_t remainingFrames() const { return -1; }
};

class AudioSink {
 public:
  virtual ~AudioSink() = default;
  // Takes `frames` frames of both channels; throws on failure.
  virtual void write(const float* left, const float* right, int32_t frames) = 0;
};

}  // namespace kqfx::host
