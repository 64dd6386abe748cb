#pragma once
// The help pages of kqfx and its subcommands.

#include <string>

namespace kqfx::command {

// The page for a subcommand, or the overview for an empty topic; empty
// when there is no such subcommand.
std::string helpText(const std::string& topic);

// The one-line synopsis shown after a usage error.
std::string usageLine(const std::string& topic);

}  // namespace kqfx::command
