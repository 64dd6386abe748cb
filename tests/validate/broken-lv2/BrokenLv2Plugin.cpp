// Deliberately broken LV2 plug-ins, one fault each, built only so that the
// validator's tests can see its LV2 rig catch them, and one that is right
// but easy to misjudge. Each shared object is built with one BROKEN_*
// definition; otherwise a plain stereo gain with one control input.
#include <lv2/core/lv2.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

enum Port : uint32_t { kInLeft, kInRight, kOutLeft, kOutRight, kGain, kSize, kPorts };

struct Broken {
  const float* ports[kPorts] = {};
  float* outputs[2] = {};
  bool ran = false;
  float size = 0.0f;
  bool lost = false;
  bool louder = false;
};

#if defined(BROKEN_UNSTEADY)
// Counts its instances, across processes, in the file the environment
// variable KQFX_TEST_INSTANCE_COUNT names.
int nextInstance() {
  const char* path = std::getenv("KQFX_TEST_INSTANCE_COUNT");
  if (!path) return 0;
  int count = 0;
  if (FILE* file = std::fopen(path, "r")) {
    if (std::fscanf(file, "%d", &count) != 1) count = 0;
    std::fclose(file);
  }
  if (FILE* file = std::fopen(path, "w")) {
    std::fprintf(file, "%d", ++count);
    std::fclose(file);
  }
  return count;
}
#endif

LV2_Handle instantiate(const LV2_Descriptor*, double, const char*, const LV2_Feature* const*) {
  Broken* broken = new (std::nothrow) Broken;
#if defined(BROKEN_UNSTEADY)
  // The fifth instance renders louder: after loading, reading the
  // parameters and two renders alike, the first render with the ports
  // moved in a connections check, or in place in an in-place check.
  if (broken && nextInstance() == 5) broken->louder = true;
#endif
  return broken;
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
  Broken& broken = *static_cast<Broken*>(handle);
  if (port >= kPorts) return;
#if defined(BROKEN_KEEPS_BUFFERS)
  // Keeps the buffers it first ran with, ignoring every later connection.
  if (broken.ran) return;
#endif
  broken.ports[port] = static_cast<const float*>(data);
  if (port == kOutLeft || port == kOutRight) broken.outputs[port - kOutLeft] = static_cast<float*>(data);
}

void run(LV2_Handle handle, uint32_t frames) {
  Broken& broken = *static_cast<Broken*>(handle);
#if defined(BROKEN_ALLOCATES_IN_RUN)
  // A scratch buffer per call: exactly what run must never do.
  void* volatile scratch = std::malloc(frames * sizeof(float) + 1);
  std::free(scratch);
#endif
#if defined(BROKEN_EXPENSIVE_SIZE)
  // Rebuilds its tables, allocating, when "size" changes between runs: a
  // port it declares costly to change, which hosts leave standing.
  if (broken.ran && *broken.ports[kSize] != broken.size) {
    void* volatile tables = std::malloc(1024);
    std::free(tables);
  }
  if (broken.ports[kSize]) broken.size = *broken.ports[kSize];
  // It takes only sizes in its range, as it declares: one outside loses
  // its tables for good.
  if (!(broken.size >= 1.0f && broken.size <= 8.0f)) broken.lost = true;
#endif
  broken.ran = true;
  const float gain = broken.lost ? NAN : *broken.ports[kGain] * (broken.louder ? 1.5f : 1.0f);
  for (uint32_t i = 0; i < frames; ++i) {
    broken.outputs[0][i] = gain * broken.ports[kInLeft][i];
    broken.outputs[1][i] = gain * broken.ports[kInRight][i];
  }
}

void cleanup(LV2_Handle handle) { delete static_cast<Broken*>(handle); }

#if defined(BROKEN_KEEPS_BUFFERS)
constexpr const char* kUri = "urn:kqfx-test:KeepsBuffers";
#elif defined(BROKEN_EXPENSIVE_SIZE)
constexpr const char* kUri = "urn:kqfx-test:ExpensiveSize";
#elif defined(BROKEN_UNSTEADY)
constexpr const char* kUri = "urn:kqfx-test:Unsteady";
#else
constexpr const char* kUri = "urn:kqfx-test:AllocatesInRun";
#endif

const LV2_Descriptor kDescriptor = {kUri, instantiate, connectPort, nullptr, run, nullptr, cleanup, nullptr};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
