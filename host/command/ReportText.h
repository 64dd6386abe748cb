#pragma once
// Small text helpers the plug-in reports of both formats share: the
// shortest text that reads back as the same float, joined lists and
// columns padded to a width.

#include <cstddef>
#include <string>
#include <vector>

namespace kqfx::command {

// "nan", "inf", "-inf" or the shortest decimal that reads back exactly.
std::string shortest(float value);
std::string joined(const std::vector<std::string>& parts, const std::string& separator);
// Padded with spaces on the right (padded) or the left (paddedLeft) to
// `width` characters; longer texts are left as they are.
std::string padded(const std::string& text, std::size_t width);
std::string paddedLeft(const std::string& text, std::size_t width);

}  // namespace kqfx::command
