#pragma once
// An audio file read through libsndfile as a stereo source: a mono file
// feeds both channels.

#include <filesystem>
#include <vector>

#include "kqfx/host/AudioStream.h"

struct sf_private_tag;

namespace kqfx::command {

class AudioFileReader final : public host::AudioSource {
 public:
  // Throws CommandFailure when the file is missing, unreadable, not audio
  // libsndfile knows, or has more than two channels.
  explicit AudioFileReader(const std::filesystem::path& path);
  ~AudioFileReader() override;
  AudioFileReader(const AudioFileReader&) = delete;
  AudioFileReader& operator=(const AudioFileReader&) = delete;

  int sampleRate() const { return sampleRate_; }
  int channels() const { return channels_; }

  // Throws CommandFailure on a read error.
  int32_t read(float* left, float* right, int32_t frames) override;
  int64_t remainingFrames() const override;

 private:
  std::filesystem::path path_;
  sf_private_tag* file_ = nullptr;
  int sampleRate_ = 0;
  int channels_ = 0;
  int64_t frames_ = -1;
  int64_t framesRead_ = 0;
  std::vector<float> interleaved_;
};

}  // namespace kqfx::command
