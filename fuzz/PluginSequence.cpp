#include "PluginSequence.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

#include "kqfx/host/PluginInstance.h"
#include "kqfx/host/RenderLoop.h"

namespace kqfx::fuzz {
namespace {

// Reads the bytes front to back; past the end everything is zero.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool done() const { return at_ >= size_; }
  uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint32_t word() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | byte();
    return value;
  }
  // Mostly ordinary values in 0..1, sometimes anything at all.
  float parameterValue() {
    const uint8_t kind = byte();
    if (kind < 200) return static_cast<float>(byte()) / 255.0f;
    const uint32_t bits = word();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  // Mostly noise-like values, sometimes silence, extremes or garbage.
  float sample(uint32_t& noise) {
    noise = noise * 1664525u + 1013904223u;
    switch (byte() % 16) {
      case 0: return 0.0f;
      case 1: return std::numeric_limits<float>::quiet_NaN();
      case 2: return std::numeric_limits<float>::infinity();
      case 3: return 1e30f;
      case 4: return std::numeric_limits<float>::denorm_min();
      default: return static_cast<float>(static_cast<int32_t>(noise)) / 2147483648.0f;
    }
  }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

constexpr float kRates[] = {44100.0f, 48000.0f, 96000.0f, 8000.0f, 192000.0f,
                            1.0f,     768000.0f, 22050.0f, 0.0f,   -1.0f};
constexpr int32_t kBlocks[] = {512, 64, 1, 17, 4096, kMaxSessionBlock, 128, 3};

// The opcodes asked with a zeroed scratch buffer: everything but close
// (that ends the session) and the editor (it needs a window).
bool askable(int32_t opcode) {
  return opcode != opClose && opcode != opEditorOpen && opcode != opSetSampleRate &&
         opcode != opSetBlockSize && opcode != opSuspendResume &&
         opcode != opSetBlockSizeAndSampleRate;
}

}  // namespace

void runPluginSession(const host::PluginLibrary& library, const uint8_t* data, std::size_t size) {
  ByteReader bytes(data, size);
  host::PluginInstance plugin(library);
  const AEffect& record = plugin.record();
  if (record.numInputs < 0 || record.numOutputs < 1 || record.numInputs > host::kMaxPluginChannels ||
      record.numOutputs > host::kMaxPluginChannels) {
    return;
  }
  const std::size_t inputs = static_cast<std::size_t>(std::max(record.numInputs, 2));
  const std::size_t outputs = static_cast<std::size_t>(std::max(record.numOutputs, 2));
  std::vector<std::vector<float>> in(inputs, std::vector<float>(kMaxSessionBlock));
  std::vector<std::vector<float>> out(outputs, std::vector<float>(kMaxSessionBlock));
  std::vector<float*> inPointers(inputs);
  std::vector<float*> outPointers(outputs);
  alignas(16) std::array<char, 4096> scratch{};
  alignas(16) std::array<char, 4096> arrangement{};
  uint32_t noise = 1;

  plugin.dispatch(opOpen);
  int32_t block = 512;
  plugin.dispatch(opSetSampleRate, 0, 0, nullptr, 44100.0f);
  plugin.dispatch(opSetBlockSize, 0, block);
  bool resumed = false;
  const int32_t params = std::max(record.numParams, 0);

  for (int step = 0; step < 1024 && !bytes.done(); ++step) {
    switch (bytes.byte() % 8) {
      case 0: {  // a parameter write, sometimes out of range or of a wrong index
        const int32_t index = static_cast<int32_t>(bytes.byte() % (params + 2)) - 1;
        plugin.setParameter(index, bytes.parameterValue());
        break;
      }
      case 1: {  // read back: value and texts
        const int32_t index = static_cast<int32_t>(bytes.byte() % (params + 2)) - 1;
        (void)plugin.getParameter(index);
        (void)plugin.parameterDisplay(index);
        (void)plugin.parameterName(index);
        (void)plugin.parameterLabel(index);
        break;
      }
      case 2: {  // suspend or resume
        if (resumed) plugin.suspend(); else plugin.resume();
        resumed = !resumed;
        break;
      }
      case 3: {  // a new rate and block size, between suspend and resume
        if (resumed) plugin.suspend();
        const float rate = kRates[bytes.byte() % std::size(kRates)];
        block = kBlocks[bytes.byte() % std::size(kBlocks)];
        plugin.dispatch(opSetSampleRate, 0, 0, nullptr, rate);
        plugin.dispatch(opSetBlockSize, 0, block);
        if (resumed) plugin.resume();
        break;
      }
      case 4: {  // any other opcode with neutral arguments
        const int32_t opcode = static_cast<int32_t>(bytes.byte() % 62) - 1;
        if (!askable(opcode)) break;
        scratch.fill(0);
        arrangement.fill(0);
        const int32_t index = static_cast<int32_t>(bytes.byte() % 4);
        const intptr_t value = opcode == opSetSpeakerArrangement
                                   ? reinterpret_cast<intptr_t>(arrangement.data())
                                   : 0;
        plugin.dispatch(opcode, index, value, scratch.data(), 0.0f);
        break;
      }
      case 5: {  // a program name, unterminated within the plug-in's limits
        scratch.fill(0);
        const std::size_t length = bytes.byte();
        for (std::size_t i = 0; i < length; ++i) scratch[i] = static_cast<char>(bytes.byte() | 1);
        plugin.dispatch(opSetProgramName, 0, 0, scratch.data());
        break;
      }
      default: {  // audio: replacing, in place, or accumulating
        if (!resumed) break;
        const int32_t frames =
            static_cast<int32_t>((static_cast<uint32_t>(bytes.byte()) << 8 | bytes.byte()) %
                                 static_cast<uint32_t>(block + 1));
        const uint8_t how = bytes.byte() % 3;
        const bool hard = bytes.byte() < 16;
        for (std::size_t c = 0; c < inputs; ++c) {
          for (int32_t i = 0; i < frames; ++i) {
            noise = noise * 1664525u + 1013904223u;
            in[c][static_cast<std::size_t>(i)] =
                hard ? bytes.sample(noise)
                     : static_cast<float>(static_cast<int32_t>(noise)) / 4294967296.0f;
          }
        }
        for (std::size_t c = 0; c < inputs; ++c) inPointers[c] = in[c].data();
        for (std::size_t c = 0; c < outputs; ++c) outPointers[c] = out[c].data();
        const bool replacing = (record.flags & flagCanProcessReplacing) != 0;
        if (how == 2 || !replacing) {
          for (std::vector<float>& channel : out) std::fill(channel.begin(), channel.end(), 0.0f);
          plugin.process(inPointers.data(), outPointers.data(), frames);
        } else if (how == 1 && inputs == outputs) {
          for (std::size_t c = 0; c < inputs; ++c) std::copy(in[c].begin(), in[c].end(), out[c].begin());
          plugin.processReplacing(outPointers.data(), outPointers.data(), frames);
        } else {
          plugin.processReplacing(inPointers.data(), outPointers.data(), frames);
        }
        break;
      }
    }
  }
  if (resumed) plugin.suspend();
}

}  // namespace kqfx::fuzz
