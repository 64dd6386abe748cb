#pragma once
// A stereo sink that converts the sample rate on the way to another sink,
// with libsamplerate at its best quality, for output formats or --rate
// asking for another rate than the render's.

#include <cstdint>
#include <vector>

#include "kqfx/host/AudioStream.h"

struct SRC_STATE_tag;

namespace kqfx::command {

class ResamplingSink final : public host::AudioSink {
 public:
  // Throws CommandFailure when the converter cannot be set up.
  ResamplingSink(host::AudioSink& next, int fromRate, int toRate);
  ~ResamplingSink() override;
  ResamplingSink(const ResamplingSink&) = delete;
  ResamplingSink& operator=(const ResamplingSink&) = delete;

  void write(const float* left, const float* right, int32_t frames) override;
  // Lets out what the converter still holds; call once, after the last write.
  void finish();

 private:
  void convert(const float* interleaved, long frames, bool last);

  host::AudioSink& next_;
  SRC_STATE_tag* state_ = nullptr;
  double ratio_;
  int64_t framesIn_ = 0;
  int64_t framesOut_ = 0;
  int64_t limit_ = -1;  // frames to write in all, once known
  std::vector<float> in_;
  std::vector<float> out_;
  std::vector<float> left_;
  std::vector<float> right_;
};

}  // namespace kqfx::command
