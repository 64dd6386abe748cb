#pragma once
// Names close to one that was not found, for "did you mean ...?".

#include <string>
#include <vector>

namespace kqfx::command {

// Up to `most` of `known` that the user may have meant by `typed`, best
// first: names that contain it or start like it, and names a few typing
// slips away (ignoring case). Empty when nothing is close.
std::vector<std::string> nearMisses(const std::string& typed, const std::vector<std::string>& known,
                                    std::size_t most = 3);

}  // namespace kqfx::command
