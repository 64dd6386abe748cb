#pragma once
// An audio file read through libsndfile as a stereo source: a mono file
// feeds both channels. The file is read in large chunks whatever the block
// size asked for, so that small blocks do not cost a system call each.

#include <filesystem>
#include <vector>

#include "kqfx/host/AudioStream.h"

struct sf_private_tag;

namespace kqfx::command {

class AudioFileReader final : public host::AudioSource {
 public:
  // "-" reads standard input. Throws CommandFailure when the file is missing, unreadable, not audio
  // libsndfile knows, has more than two channels, or has a sample rate the
  // plug-ins cannot take.
  explicit AudioFileReader(const std::filesystem::path& path);
  ~AudioFileReader() override;
  AudioFileReader(const AudioFileReader&) = delete;
  AudioFileReader& operator=(const AudioFileReader&) = delete;

  int sampleRate() const { return sampleRate_; }
  int channels() const { return channels_; }

  // Throws CommandFailure on a read error.
  int32_t read(float* left, float* right, int32_t frames) override;
  int64_t remainingFrames() const override;

  // Frames the header promised that were not there when the file ended
  // early (a truncated file); 0 otherwise, or while reading goes on.
  int64_t missingFrames() const;
  int64_t framesRead() const { return framesRead_; }

 private:
  std::filesystem::path path_;
  sf_private_tag* file_ = nullptr;
  int sampleRate_ = 0;
  int channels_ = 0;
  int64_t frames_ = -1;          // frames present, as libsndfile counts them
  int64_t promisedFrames_ = -1;  // frames the header promised
  int64_t framesRead_ = 0;
  bool ended_ = false;
  std::vector<float> chunk_;  // interleaved, read ahead
  std::size_t chunkFrames_ = 0;
  std::size_t chunkPosition_ = 0;
};

}  // namespace kqfx::command
