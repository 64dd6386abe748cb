#pragma once
// kqfx's own standard output, kept apart from the plug-ins'. A plug-in
// that prints while it is loaded or run would otherwise spoil output meant
// for other programs (`kqfx info X --json | jq`): once protected, file
// descriptor 1 goes to standard error and only printOut reaches the real
// standard output.

#include <string>

namespace kqfx::command {

// Call once, first thing in main.
void protectStandardOutput();

// To the real standard output. Throws CommandFailure when it cannot be
// written (a closed pipe, a full disk).
void printOut(const std::string& text);

// Sends what printOut prints to `fd` from now on (a batch render's child
// hands its summary to its parent so).
void sendStandardOutputTo(int fd);

// To standard error.
void printError(const std::string& text);

}  // namespace kqfx::command
