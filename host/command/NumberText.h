#pragma once
// Strict reading of numbers typed by people: the whole text must be the
// number, with no blanks around it, and it must be finite.

#include <optional>
#include <string>

namespace kqfx::command {

std::optional<long long> parseWholeNumber(const std::string& text);
std::optional<double> parseDecimal(const std::string& text);

}  // namespace kqfx::command
