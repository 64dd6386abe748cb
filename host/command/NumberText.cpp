#include "NumberText.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace kqfx::command {
namespace {

bool startsLikeANumber(const std::string& text) {
  if (text.empty()) return false;
  const unsigned char first = static_cast<unsigned char>(text[0]);
  return std::isdigit(first) || first == '-' || first == '+' || first == '.';
}

}  // namespace

std::optional<long long> parseWholeNumber(const std::string& text) {
  if (!startsLikeANumber(text)) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> parseDecimal(const std::string& text) {
  if (!startsLikeANumber(text)) return std::nullopt;
  // Hexadecimal floating point is not something people type as a value.
  if (text.find_first_of("xX") != std::string::npos) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace kqfx::command
