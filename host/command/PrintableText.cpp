#include "PrintableText.h"

#include <cstdio>

namespace kqfx::command {
namespace {

// The length of the well-formed UTF-8 sequence at `at`, or 0.
std::size_t utf8Length(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  // C1 control characters (U+0080..U+009F) act on terminals too.
  if (lead == 0xC2 && byte(at + 1) < 0xA0) return 0;
  return length;
}

std::string escaped(const std::string& text, bool keepNewlines) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    if (c == '\n' && keepNewlines) {
      out += '\n';
      ++i;
      continue;
    }
    if (c >= 0x80) {
      if (const std::size_t length = utf8Length(text, i)) {
        out.append(text, i, length);
        i += length;
        continue;
      }
    }
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case 0x1B: out += "\\e"; break;
      case '\\': out += "\\\\"; break;
      default: {
        char code[8];
        std::snprintf(code, sizeof code, "\\x%02x", c);
        out += code;
      }
    }
    ++i;
  }
  return out;
}

}  // namespace

std::string printableLine(const std::string& text) { return escaped(text, false); }
std::string printableLines(const std::string& text) { return escaped(text, true); }

}  // namespace kqfx::command
