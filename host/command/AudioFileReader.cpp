#include "AudioFileReader.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "CommandErrors.h"
#include "CommandLine.h"

namespace fs = std::filesystem;

namespace kqfx::command {
namespace {

constexpr std::size_t kChunkFrames = 65536;

// The frames a header promised when the file holds fewer: libsndfile
// reads what is there and notes in its log "data : 882000 (should be
// 199956)" (WAV) or "Frame count read from 'COMM' chunk (220500) not equal
// ..." (AIFF). -1 when it noted nothing of the kind.
int64_t framesPromisedByHeader(SNDFILE* file, int64_t framesPresent) {
  char log[8192] = {};
  sf_command(file, SFC_GET_LOG_INFO, log, sizeof log);
  if (const char* count = std::strstr(log, "Frame count read from")) {
    long long promised = 0;
    if (std::sscanf(count, "Frame count read from %*s chunk (%lld)", &promised) == 1 &&
        promised > framesPresent) {
      return promised;
    }
  }
  const char* line = std::strstr(log, "\ndata : ");
  if (!line || framesPresent <= 0) return -1;
  long long promised = 0, present = 0;
  if (std::sscanf(line, "\ndata : %lld (should be %lld)", &promised, &present) != 2 ||
      present <= 0 || promised <= present) {
    return -1;
  }
  return std::llround(static_cast<double>(framesPresent) * static_cast<double>(promised) /
                      static_cast<double>(present));
}

std::string quoted(const fs::path& path) {
  std::string text = "'";
  text += path.string();
  text += '\'';
  return text;
}

}  // namespace

AudioFileReader::AudioFileReader(const fs::path& path) : path_(path) {
  const bool standardInput = path == "-";
  const std::string shown = standardInput ? std::string("on standard input") : quoted(path);
  std::error_code error;
  if (!standardInput) {
    if (!fs::exists(path, error)) throw CommandFailure("input " + shown + " does not exist");
    if (fs::is_directory(path, error)) throw CommandFailure("input " + shown + " is a folder");
    if (::access(path.c_str(), R_OK) != 0) {
      throw CommandFailure("cannot read input " + shown + ": " + std::strerror(errno));
    }
  }
  SF_INFO info{};
  file_ = standardInput ? sf_open_fd(STDIN_FILENO, SFM_READ, &info, SF_FALSE)
                        : sf_open(path.c_str(), SFM_READ, &info);
  if (!file_) {
    std::string why = sf_strerror(nullptr);
    if (why.rfind("Error : ", 0) == 0) why.erase(0, 8);
    throw CommandFailure("input " + shown + " is not an audio file kqfx can read (" + why + ")");
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
  if (info.samplerate > kMaxSampleRate) {
    sf_close(file_);
    file_ = nullptr;
    throw CommandFailure("input " + shown + " declares a sample rate of " +
                         std::to_string(info.samplerate) + " Hz; kqfx renders at most " +
                         std::to_string(kMaxSampleRate) + " Hz");
  }
  sampleRate_ = info.samplerate;
  channels_ = info.channels;
  frames_ = (info.frames >= 0 && info.frames < SF_COUNT_MAX) ? info.frames : -1;
  promisedFrames_ = std::max(frames_, framesPromisedByHeader(file_, frames_));
}

AudioFileReader::~AudioFileReader() {
  if (file_) sf_close(file_);
}

int32_t AudioFileReader::read(float* left, float* right, int32_t frames) {
  int32_t done = 0;
  while (done < frames) {
    if (chunkPosition_ == chunkFrames_) {
      if (ended_) break;
      chunk_.resize(kChunkFrames * static_cast<std::size_t>(channels_));
      const sf_count_t got =
          sf_readf_float(file_, chunk_.data(), static_cast<sf_count_t>(kChunkFrames));
      if (got < static_cast<sf_count_t>(kChunkFrames) && sf_error(file_) != SF_ERR_NO_ERROR) {
        throw CommandFailure("reading '" + path_.string() + "' failed: " + sf_strerror(file_));
      }
      chunkFrames_ = static_cast<std::size_t>(std::max<sf_count_t>(got, 0));
      chunkPosition_ = 0;
      ended_ = chunkFrames_ < kChunkFrames;
      if (chunkFrames_ == 0) break;
    }
    const auto count = static_cast<int32_t>(
        std::min<std::size_t>(chunkFrames_ - chunkPosition_, static_cast<std::size_t>(frames - done)));
    const float* from = chunk_.data() + chunkPosition_ * static_cast<std::size_t>(channels_);
    for (int32_t i = 0; i < count; ++i) {
      if (channels_ == 1) {
        left[done + i] = right[done + i] = from[i];
      } else {
        left[done + i] = from[2 * static_cast<std::size_t>(i)];
        right[done + i] = from[2 * static_cast<std::size_t>(i) + 1];
      }
    }
    chunkPosition_ += static_cast<std::size_t>(count);
    done += count;
  }
  framesRead_ += done;
  return done;
}

int64_t AudioFileReader::remainingFrames() const {
  return frames_ < 0 ? -1 : std::max<int64_t>(frames_ - framesRead_, 0);
}

int64_t AudioFileReader::missingFrames() const {
  const bool exhausted = ended_ && chunkPosition_ == chunkFrames_;
  return (exhausted && promisedFrames_ >= 0) ? std::max<int64_t>(promisedFrames_ - framesRead_, 0)
                                             : 0;
}

}  // namespace kqfx::command
