#include "ResamplingSink.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "CommandErrors.h"

namespace kqfx::command {
namespace {

constexpr long kOutputFrames = 16384;

}  // namespace

ResamplingSink::ResamplingSink(host::AudioSink& next, int fromRate, int toRate)
    : next_(next), ratio_(static_cast<double>(toRate) / fromRate) {
  int error = 0;
  state_ = src_new(SRC_SINC_BEST_QUALITY, 2, &error);
  if (!state_) {
    throw CommandFailure(std::string("cannot set up the sample rate conversion: ") +
                         src_strerror(error));
  }
  out_.resize(2 * static_cast<std::size_t>(kOutputFrames));
  left_.resize(static_cast<std::size_t>(kOutputFrames));
  right_.resize(static_cast<std::size_t>(kOutputFrames));
}

ResamplingSink::~ResamplingSink() { src_delete(state_); }

void ResamplingSink::write(const float* left, const float* right, int32_t frames) {
  in_.resize(2 * static_cast<std::size_t>(frames));
  for (int32_t i = 0; i < frames; ++i) {
    in_[2 * static_cast<std::size_t>(i)] = left[i];
    in_[2 * static_cast<std::size_t>(i) + 1] = right[i];
  }
  framesIn_ += frames;
  convert(in_.data(), frames, false);
}

// The converter holds back what its filter still needs to see: silence
// after the end lets it out, and the output is cut at the length the ratio
// gives, so that a second of input is a second of output.
void ResamplingSink::finish() {
  limit_ = static_cast<int64_t>(std::llround(static_cast<double>(framesIn_) * ratio_));
  const std::vector<float> silence(2 * 1024, 0.0f);
  while (framesOut_ < limit_) convert(silence.data(), 1024, false);
}

void ResamplingSink::convert(const float* interleaved, long frames, bool last) {
  SRC_DATA data{};
  data.data_in = interleaved;
  data.input_frames = frames;
  data.src_ratio = ratio_;
  data.end_of_input = last ? 1 : 0;
  while (true) {
    data.data_out = out_.data();
    data.output_frames = kOutputFrames;
    const int error = src_process(state_, &data);
    if (error != 0) {
      throw CommandFailure(std::string("sample rate conversion failed: ") + src_strerror(error));
    }
    long produced = data.output_frames_gen;
    if (limit_ >= 0) produced = static_cast<long>(std::min<int64_t>(produced, limit_ - framesOut_));
    framesOut_ += produced;
    for (long i = 0; i < produced; ++i) {
      left_[static_cast<std::size_t>(i)] = out_[2 * static_cast<std::size_t>(i)];
      right_[static_cast<std::size_t>(i)] = out_[2 * static_cast<std::size_t>(i) + 1];
    }
    if (produced > 0) next_.write(left_.data(), right_.data(), static_cast<int32_t>(produced));
    data.data_in += 2 * data.input_frames_used;
    data.input_frames -= data.input_frames_used;
    if (data.input_frames == 0 && (!last || data.output_frames_gen == 0)) break;
  }
}

}  // namespace kqfx::command
