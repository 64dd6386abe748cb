#pragma once
// A stereo sink that writes an audio file through libsndfile on a file
// descriptor the caller owns.

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
  AudioFileWriter(int fd, const OutputFormat& format, int sampleRate, std::string shownName);
  ~AudioFileWriter() override;
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  // Throws CommandFailure when the samples cannot be written (disk full).
  void write(const float* left, const float* right, int32_t frames) override;
  // Completes the file (headers, codec flush); throws CommandFailure when
  // that fails. Further writes are not allowed.
  void finish();

 private:
  sf_private_tag* file_ = nullptr;
  std::string shownName_;
  std::vector<float> interleaved_;
};

}  // namespace kqfx::command
