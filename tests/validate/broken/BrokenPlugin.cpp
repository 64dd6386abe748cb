// Deliberately broken plug-ins, one fault each, built only so that the
// validator's tests can see every check catch what it is there to catch.
// Each shared object is built with one BROKEN_* definition; all of them are
// otherwise a plain stereo gain with two parameters.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "kqfx/framework/AEffect.h"

using kqfx::AEffect;
using kqfx::HostCallback;

#if defined(BROKEN_NO_ENTRY)

extern "C" __attribute__((visibility("default"))) int brokenNothingToSeeHere() { return 0; }

#else

namespace {

struct Broken {
  AEffect record{};
  std::atomic<float> gain{0.5f};
  std::atomic<float> other{0.5f};
  // A plain, unguarded value shared between setParameter (any thread) and
  // process: the race the thread check must find.
  float divisor = 1.0f;
  int64_t frames = 0;
};

Broken* brokenOf(AEffect* effect) { return static_cast<Broken*>(effect->object); }

[[maybe_unused]] void spinFor(std::chrono::microseconds span) {
  const auto end = std::chrono::steady_clock::now() + span;
  while (std::chrono::steady_clock::now() < end) {
  }
}

#if defined(BROKEN_BLOCK_EDGES)
// How big the step is: BROKEN_EDGE from the environment, else 1e-3.
float edgeSize() {
  static const float size = [] {
    const char* text = std::getenv("BROKEN_EDGE");
    return text ? std::strtof(text, nullptr) : 1e-3f;
  }();
  return size;
}
#endif

intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t, void* ptr,
                  [[maybe_unused]] float opt) {
#if defined(BROKEN_EDITOR_CRASHES)
  // Like an editor that needs a display even to say its size: any editor
  // opcode without one ends the process.
  if ((opcode >= 13 && opcode <= 21) || (opcode >= 59 && opcode <= 61)) {
    std::fprintf(stderr, "EditorCrashes: no display for opcode %d\n", static_cast<int>(opcode));
    std::abort();
  }
#endif
#if defined(BROKEN_ODD_RATES_CRASH)
  // Made for the rates hosts use, and no others.
  if (opcode == kqfx::opSetSampleRate && (opt < 8000.0f || opt > 384000.0f)) std::abort();
#endif
  switch (opcode) {
    case kqfx::opClose:
      delete brokenOf(effect);
      return 1;
    case kqfx::opGetParameterName:
      std::strcpy(static_cast<char*>(ptr), index == 0 ? "Gain" : "Other");
      return 0;
    case kqfx::opGetParameterLabel:
      std::strcpy(static_cast<char*>(ptr), "");
      return 0;
    case kqfx::opGetParameterDisplay:
      std::strcpy(static_cast<char*>(ptr), index == 0 ? "gain" : "other");
      return 0;
    default:
      return 0;
  }
}

void setParameter(AEffect* effect, int32_t index, float value) {
  Broken* broken = brokenOf(effect);
  if (index == 0) broken->gain.store(value);
  if (index == 1) broken->other.store(value);
#if defined(BROKEN_RACES)
  // Works the new divisor out in place: for a while it is zero, and a
  // process call on another thread may read it then.
  broken->divisor = 0.0f;
  __asm__ __volatile__("" ::: "memory");
  spinFor(std::chrono::microseconds(20));
  broken->divisor = 1.0f + value;
#endif
}

float getParameter(AEffect* effect, int32_t index) {
  Broken* broken = brokenOf(effect);
  return index == 0 ? broken->gain.load() : broken->other.load();
}

void processReplacing(AEffect* effect, float** in, float** out, int32_t frames) {
  Broken* broken = brokenOf(effect);
#if defined(BROKEN_BLOCK_EDGES)
  const float gain = 1.0f;  // so that the signal's peak is the input's
#else
  const float gain = broken->gain.load();
#endif
#if defined(BROKEN_ALLOCATES)
  // A scratch buffer per call.
  float* scratch = new float[static_cast<std::size_t>(frames) + 1];
  for (int c = 0; c < 2; ++c) {
    for (int32_t i = 0; i < frames; ++i) scratch[i] = gain * in[c][i];
    std::memcpy(out[c], scratch, sizeof(float) * static_cast<std::size_t>(frames));
  }
  delete[] scratch;
  return;
#endif
#if defined(BROKEN_SLOW_SILENCE)
  // Much slower whenever the input is silent.
  bool silent = true;
  for (int32_t i = 0; i < frames && silent; ++i) silent = in[0][i] == 0.0f && in[1][i] == 0.0f;
  spinFor(std::chrono::microseconds(silent ? 400 : 10));
#endif
#if defined(BROKEN_CRASHES)
  if (broken->frames > 1000) {
    std::fprintf(stderr, "Crashes: about to write through a null pointer\n");
    volatile int* nowhere = nullptr;
    *nowhere = 1;
  }
#endif
#if defined(BROKEN_HANGS)
  if (broken->frames > 1000) {
    // Every descriptor it inherited closed first, as daemons do: the host
    // sees end of file on anything it shares with this process.
    for (int fd = 0; fd < 1024; ++fd) ::close(fd);
    for (;;) ::pause();
  }
#endif
  for (int c = 0; c < 2; ++c) {
    for (int32_t i = 0; i < frames; ++i) {
      float value = gain * in[c][i];
#if defined(BROKEN_RACES)
      value = value / broken->divisor;
#endif
#if defined(BROKEN_WRITES_NAN)
      // Every 1000th frame of the stream.
      if ((broken->frames + i) % 1000 == 999) value = std::numeric_limits<float>::quiet_NaN();
#endif
#if defined(BROKEN_BLOCK_EDGES)
      // A step at the start of every call: the output depends on how the
      // host cuts the stream into blocks.
      if (i == 0) value += edgeSize();
#endif
      out[c][i] = value;
    }
  }
  broken->frames += frames;
}

void process(AEffect* effect, float** in, float** out, int32_t frames) {
  Broken* broken = brokenOf(effect);
  const float gain = broken->gain.load();
  for (int c = 0; c < 2; ++c) {
    for (int32_t i = 0; i < frames; ++i) out[c][i] += gain * in[c][i];
  }
}

AEffect* create(HostCallback) {
  auto* broken = new (std::nothrow) Broken;
  if (!broken) return nullptr;
  AEffect& r = broken->record;
  r.magic = kqfx::kEffectMagic;
  r.dispatcher = dispatch;
  r.setParameter = setParameter;
  r.getParameter = getParameter;
  r.process = process;
  r.processReplacing = processReplacing;
  r.numParams = 2;
  r.numInputs = 2;
  r.numOutputs = 2;
  r.flags = kqfx::flagCanProcessReplacing;
#if defined(BROKEN_EDITOR_CRASHES)
  r.flags |= 0x1;  // says it has an editor
#endif
  r.object = broken;
  r.uniqueID = kqfx::fourCharCode("BrKn");
  return &r;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(HostCallback host) {
  return create(host);
}

#endif
