#include "AudioFileWriter.h"

#include <sndfile.h>

#include "CommandErrors.h"

namespace kqfx::command {

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
}

AudioFileWriter::~AudioFileWriter() {
  if (file_) sf_close(file_);
}

void AudioFileWriter::write(const float* left, const float* right, int32_t frames) {
  if (frames <= 0) return;
  interleaved_.resize(2 * static_cast<std::size_t>(frames));
  for (int32_t i = 0; i < frames; ++i) {
    interleaved_[2 * static_cast<std::size_t>(i)] = left[i];
    interleaved_[2 * static_cast<std::size_t>(i) + 1] = right[i];
  }
  if (sf_writef_float(file_, interleaved_.data(), frames) != frames) {
    throw CommandFailure("writing '" + shownName_ + "' failed: " + sf_strerror(file_));
  }
}

void AudioFileWriter::finish() {
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
