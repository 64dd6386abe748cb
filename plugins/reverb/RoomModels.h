#pragma once
// The ten room models of the reverb. Each sets four engine values at once:
// room size, stereo width, compressor threshold and compressor ceiling.
// Several rely on values outside the usual 0..1 (a room size above 1,
// widths far outside 0..1). The names are exported as MODELS, so hosts
// and tools can list them.

#include <array>
#include <cstdint>

#include "kqfx/framework/PluginEntry.h"

namespace kqfx {

struct RoomSettings {
  float roomsize;
  float width;
  float compthreshold;
  float compceiling;
};

constexpr int32_t kModelCount = 10;

// In model order, matching MODELS.
constexpr std::array<RoomSettings, kModelCount> kRoomModels{{
    {0.916936f, 1.0f, 0.00001f, 0.2f},  // Classic
    {0.005f, 1.0f, 0.5f, 0.95f},        // Antechamber
    {0.5f, 3.0f, 0.00001f, 0.5f},       // ThroneRoom
    {1.0001f, 0.8f, 0.00001f, 0.45f},   // Grand Hall
    {0.000001f, 0.0f, 1.0f, 1.0f},      // Refectory
    {0.444f, 2.3f, 0.2f, 0.65f},        // Solarium
    {0.01f, -5.0f, 0.00001f, 0.1f},     // Library
    {0.0f, -15.0f, 0.00001f, 0.3f},     // Dungeon
    {0.2f, -25.0f, 0.00001f, 0.1f},     // Ballroom
    {1.0f, -8.0f, 0.00001f, 0.2f},      // Catacombs
}};

}  // namespace kqfx

// The model names, in model order.
extern "C" {
KQFX_EXPORT extern const char* const MODELS[kqfx::kModelCount];
}
