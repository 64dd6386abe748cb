#include "OutputFormat.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string>

namespace kqfx::command {
namespace {

struct Extension {
  const char* extension;
  int sndfileFormat;
  const char* description;
  const char* container;  // for other bit depths; empty where there are none
};

// Float where the container holds it well, 24-bit PCM where float is rare
// (AIFF) or impossible (FLAC), the usual codec for the lossy ones.
constexpr Extension kExtensions[] = {
    {"wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, "32-bit float WAV", "WAV"},
    {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, "24-bit FLAC", "FLAC"},
    {"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, "24-bit AIFF", "AIFF"},
    {"aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, "24-bit AIFF", "AIFF"},
    {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, "Ogg Vorbis", ""},
    {"opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, "Ogg Opus", ""},
    {"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, "MP3", ""},
    {"caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT, "32-bit float CAF", "CAF"},
    {"w64", SF_FORMAT_W64 | SF_FORMAT_FLOAT, "32-bit float Wave64", "Wave64"},
    {"rf64", SF_FORMAT_RF64 | SF_FORMAT_FLOAT, "32-bit float RF64", "RF64"},
    {"au", SF_FORMAT_AU | SF_FORMAT_FLOAT, "32-bit float AU", "AU"},
};

}  // namespace

std::optional<OutputFormat> outputFormatFor(const std::filesystem::path& file) {
  std::string extension = file.extension().string();
  if (extension.size() < 2) return std::nullopt;
  extension.erase(0, 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const Extension& known : kExtensions) {
    if (extension == known.extension) return OutputFormat{known.sndfileFormat, known.description};
  }
  return std::nullopt;
}

std::optional<OutputFormat> withBits(const OutputFormat& format, int bits) {
  const int major = format.sndfileFormat & SF_FORMAT_TYPEMASK;
  for (const Extension& known : kExtensions) {
    if ((known.sndfileFormat & SF_FORMAT_TYPEMASK) != major || known.container[0] == '\0') continue;
    const int encoding = bits == 16 ? SF_FORMAT_PCM_16 : bits == 24 ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_32;
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = major | encoding;
    if (!sf_format_check(&info)) return std::nullopt;
    return OutputFormat{major | encoding,
                        std::to_string(bits) + "-bit " + known.container +
                            (bits == 16 ? " (dithered)" : ""),
                        bits == 16};
  }
  return std::nullopt;
}

int writableRate(const OutputFormat& format, int wanted, int channels) {
  // libsndfile's format check lets rates through that these codecs refuse
  // when the file is opened.
  static constexpr int kOpusRates[] = {8000, 12000, 16000, 24000, 48000};
  static constexpr int kMpegRates[] = {8000,  11025, 12000, 16000, 22050,
                                       24000, 32000, 44100, 48000};
  const auto listed = [](const auto& rates, int rate) {
    return std::find(std::begin(rates), std::end(rates), rate) != std::end(rates);
  };
  const auto holds = [&](int rate) {
    const int major = format.sndfileFormat & SF_FORMAT_TYPEMASK;
    const int encoding = format.sndfileFormat & SF_FORMAT_SUBMASK;
    if (encoding == SF_FORMAT_OPUS && !listed(kOpusRates, rate)) return false;
    if (major == SF_FORMAT_MPEG && !listed(kMpegRates, rate)) return false;
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format.sndfileFormat;
    return sf_format_check(&info) != 0;
  };
  if (holds(wanted)) return wanted;
  // The lowest common rate above the wanted one loses nothing; failing
  // that, the highest below it.
  static constexpr int kCommonRates[] = {8000,  11025, 12000, 16000, 22050, 24000, 32000,
                                         44100, 48000, 88200, 96000, 176400, 192000};
  for (int rate : kCommonRates) {
    if (rate > wanted && holds(rate)) return rate;
  }
  for (auto rate = std::rbegin(kCommonRates); rate != std::rend(kCommonRates); ++rate) {
    if (*rate < wanted && holds(*rate)) return *rate;
  }
  return wanted;
}

std::string knownOutputExtensions() {
  std::string list;
  for (const Extension& known : kExtensions) {
    list += std::string(list.empty() ? "" : ", ") + "." + known.extension;
  }
  return list;
}

}  // namespace kqfx::command
