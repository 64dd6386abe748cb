#include "AudioFileWriter.h"

#include <sndfile.h>

#include <algorithm>

#include "CommandErrors.h"

namespace kqfx::command {
namespace {

constexpr std::size_t kChunkFrames = 65536;

}  // namespace

AudioFileWriter::AudioFileWriter(int fd, const OutputFormat& format, int sampleRate,
                                 std::string shownName)
    : shownName_(std::move(shownName)) {
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 2;
  info.format = format.sndfileFormat;
  if (!sf_format_check(&info)) {
    throw CommandFailure(std::string(format.description) + " cannot hold stereo audio at " +
                         std::to_string(sampleRate) + " Hz ('" + shownName_ + "')");
  }
  file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
  if (!file_) {
    throw CommandFailure("cannot write '" + shownName_ + "': " + sf_strerror(nullptr));
  }
  // Integer formats clip overs instead of wrapping them round.
  sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  // The peak chunk of float files carries the time of writing: without it
  // the same render gives the same bytes.
  sf_command(file_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  const int encoding = format.sndfileFormat & SF_FORMAT_SUBMASK;
  clips_ = encoding != SF_FORMAT_FLOAT && encoding != SF_FORMAT_DOUBLE;
  interleaved_.resize(2 * kChunkFrames);
}

AudioFileWriter::~AudioFileWriter() {
  if (file_) sf_close(file_);
}

void AudioFileWriter::write(const float* left, const float* right, int32_t frames) {
  int32_t done = 0;
  while (done < frames) {
    const auto count = static_cast<int32_t>(
        std::min<std::size_t>(kChunkFrames - pendingFrames_, static_cast<std::size_t>(frames - done)));
    float* to = interleaved_.data() + 2 * pendingFrames_;
    for (int32_t i = 0; i < count; ++i) {
      to[2 * static_cast<std::size_t>(i)] = left[done + i];
      to[2 * static_cast<std::size_t>(i) + 1] = right[done + i];
    }
    if (clips_) {
      for (std::size_t i = 0; i < 2 * static_cast<std::size_t>(count); ++i) {
        clipped_ += (to[i] > 1.0f || to[i] < -1.0f) ? 1 : 0;
      }
    }
    pendingFrames_ += static_cast<std::size_t>(count);
    done += count;
    if (pendingFrames_ == kChunkFrames) flush();
  }
}

void AudioFileWriter::flush() {
  const auto frames = static_cast<sf_count_t>(pendingFrames_);
  pendingFrames_ = 0;
  if (frames > 0 && sf_writef_float(file_, interleaved_.data(), frames) != frames) {
    throw CommandFailure("writing '" + shownName_ + "' failed: " + sf_strerror(file_));
  }
}

void AudioFileWriter::finish() {
  flush();
  SNDFILE* file = file_;
  file_ = nullptr;
  sf_write_sync(file);
  const int error = sf_error(file);
  const std::string why = sf_strerror(file);
  if (sf_close(file) != 0 || error != SF_ERR_NO_ERROR) {
    throw CommandFailure("completing '" + shownName_ + "' failed: " + why);
  }
}

}  // namespace kqfx::command
