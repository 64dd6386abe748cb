#include "AudioFileWriter.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "CommandErrors.h"

namespace kqfx::command {
namespace {

constexpr std::size_t kChunkFrames = 65536;

// What went wrong in words: libsndfile's own texts ("Unspecified internal
// error.") say little when the system refused a write, so the system's
// reason comes first (disk full, file too large, quota).
std::string whatWentWrong(SNDFILE* file, int systemError) {
  switch (systemError) {
    case ENOSPC: return "the disk is full";
    case EFBIG: return "the file grew beyond what the file system (or a limit) allows";
    case EDQUOT: return "the disk quota is used up";
    case EIO: return "the disk reported an input/output error";
    default: break;
  }
  if (systemError != 0) return std::strerror(systemError);
  std::string text = sf_strerror(file);
  // "Error : Opus only supports ..." reads better without the prefix.
  if (text.rfind("Error : ", 0) == 0) text.erase(0, 8);
  return text;
}

}  // namespace

AudioFileWriter::AudioFileWriter(int fd, const OutputFormat& format, int sampleRate,
                                 std::string shownName, int channels)
    : shownName_(std::move(shownName)), channels_(channels), dither_(format.dither) {
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = format.sndfileFormat;
  if (!sf_format_check(&info)) {
    throw CommandFailure(format.description + " cannot hold " +
                         (channels == 1 ? "mono" : "stereo") + " audio at " +
                         std::to_string(sampleRate) + " Hz ('" + shownName_ + "')");
  }
  errno = 0;
  file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
  if (!file_) {
    throw CommandFailure("cannot write '" + shownName_ + "': " + whatWentWrong(nullptr, errno));
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
    const auto width = static_cast<std::size_t>(channels_);
    float* to = interleaved_.data() + width * pendingFrames_;
    for (int32_t i = 0; i < count; ++i) {
      if (channels_ == 1) {
        to[i] = static_cast<float>((static_cast<double>(left[done + i]) + right[done + i]) * 0.5);
      } else {
        to[2 * static_cast<std::size_t>(i)] = left[done + i];
        to[2 * static_cast<std::size_t>(i) + 1] = right[done + i];
      }
    }
    const std::size_t samples = width * static_cast<std::size_t>(count);
    if (clips_) {
      for (std::size_t i = 0; i < samples; ++i) clipped_ += (to[i] > 1.0f || to[i] < -1.0f) ? 1 : 0;
    }
    if (dither_) {
      // TPDF: the difference of two uniform numbers, one 16-bit step wide
      // each, so that the rounding error does not follow the signal.
      constexpr float kStep = 1.0f / 32768.0f;
      const auto uniform = [this] {
        noise_ = noise_ * 1664525u + 1013904223u;
        return static_cast<float>(noise_ >> 8) * (1.0f / 16777216.0f);
      };
      for (std::size_t i = 0; i < samples; ++i) to[i] += (uniform() - uniform()) * kStep;
    }
    pendingFrames_ += static_cast<std::size_t>(count);
    done += count;
    if (pendingFrames_ == kChunkFrames) flush();
  }
}

void AudioFileWriter::flush() {
  const auto frames = static_cast<sf_count_t>(pendingFrames_);
  pendingFrames_ = 0;
  errno = 0;
  if (frames > 0 && sf_writef_float(file_, interleaved_.data(), frames) != frames) {
    throw CommandFailure("writing '" + shownName_ + "' failed: " + whatWentWrong(file_, errno));
  }
}

void AudioFileWriter::finish() {
  flush();
  SNDFILE* file = file_;
  file_ = nullptr;
  errno = 0;
  sf_write_sync(file);
  const int error = sf_error(file);
  const std::string why = whatWentWrong(file, errno);
  if (sf_close(file) != 0 || error != SF_ERR_NO_ERROR) {
    throw CommandFailure("completing '" + shownName_ + "' failed: " + why);
  }
}

}  // namespace kqfx::command
