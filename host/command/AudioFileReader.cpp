#include "AudioFileReader.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "CommandErrors.h"

namespace fs = std::filesystem;

namespace kqfx::command {
namespace {

std::string quoted(const fs::path& path) {
  std::string text = "'";
  text += path.string();
  text += '\'';
  return text;
}

}  // namespace

AudioFileReader::AudioFileReader(const fs::path& path) : path_(path) {
  const std::string shown = quoted(path);
  std::error_code error;
  if (!fs::exists(path, error)) throw CommandFailure("input " + shown + " does not exist");
  if (fs::is_directory(path, error)) throw CommandFailure("input " + shown + " is a folder");
  if (::access(path.c_str(), R_OK) != 0) {
    throw CommandFailure("cannot read input " + shown + ": " + std::strerror(errno));
  }
  SF_INFO info{};
  file_ = sf_open(path.c_str(), SFM_READ, &info);
  if (!file_) {
    throw CommandFailure("input " + shown + " is not an audio file kqfx can read (" +
                         sf_strerror(nullptr) + ")");
  }
  if (info.channels > 2 || info.channels < 1) {
    sf_close(file_);
    file_ = nullptr;
    throw CommandFailure("input " + shown + " has " + std::to_string(info.channels) +
                         " channels; kqfx renders mono and stereo files only");
  }
  if (info.samplerate <= 0) {
    sf_close(file_);
    file_ = nullptr;
    throw CommandFailure("input " + shown + " has no valid sample rate");
  }
  sampleRate_ = info.samplerate;
  channels_ = info.channels;
  frames_ = (info.frames >= 0 && info.frames < SF_COUNT_MAX) ? info.frames : -1;
}

AudioFileReader::~AudioFileReader() {
  if (file_) sf_close(file_);
}

int32_t AudioFileReader::read(float* left, float* right, int32_t frames) {
  if (frames <= 0) return 0;
  interleaved_.resize(static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels_));
  const sf_count_t got = sf_readf_float(file_, interleaved_.data(), frames);
  if (got < frames && sf_error(file_) != SF_ERR_NO_ERROR) {
    throw CommandFailure("reading '" + path_.string() + "' failed: " + sf_strerror(file_));
  }
  const auto count = static_cast<int32_t>(std::max<sf_count_t>(got, 0));
  for (int32_t i = 0; i < count; ++i) {
    if (channels_ == 1) {
      left[i] = right[i] = interleaved_[static_cast<std::size_t>(i)];
    } else {
      left[i] = interleaved_[2 * static_cast<std::size_t>(i)];
      right[i] = interleaved_[2 * static_cast<std::size_t>(i) + 1];
    }
  }
  framesRead_ += count;
  return count;
}

int64_t AudioFileReader::remainingFrames() const {
  return frames_ < 0 ? -1 : std::max<int64_t>(frames_ - framesRead_, 0);
}

}  // namespace kqfx::command
