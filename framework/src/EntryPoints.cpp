#include "kqfx/framework/EntryPoints.h"

#include <cmath>

#include "kqfx/framework/AudioEffect.h"
#include "kqfx/framework/DenormalGuard.h"

namespace kqfx {

namespace {
AudioEffect* effectOf(AEffect* effect) {
  return effect ? static_cast<AudioEffect*>(effect->object) : nullptr;
}
}  // namespace

intptr_t dispatchEffectClass(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float opt) {
  AudioEffect* object = effectOf(effect);
  if (!object) return 0;
  if (opcode == opClose) {
    object->dispatcher(opcode, index, value, ptr, opt);
    delete object;
    return 1;
  }
  return object->dispatcher(opcode, index, value, ptr, opt);
}

float getParameterClass(AEffect* effect, int32_t index) {
  AudioEffect* object = effectOf(effect);
  return object ? object->getParameter(index) : 0.0f;
}

void setParameterClass(AEffect* effect, int32_t index, float value) {
  AudioEffect* object = effectOf(effect);
  if (object && std::isfinite(value)) object->setParameter(index, value);
}

void processClass(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames) {
  AudioEffect* object = effectOf(effect);
  if (!object) return;
  DenormalGuard guard;
  object->process(inputs, outputs, sampleFrames);
}

void processClassReplacing(AEffect* effect, float** inputs, float** outputs,
                           int32_t sampleFrames) {
  AudioEffect* object = effectOf(effect);
  if (!object) return;
  DenormalGuard guard;
  object->processReplacing(inputs, outputs, sampleFrames);
}

}  // namespace kqfx
