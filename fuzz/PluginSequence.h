#pragma once
// Turns a string of bytes into a session with one plug-in instance: the
// calls a host makes (opcodes, parameter writes, process calls of random
// sizes, in and out of place, with hard samples), always within what the
// protocol allows a host: the sample rate and block size change only while
// suspended, audio is processed only while resumed and never in more
// frames than the block size, the instance is closed at the end. The
// fuzzer feeds it random bytes; the regression test replays saved ones.

#include <cstddef>
#include <cstdint>

#include "kqfx/host/PluginLibrary.h"

namespace kqfx::fuzz {

// The largest block size a session asks for.
constexpr int32_t kMaxSessionBlock = 8192;

void runPluginSession(const host::PluginLibrary& library, const uint8_t* data, std::size_t size);

}  // namespace kqfx::fuzz
