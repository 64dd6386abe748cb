#pragma once
// Text that came from outside (file names found in plug-in folders, what a
// plug-in printed) made safe to print on a terminal: control characters
// and bytes that are not UTF-8 become visible escapes (\e, \x7f, \t), so
// they cannot recolour the terminal, move its cursor or break a
// one-line-per-item listing.

#include <string>

namespace kqfx::command {

// Every control character escaped, line breaks included.
std::string printableLine(const std::string& text);
// The same, but line breaks kept (for multi-line output shown as such).
std::string printableLines(const std::string& text);

}  // namespace kqfx::command
