#pragma once
// --inputs and --outputs of `kqfx render`: which file channel feeds each
// plug-in input, and which plug-in outputs are written left and right.

#include <optional>
#include <string>

#include "kqfx/host/RenderLoop.h"

namespace kqfx::command {

// `inputs`: one entry per plug-in input, comma-separated: left (L), right
// (R), mid (M) or silence (0). `outputs`: two plug-in output numbers from 1
// ("3,4"), or one for both sides. What is not given keeps the default map.
// Throws UsageError when a text cannot be read or does not fit the plug-in.
host::ChannelMap channelMapFor(int32_t pluginInputs, int32_t pluginOutputs,
                               const std::optional<std::string>& inputs,
                               const std::optional<std::string>& outputs);

}  // namespace kqfx::command
