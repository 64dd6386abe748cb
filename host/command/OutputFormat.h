#pragma once
// The libsndfile format an output file gets from its extension.

#include <filesystem>
#include <optional>
#include <string>

namespace kqfx::command {

struct OutputFormat {
  int sndfileFormat;  // major format | sample encoding
  const char* description;
};

// Extensions are matched regardless of case. Nothing for an extension we
// do not write.
std::optional<OutputFormat> outputFormatFor(const std::filesystem::path& file);

// The sample rate to write `format` at for audio at `wanted` Hz: `wanted`
// itself when the format can hold it, else the lowest common rate above it
// that the format holds, else the highest below (Opus holds 8, 12, 16, 24
// and 48 kHz only, MP3 nothing above 48 kHz).
int writableRate(const OutputFormat& format, int wanted, int channels = 2);

// The extensions outputFormatFor knows, for messages: ".wav, .flac, ...".
std::string knownOutputExtensions();

}  // namespace kqfx::command
