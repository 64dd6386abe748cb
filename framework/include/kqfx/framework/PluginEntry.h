#pragma once
// What every deliverable exports. A plug-in's entry file says
//
//     KQFX_PLUGIN_ENTRY(MyEffect)
//
// once, and gets `main_plugin` and `VSTPluginMain` (the name Linux hosts
// look for) creating MyEffect, plus the data symbols `oome`, `hostCanDos`
// and `plugCanDos`. Everything else in the shared object stays hidden.

#include <memory>
#include <new>

#include "kqfx/framework/AEffect.h"
#include "kqfx/framework/AudioEffect.h"
#include "kqfx/framework/CanDoTables.h"

#define KQFX_EXPORT __attribute__((visibility("default")))

namespace kqfx {

// Host thread. Asks the host's protocol version, builds the effect and
// hands out its record. Answers null, with nothing left allocated, when
// there is no callback, the host answers version 0, construction fails in
// any way, or `outOfMemory` is set afterwards. No exception leaves here.
template <class Effect>
AEffect* createEffect(HostCallback callback, const bool& outOfMemory) noexcept {
  if (!callback) return nullptr;
  try {
    if (callback(nullptr, cbVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    std::unique_ptr<AudioEffect> effect = std::make_unique<Effect>(callback);
    if (outOfMemory) return nullptr;
    return effect.release()->getAeffect();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace kqfx

#define KQFX_PLUGIN_ENTRY(EffectClass)                                                    \
  extern "C" {                                                                            \
  KQFX_EXPORT bool oome = false;                                                          \
  KQFX_EXPORT extern const char* const hostCanDos[kqfx::kHostCanDoCount];                 \
  const char* const hostCanDos[kqfx::kHostCanDoCount] = {KQFX_HOST_CAN_DOS};  \
  KQFX_EXPORT extern const char* const plugCanDos[kqfx::kPlugCanDoCount];                 \
  const char* const plugCanDos[kqfx::kPlugCanDoCount] = {KQFX_PLUG_CAN_DOS};  \
  KQFX_EXPORT kqfx::AEffect* main_plugin(kqfx::HostCallback callback) {                   \
    return kqfx::createEffect<EffectClass>(callback, oome);                               \
  }                                                                                       \
  KQFX_EXPORT kqfx::AEffect* VSTPluginMain(kqfx::HostCallback callback) {                 \
    return main_plugin(callback);                                                         \
  }                                                                                       \
  }
