#pragma once
// The libsndfile format an output file gets from its extension.

#include <filesystem>
#include <optional>
#include <string>

namespace kqfx::command {

struct OutputFormat {
  int sndfileFormat;  // major format | sample encoding
  std::string description;
  bool dither = false;  // TPDF dither before reducing to 16 bits
};

// Extensions are matched regardless of case. Nothing for an extension we
// do not write.
std::optional<OutputFormat> outputFormatFor(const std::filesystem::path& file);

// The format with `bits` (16, 24 or 32) integer samples; 16 bits are
// dithered. Nothing when the format has no such encoding (the lossy ones,
// FLAC at 32 bits).
std::optional<OutputFormat> withBits(const OutputFormat& format, int bits);

// The sample rate to write `format` at for audio at `wanted` Hz: `wanted`
// itself when the format can hold it, else the lowest common rate above it
// that the format holds, else the highest below (Opus holds 8, 12, 16, 24
// and 48 kHz only, MP3 nothing above 48 kHz).
int writableRate(const OutputFormat& format, int wanted, int channels = 2);

// The extensions outputFormatFor knows, for messages: ".wav, .flac, ...".
std::string knownOutputExtensions();

}  // namespace kqfx::command
