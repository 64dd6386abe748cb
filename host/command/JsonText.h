#pragma once
// Pieces of JSON text.

#include <string>

namespace kqfx::command {

// A quoted JSON string. Valid UTF-8 passes through; any other byte is read
// as Latin-1 (what older plug-ins write for "°" or "µ"), so the result is
// always valid JSON and valid UTF-8.
std::string jsonString(const std::string& text);

// The shortest number that reads back as the same float; null for NaN and infinities,
// which JSON cannot hold.
std::string jsonNumber(float value);

}  // namespace kqfx::command
