#pragma once
// The shape every kqfx effect shares, written once: a stereo effect with
// one program named "default", a table of parameters (name, label, ramp,
// initial value), one SmoothParameter per parameter, `suspend` rebuilding
// the smoothers from where they stand, and the process loop, which checks
// the host's buffers, splits each block into chunks of at most
// kChunkFrames frames and hands the effect one chunk at a time, either
// overwriting or adding to the outputs.
//
// An effect derives as
//   class Foo : public StereoEffect<Foo, N, Law>
// (Law: the GainLaw of its "Input Gain" parameter, found by that name in
// the table; leave it out for an effect without one), hands its table,
// `static constexpr ParameterTable kParameters`, to the constructor, and
// provides:
//   template <class Output> void renderChunk(const Chunk& chunk);
//       audio thread; no allocation, locks, system calls or throws.
//       chunk.inL/inR/outL/outR hold chunk.frames frames (1..kChunkFrames)
//       of the host's buffers, which may be shared or overlap as the host
//       likes. Output::store(out[i], value) writes or adds one sample.
//       chunk[k] is parameter k over the chunk: steady() with its one
//       value, or gliding with values[i] for frame i (at(i) reads either).
//       chunk.gain is the "Input Gain" factor the same way: one factor
//       when the gain is steady, the frames' factors otherwise (worked out
//       side by side on the effect's lane path, bit for bit the law's own).
//       chunk.allSteady: no parameter changes in this chunk (nor, while
//       it holds at a block's start, in the rest of the block), so
//       settings worked out from the values may be kept.
//       An effect with `static constexpr bool kSteadyChunksWhole = true;`
//       gets a steady rest of a block as one chunk of any length; only its
//       gliding chunks are bounded by kChunkFrames.
//       Copy the ChunkParameters a loop reads into locals first: a store
//       to an output float may otherwise alias them and force a reload
//       every frame.
//   void displayValue(int32_t index, float target, char* text);
//       host thread; the value text of a valid parameter index.
// and may provide `void restart()` (host thread, after the smoothers were
// rebuilt by `suspend`) for its own delay lines, counters or LFOs.
//
// The values a chunk hands out are exactly those of ticking every smoother
// once per frame: a steady smoother (see SmoothParameter::isSteady) is read
// once and its ticks skipped, a gliding one hands out its next values. A
// host write from another thread is taken up at the next chunk. An effect
// that still renders whole blocks itself may instead provide
//   template <class Output> void render(const float* inL, const float* inR,
//                                       float* outL, float* outR, int32_t n);
// and read its smoothers through smoother(), allSteady() and skipAllTicks().

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "kqfx/dsp/CachedGain.h"
#include "kqfx/dsp/SmoothParameter.h"
#include "kqfx/framework/AudioEffect.h"

namespace kqfx {

struct ParameterInfo {
  const char* name;
  const char* label;
  float initialValue;
  int32_t rampLength = SmoothParameter::kDefaultRamp;
};

// Output policies of `renderChunk`.
struct ReplaceOutput {
  static void store(float& out, float value) { out = value; }
};
struct AddToOutput {
  static void store(float& out, float value) { out += value; }
};

// One parameter (or the input gain's factor) over a chunk: one value for
// every frame while steady, else a value per frame.
struct ChunkParameter {
  float value = 0.0f;              // steady: every frame's; gliding: frame 0's
  const float* values = nullptr;   // gliding: frame i's; null while steady
  bool steady() const { return values == nullptr; }
  float at(int32_t frame) const { return values ? values[frame] : value; }
};

inline constexpr int32_t kChunkFrames = 64;

template <std::size_t NumParams>
struct Chunk {
  const float* inL = nullptr;
  const float* inR = nullptr;
  float* outL = nullptr;
  float* outR = nullptr;
  int32_t frames = 0;
  bool allSteady = false;
  std::array<ChunkParameter, NumParams> parameters{};
  ChunkParameter gain{1.0f, nullptr};  // the "Input Gain" factors; 1 without one

  const ChunkParameter& operator[](int32_t index) const {
    return parameters[static_cast<std::size_t>(index)];
  }
};

// The law of an effect without an "Input Gain".
struct NoInputGain {};

template <class Derived, std::size_t NumParams, class Law = NoInputGain>
class StereoEffect : public AudioEffect {
 public:
  using ParameterTable = std::array<ParameterInfo, NumParams>;
  using Chunk = kqfx::Chunk<NumParams>;
  static constexpr int32_t kNumParams = static_cast<int32_t>(NumParams);
  static constexpr bool kHasInputGain = !std::is_same_v<Law, NoInputGain>;

  StereoEffect(HostCallback callback, int32_t uniqueId, const ParameterTable& parameters)
      : AudioEffect(callback, 1, kNumParams), parameters_(parameters) {
    for (std::size_t i = 0; i < NumParams; ++i) {
      smoothers_[i].reset(parameters[i].rampLength, parameters[i].initialValue);
    }
    effectRecord.numInputs = 2;
    effectRecord.numOutputs = 2;
    effectRecord.uniqueID = uniqueId;
    canMono(true);
    canProcessReplacing(true);
    std::strcpy(programName_, "default");
  }

  // Any thread. Writes the target of the parameter's smoother.
  void setParameter(int32_t index, float value) override {
    if (isParameter(index)) smoothers_[index].setTargetValue(value);
  }

  // Any thread. The value last set, not the glide in progress.
  float getParameter(int32_t index) override {
    return isParameter(index) ? smoothers_[index].getTargetValue() : 0.0f;
  }

  // Host thread. Texts of other indices are left untouched.
  void getParameterName(int32_t index, char* text) override {
    if (isParameter(index)) std::strcpy(text, parameters_[index].name);
  }
  void getParameterLabel(int32_t index, char* label) override {
    if (isParameter(index)) std::strcpy(label, parameters_[index].label);
  }
  void getParameterDisplay(int32_t index, char* text) override {
    if (isParameter(index)) {
      derived().displayValue(index, smoothers_[index].getTargetValue(), text);
    }
  }

  // Host thread. Names longer than 31 characters are cut.
  void setProgramName(char* name) override {
    std::strncpy(programName_, name, kProgramNameSize - 1);
    programName_[kProgramNameSize - 1] = '\0';
  }
  void getProgramName(char* name) override { std::strcpy(name, programName_); }

  // Host thread, never during a process call. Every glide stops where it
  // stands and its value becomes the new target; then the effect restarts
  // its own state.
  void suspend() override {
    for (SmoothParameter& smoother : smoothers_) {
      smoother.reset(smoother.rampLength(), smoother.getCurrentValue());
    }
    derived().restart();
  }

  // Audio thread.
  void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override {
    run<ReplaceOutput>(inputs, outputs, sampleFrames);
  }
  void process(float** inputs, float** outputs, int32_t sampleFrames) override {
    run<AddToOutput>(inputs, outputs, sampleFrames);
  }

  // Default: nothing of the effect's own to restart.
  void restart() {}

  // Audio thread; n > 0. The block a chunk at a time through the effect's
  // renderChunk (an effect's own `render` hides this one).
  template <class Output>
  void render(const float* inL, const float* inR, float* outL, float* outR, int32_t n) {
    // Most blocks are steady from their start: that path stays short, the
    // glides are worked through out of line.
    if (readSteady(n)) [[likely]] {
      renderSteady<Output>(inL, inR, outL, outR, 0, n);
    } else {
      renderGliding<Output>(inL, inR, outL, outR, n);
    }
  }

 protected:
  SmoothParameter& smoother(int32_t index) { return smoothers_[static_cast<std::size_t>(index)]; }

  // Audio thread. True when no parameter can change a bit of its current
  // value over any number of frames: a block may then read every value
  // once, work its settings out once, and account for its frames with
  // skipAllTicks(n) instead of ticking each frame.
  bool allSteady() {
    for (SmoothParameter& smoother : smoothers_) {
      if (!smoother.isSteady()) return false;
    }
    return true;
  }

  // Audio thread, only after allSteady(): stands for n ticks of every
  // parameter.
  void skipAllTicks(int32_t n) {
    for (SmoothParameter& smoother : smoothers_) smoother.skipTicks(n);
  }

 private:
  static bool isParameter(int32_t index) { return index >= 0 && index < kNumParams; }
  Derived& derived() { return static_cast<Derived&>(*this); }

  // When every parameter is steady: each read once for the rest of the
  // block (`frames` frames), its ticks skipped at once.
  bool readSteady(int32_t frames) {
    for (SmoothParameter& smoother : smoothers_) {
      if (!smoother.isSteady()) return false;
    }
    for (std::size_t k = 0; k < NumParams; ++k) {
      chunk_.parameters[k] = {smoothers_[k].steadyValue(), nullptr};
      smoothers_[k].skipTicks(frames);
    }
    chunk_.allSteady = true;
    readGain(frames);
    return true;
  }

  // Every parameter steady from frame `done` to the block's end `n`: the
  // rest of the block with these values, as one chunk for an effect that
  // takes steady chunks of any length.
  template <class Output>
  void renderSteady(const float* inL, const float* inR, float* outL, float* outR, int32_t done,
                    int32_t n) {
    if constexpr (requires { requires Derived::kSteadyChunksWhole; }) {
      renderAt<Output>(inL, inR, outL, outR, done, n - done, n - done);
    } else {
      for (; done < n; done += kChunkFrames) renderAt<Output>(inL, inR, outL, outR, done, n - done);
    }
  }

  // Some parameter glides at the block's start: gliding chunks until every
  // parameter stands, then the steady rest.
  template <class Output>
  [[gnu::noinline]] void renderGliding(const float* inL, const float* inR, float* outL,
                                       float* outR, int32_t n) {
    int32_t done = 0;
    do {
      const int32_t m = n - done < kChunkFrames ? n - done : kChunkFrames;
      readChunk(m);
      renderAt<Output>(inL, inR, outL, outR, done, m);
      done += m;
    } while (done < n && !readSteady(n - done));
    if (done < n) renderSteady<Output>(inL, inR, outL, outR, done, n);
  }

  // The chunk from frame `start` of the block, `left` frames to go.
  template <class Output>
  void renderAt(const float* inL, const float* inR, float* outL, float* outR, int32_t start,
                int32_t left, int32_t most = kChunkFrames) {
    chunk_.inL = inL + start;
    chunk_.inR = inR + start;
    chunk_.outL = outL + start;
    chunk_.outR = outR + start;
    chunk_.frames = left < most ? left : most;
    derived().template renderChunk<Output>(chunk_);
  }

  // Some parameter glides: each steady one read once, each gliding one
  // ticked m times into its row.
  void readChunk(int32_t m) {
    for (std::size_t k = 0; k < NumParams; ++k) {
      SmoothParameter& smoother = smoothers_[k];
      if (smoother.isSteady()) {
        chunk_.parameters[k] = {smoother.steadyValue(), nullptr};
        smoother.skipTicks(m);
      } else {
        smoother.nextValues(glides_[k], m);
        chunk_.parameters[k] = {glides_[k][0], glides_[k]};
      }
    }
    chunk_.allSteady = false;
    readGain(m);
  }

  // The index of "Input Gain" in the effect's table; -1 without one.
  static constexpr int32_t gainIndexIn(const ParameterTable& table) {
    for (std::size_t i = 0; i < NumParams; ++i) {
      if (std::string_view(table[i].name) == "Input Gain") return static_cast<int32_t>(i);
    }
    return -1;
  }

  void readGain(int32_t m) {
    if constexpr (kHasInputGain) {
      constexpr int32_t kGainIndex = gainIndexIn(Derived::kParameters);
      static_assert(kGainIndex >= 0, "an effect with a gain law has an \"Input Gain\"");
      const ChunkParameter& gain = chunk_.parameters[static_cast<std::size_t>(kGainIndex)];
      if (gain.steady()) {
        chunk_.gain = {gainCache_.factor(gain.value), nullptr};
      } else {
        gainCache_.factors(gain.values, gainFactors_, m);
        chunk_.gain = {gainFactors_[0], gainFactors_};
      }
    } else {
      chunk_.gain = {1.0f, nullptr};
    }
  }

  template <class Output>
  void run(float** inputs, float** outputs, int32_t sampleFrames) {
    if (sampleFrames <= 0 || !inputs || !outputs) return;
    if (!inputs[0] || !inputs[1] || !outputs[0] || !outputs[1]) return;
    derived().template render<Output>(inputs[0], inputs[1], outputs[0], outputs[1],
                                      sampleFrames);
  }

  struct NoGainCache {};
  using GainCache = std::conditional_t<kHasInputGain, CachedGain<Law>, NoGainCache>;

  const ParameterTable& parameters_;
  std::array<SmoothParameter, NumParams> smoothers_;
  [[no_unique_address]] GainCache gainCache_;
  Chunk chunk_;
  alignas(16) float glides_[NumParams][kChunkFrames] = {};
  alignas(16) float gainFactors_[kChunkFrames] = {};
  char programName_[kProgramNameSize] = {};
};

}  // namespace kqfx
