// Loading, and the life of instances: opened and closed cold and warm,
// several side by side, every opcode answered.
#include <array>
#include <memory>
#include <vector>

#include "CheckSupport.h"
#include "Checks.h"
#include "TracedPlugin.h"
#include "Vst2Rig.h"

namespace kqfx::command::validate {
namespace {

constexpr int32_t kFlagHasEditor = 0x1;

// The opcodes that draw, size, feed or drive an editor: 13 to 21, and the
// editor's key and knob-mode opcodes 59 to 61.
bool isEditorOpcode(int32_t opcode) {
  return (opcode >= opEditorGetRect && opcode <= 21) || (opcode >= 59 && opcode <= 61);
}

std::string identity(const TracedPlugin& plugin) {
  const AEffect& record = plugin.record();
  std::string id;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((static_cast<uint32_t>(record.uniqueID) >> shift) & 0xFFu);
    id += (c >= 32 && c < 127) ? c : '?';
  }
  return "id '" + id + "', " + std::to_string(record.numInputs) + " in, " +
         std::to_string(record.numOutputs) + " out, " + std::to_string(record.numParams) +
         " parameters";
}

// Opens and closes one instance, as hosts do when they scan.
void openAndClose(const host::PluginLibrary& library) {
  TracedPlugin plugin(library);
  plugin.dispatch(opOpen);
  plugin.dispatch(opSetSampleRate, 0, 0, nullptr, 44100.0f);
  plugin.dispatch(opSetBlockSize, 0, 512);
  plugin.resume();
  plugin.suspend();
}

}  // namespace

CheckOutcome checkLoading(const CheckContext& context) {
  if (context.format() == PluginFormat::lv2) return checkLv2Loading(context);
  TracedPlugin plugin(context.library());
  return CheckOutcome::passed("entry '" + context.library().entryName() + "' answered a record: " +
                              identity(plugin));
}

CheckOutcome checkLifecycle(const CheckContext& context) {
  if (context.format() == PluginFormat::lv2) return checkLv2Lifecycle(context);
  const int cycles = context.scaled(10);
  for (int i = 0; i < cycles; ++i) {
    host::PluginLibrary cold(context.library().path());
    openAndClose(cold);
  }
  for (int i = 0; i < cycles; ++i) openAndClose(context.library());

  // Side by side: four instances processing in turn, closed in another
  // order than they were opened.
  constexpr int kSideBySide = 4;
  std::vector<std::unique_ptr<PluginRig>> rigs;
  for (int i = 0; i < kSideBySide; ++i) {
    rigs.push_back(std::make_unique<Vst2Rig>(context.library(), 44100.0f, 256));
    rigs.back()->resume();
  }
  Noise noise(context.settings.seed);
  std::vector<SampleCounts> counts(kSideBySide);
  std::vector<int64_t> at(kSideBySide, 0);
  for (int block = 0; block < context.scaled(20); ++block) {
    for (int i = 0; i < kSideBySide; ++i) {
      renderNoise(*rigs[static_cast<std::size_t>(i)], noise, 256, 256,
                  counts[static_cast<std::size_t>(i)], at[static_cast<std::size_t>(i)]);
    }
  }
  for (int i = 0; i < kSideBySide; ++i) {
    if (!counts[static_cast<std::size_t>(i)].allFinite()) {
      return CheckOutcome::failed("instance " + std::to_string(i + 1) + " of " +
                                  std::to_string(kSideBySide) + " side by side wrote " +
                                  counts[static_cast<std::size_t>(i)].describeNonFinite() +
                                  " samples");
    }
  }
  rigs[1].reset();
  rigs[3].reset();
  rigs[0].reset();
  rigs[2].reset();

  // Every opcode with neutral arguments: zeroed memory wherever one is
  // pointed to; close comes last. The editor's opcodes only with --gui, as
  // hosts never touch an editor without a window to put it in; even then
  // the editor is opened only by plug-ins without one (they must ignore
  // it), the editor check opens real ones.
  TracedPlugin plugin(context.library());
  alignas(16) std::array<char, 4096> scratch{};
  alignas(16) std::array<char, 4096> arrangement{};
  const bool hasEditor = (plugin.record().flags & kFlagHasEditor) != 0;
  const bool editorAllowed = context.settings.gui && displayAvailable();
  int answered = 0;
  for (int32_t opcode = -1; opcode <= 60; ++opcode) {
    if (opcode == opClose || (opcode == opEditorOpen && hasEditor)) continue;
    if (isEditorOpcode(opcode) && !editorAllowed) continue;
    scratch.fill(0);
    arrangement.fill(0);
    // The rate and the block size as a host sets them: no host sends 0.
    const bool setsRateOrBlock = opcode == opSetSampleRate || opcode == opSetBlockSize ||
                                 opcode == opSetBlockSizeAndSampleRate;
    const intptr_t value =
        opcode == opSetSpeakerArrangement ? reinterpret_cast<intptr_t>(arrangement.data())
        : setsRateOrBlock                 ? 512
                                          : 0;
    plugin.dispatch(opcode, 0, value, scratch.data(), setsRateOrBlock ? 44100.0f : 0.0f);
    ++answered;
  }
  plugin.close();
  ++answered;
  return CheckOutcome::passed(std::to_string(cycles) + " cold and " + std::to_string(cycles) +
                              " warm open/close cycles, " + std::to_string(kSideBySide) +
                              " instances side by side, " + std::to_string(answered) +
                              " opcodes answered" +
                              (editorAllowed ? std::string(hasEditor ? " (the editor itself not opened here)" : "")
                                            : std::string(" (the editor's left alone without ") +
                                                  (context.settings.gui ? "a display)" : "--gui)")));
}

}  // namespace kqfx::command::validate
