#pragma once
// The five plain functions the record points to. Each finds the effect
// through the record's `object` field and forwards to its operation.

#include "kqfx/framework/AEffect.h"

namespace kqfx {

// Host thread. Opcode 1 closes and then destroys the effect; answers 1.
intptr_t dispatchEffectClass(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float opt);
// Either thread.
float getParameterClass(AEffect* effect, int32_t index);
// Either thread. Values that are not finite are ignored: the old value stays.
void setParameterClass(AEffect* effect, int32_t index, float value);
// Audio thread. Both run with subnormal numbers flushed to zero and leave the
// caller's floating-point control state as they found it.
void processClass(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
void processClassReplacing(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);

}  // namespace kqfx
