#include "Morvane.h"

#include "kqfx/framework/PluginEntry.h"

KQFX_PLUGIN_ENTRY(kqfx::Morvane)

// The shelf tables, for whoever loads the plug-in.
extern "C" {
KQFX_EXPORT extern const float FREQUENCIES[kqfx::kShelfCount];
KQFX_EXPORT extern const float GAIN_COEFFICIENTS[kqfx::kShelfCount];
KQFX_EXPORT extern const float Y_COEFFICIENTS[kqfx::kShelfCount];
const float FREQUENCIES[kqfx::kShelfCount] = {KQFX_SHELF_FREQUENCIES};
const float GAIN_COEFFICIENTS[kqfx::kShelfCount] = {KQFX_SHELF_GAIN_COEFFICIENTS};
const float Y_COEFFICIENTS[kqfx::kShelfCount] = {KQFX_SHELF_Y_COEFFICIENTS};
}
