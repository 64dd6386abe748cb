#pragma once
// Writing test input and reading kqfx's output back, through libsndfile;
// and a scratch folder per test.

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace kqfx::test {

struct Sound {
  int sampleRate = 0;
  int channels = 0;
  int format = 0;
  std::vector<std::vector<float>> samples;  // per channel
  std::size_t frames() const { return samples.empty() ? 0 : samples[0].size(); }
};

inline void writeSound(const std::filesystem::path& path, const Sound& sound,
                       int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
  SF_INFO info{};
  info.samplerate = sound.sampleRate;
  info.channels = sound.channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) throw std::runtime_error("cannot write test sound " + path.string());
  std::vector<float> interleaved(sound.frames() * static_cast<std::size_t>(sound.channels));
  for (std::size_t i = 0; i < sound.frames(); ++i) {
    for (int c = 0; c < sound.channels; ++c) {
      interleaved[i * static_cast<std::size_t>(sound.channels) + static_cast<std::size_t>(c)] =
          sound.samples[static_cast<std::size_t>(c)][i];
    }
  }
  sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(sound.frames()));
  sf_close(file);
}

inline Sound readSound(const std::filesystem::path& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) throw std::runtime_error("cannot read " + path.string());
  Sound sound;
  sound.sampleRate = info.samplerate;
  sound.channels = info.channels;
  sound.format = info.format;
  std::vector<float> interleaved(static_cast<std::size_t>(info.frames * info.channels));
  sf_readf_float(file, interleaved.data(), info.frames);
  sf_close(file);
  sound.samples.assign(static_cast<std::size_t>(info.channels),
                       std::vector<float>(static_cast<std::size_t>(info.frames)));
  for (std::size_t i = 0; i < static_cast<std::size_t>(info.frames); ++i) {
    for (std::size_t c = 0; c < static_cast<std::size_t>(info.channels); ++c) {
      sound.samples[c][i] = interleaved[i * static_cast<std::size_t>(info.channels) + c];
    }
  }
  return sound;
}

inline Sound constantSound(int sampleRate, std::vector<float> levels, std::size_t frames) {
  Sound sound;
  sound.sampleRate = sampleRate;
  sound.channels = static_cast<int>(levels.size());
  for (float level : levels) sound.samples.emplace_back(frames, level);
  return sound;
}

inline std::string fileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A fresh folder, removed with everything in it at the end of the test.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kqfx-command-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  // Names of everything in the folder, sorted.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace kqfx::test
