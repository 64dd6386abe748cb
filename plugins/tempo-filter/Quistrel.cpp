#include "Quistrel.h"

#include "kqfx/framework/PluginEntry.h"

KQFX_PLUGIN_ENTRY(kqfx::Quistrel)
