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

// The extensions outputFormatFor knows, for messages: ".wav, .flac, ...".
std::string knownOutputExtensions();

}  // namespace kqfx::command
