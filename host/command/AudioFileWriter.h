#pragma once
// A stereo sink that writes an audio file through libsndfile on a file
// descriptor the caller owns, in large chunks whatever the block size, and
// counts the samples an integer format had to clip.

#include <cstdint>
#include <string>
#include <vector>

#include "OutputFormat.h"
#include "kqfx/host/AudioStream.h"

struct sf_private_tag;

namespace kqfx::command {

class AudioFileWriter final : public host::AudioSink {
 public:
  // `shownName` is the file name used in messages. Throws CommandFailure
  // when the format cannot hold stereo at this sample rate or the file
  // cannot be started.
  // With one channel, the mid (L+R)/2 is written.
  AudioFileWriter(int fd, const OutputFormat& format, int sampleRate, std::string shownName,
                  int channels = 2);
  ~AudioFileWriter() override;
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  // Throws CommandFailure when the samples cannot be written (disk full).
  void write(const float* left, const float* right, int32_t frames) override;
  // Completes the file (headers, codec flush); throws CommandFailure when
  // that fails. Further writes are not allowed.
  void finish();

  // Samples beyond full scale that an integer format clipped (0 for float).
  int64_t clippedSamples() const { return clipped_; }

 private:
  sf_private_tag* file_ = nullptr;
  std::string shownName_;
  void flush();

  int channels_ = 2;
  bool clips_ = false;
  bool dither_ = false;
  uint32_t noise_ = 1;  // the dither's random state: the same render, the same bytes
  int64_t clipped_ = 0;
  std::vector<float> interleaved_;  // a chunk waiting to be written
  std::size_t pendingFrames_ = 0;
};

}  // namespace kqfx::command
