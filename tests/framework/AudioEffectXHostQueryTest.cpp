// The extended requests to the host: where each one puts its arguments,
// how the host's answer is read, and what it answers without a callback.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "RecordingHost.h"
#include "kqfx/framework/AudioEffectX.h"

namespace kqfx {
namespace {

using test::RecordingHost;

class PlainEffectX : public AudioEffectX {
 public:
  explicit PlainEffectX(HostCallback callback) : AudioEffectX(callback, 1, 3) {}
};

// Stand-ins for the effect's and the host's records; only their addresses count.
struct Memory {
  char text[32] = "text";
  char audioFiles[64] = {};
  char task[64] = {};
  char events[64] = {};
  char window[64] = {};
  char inputArrangement[64] = {};
  char outputArrangement[64] = {};
  char vendorData[64] = {};
};

template <class Record>
Record* as(char* memory) {
  return reinterpret_cast<Record*>(memory);
}

intptr_t addressOf(const void* p) { return reinterpret_cast<intptr_t>(p); }

using Answer = std::optional<intptr_t>;  // nullopt: the query answers nothing

struct QueryRow {
  const char* name;
  std::function<Answer(AudioEffectX&, Memory&)> ask;
  int32_t opcode;
  int32_t index;
  std::function<intptr_t(Memory&)> value;
  std::function<void*(Memory&)> ptr;
  float opt;
  std::array<Answer, 5> answers;  // to host answers 0, 1, 5, -5, 1 << 31
  Answer fallback;
};

constexpr std::array<intptr_t, 5> kHostAnswers = {0, 1, 5, -5, intptr_t{1} << 31};

intptr_t none(Memory&) { return 0; }
void* noPointer(Memory&) { return nullptr; }

template <class Result>
Answer number(Result result) {
  return static_cast<intptr_t>(result);
}
Answer address(const void* p) { return addressOf(p); }

constexpr std::array<Answer, 5> kNothing = {};
constexpr std::array<Answer, 5> kYesNo = {0, 1, 1, 1, 1};
// The host's answer read as a 32-bit number.
constexpr std::array<Answer, 5> kInt32 = {0, 1, 5, -5, std::numeric_limits<int32_t>::min()};
// The host's answer read as an address.
constexpr std::array<Answer, 5> kAddress = {0, 1, 5, -5, intptr_t{1} << 31};

// The effect's rate and block size are set to these before each query, so
// the two update requests show that they answer the stored values.
constexpr float kStoredRate = 22050.0f;
constexpr int32_t kStoredBlock = 333;

const std::vector<QueryRow>& queryRows() {
  static const std::vector<QueryRow> rows = {
      {"wantEvents", [](AudioEffectX& e, Memory&) { e.wantEvents(0x3F); return Answer{}; },
       cbWantEvents, 0, [](Memory&) -> intptr_t { return 0x3F; }, noPointer, 0.0f, kNothing,
       std::nullopt},
      {"getTimeInfo", [](AudioEffectX& e, Memory&) { return address(e.getTimeInfo(0x2A00)); },
       cbGetTimeInfo, 0, [](Memory&) -> intptr_t { return 0x2A00; }, noPointer, 0.0f, kAddress, 0},
      {"sendVstEventsToHost",
       [](AudioEffectX& e, Memory& m) { return number(e.sendVstEventsToHost(as<VstEvents>(m.events))); },
       cbProcessEvents, 0, none, [](Memory& m) -> void* { return m.events; }, 0.0f,
       {0, 1, 0, 0, 0}, 0},
      {"tempoAt", [](AudioEffectX& e, Memory&) { return number(e.tempoAt(132300)); }, cbTempoAt, 0,
       [](Memory&) -> intptr_t { return 132300; }, noPointer, 0.0f, kInt32, 0},
      {"getNumAutomatableParameters",
       [](AudioEffectX& e, Memory&) { return number(e.getNumAutomatableParameters()); },
       cbGetNumAutomatableParameters, 0, none, noPointer, 0.0f, kInt32, 0},
      {"getParameterQuantization",
       [](AudioEffectX& e, Memory&) { return number(e.getParameterQuantization()); },
       cbGetParameterQuantization, 0, none, noPointer, 0.0f, kInt32, 0},
      {"ioChanged", [](AudioEffectX& e, Memory&) { return number(e.ioChanged()); }, cbIoChanged, 0,
       none, noPointer, 0.0f, kYesNo, 0},
      {"needIdle", [](AudioEffectX& e, Memory&) { return number(e.needIdle()); }, cbNeedIdle, 0,
       none, noPointer, 0.0f, kYesNo, 0},
      {"sizeWindow", [](AudioEffectX& e, Memory&) { return number(e.sizeWindow(640, 480)); },
       cbSizeWindow, 640, [](Memory&) -> intptr_t { return 480; }, noPointer, 0.0f, kYesNo, 0},
      {"updateSampleRate", [](AudioEffectX& e, Memory&) { return number(e.updateSampleRate()); },
       cbGetSampleRate, 0, none, noPointer, 0.0f,
       {22050, 22050, 22050, 22050, 22050}, 22050},
      {"updateBlockSize", [](AudioEffectX& e, Memory&) { return number(e.updateBlockSize()); },
       cbGetBlockSize, 0, none, noPointer, 0.0f, {333, 333, 333, 333, 333}, 333},
      {"getInputLatency", [](AudioEffectX& e, Memory&) { return number(e.getInputLatency()); },
       cbGetInputLatency, 0, none, noPointer, 0.0f, kInt32, 0},
      {"getOutputLatency", [](AudioEffectX& e, Memory&) { return number(e.getOutputLatency()); },
       cbGetOutputLatency, 0, none, noPointer, 0.0f, kInt32, 0},
      {"getPreviousPlug", [](AudioEffectX& e, Memory&) { return address(e.getPreviousPlug(3)); },
       cbGetPreviousPlug, 0, none, noPointer, 0.0f, kAddress, 0},
      {"getNextPlug", [](AudioEffectX& e, Memory&) { return address(e.getNextPlug(4)); },
       cbGetNextPlug, 0, none, noPointer, 0.0f, kAddress, 0},
      {"willProcessReplacing",
       [](AudioEffectX& e, Memory&) { return number(e.willProcessReplacing()); },
       cbWillProcessReplacing, 0, none, noPointer, 0.0f, kInt32, 0},
      {"getCurrentProcessLevel",
       [](AudioEffectX& e, Memory&) { return number(e.getCurrentProcessLevel()); },
       cbGetCurrentProcessLevel, 0, none, noPointer, 0.0f, kInt32, 0},
      {"getAutomationState", [](AudioEffectX& e, Memory&) { return number(e.getAutomationState()); },
       cbGetAutomationState, 0, none, noPointer, 0.0f, kInt32, 0},
      {"offlineStart",
       [](AudioEffectX& e, Memory& m) {
         return number(e.offlineStart(as<VstAudioFile>(m.audioFiles), 3, 2));
       },
       cbOfflineStart, 2, [](Memory&) -> intptr_t { return 3; },
       [](Memory& m) -> void* { return m.audioFiles; }, 0.0f, kYesNo, 0},
      {"offlineRead from the source",
       [](AudioEffectX& e, Memory& m) {
         return number(e.offlineRead(as<VstOfflineTask>(m.task), VstOfflineOption{4}, true));
       },
       cbOfflineRead, 1, [](Memory&) -> intptr_t { return 4; },
       [](Memory& m) -> void* { return m.task; }, 0.0f, kYesNo, 0},
      {"offlineRead from the destination",
       [](AudioEffectX& e, Memory& m) {
         return number(e.offlineRead(as<VstOfflineTask>(m.task), VstOfflineOption{6}, false));
       },
       cbOfflineRead, 0, [](Memory&) -> intptr_t { return 6; },
       [](Memory& m) -> void* { return m.task; }, 0.0f, kYesNo, 0},
      {"offlineWrite",
       [](AudioEffectX& e, Memory& m) {
         return number(e.offlineWrite(as<VstOfflineTask>(m.task), VstOfflineOption{3}));
       },
       cbOfflineWrite, 0, [](Memory&) -> intptr_t { return 3; },
       [](Memory& m) -> void* { return m.task; }, 0.0f, kYesNo, 0},
      {"offlineGetCurrentPass",
       [](AudioEffectX& e, Memory&) { return number(e.offlineGetCurrentPass()); },
       cbOfflineGetCurrentPass, 0, none, noPointer, 0.0f, kYesNo, 0},
      {"offlineGetCurrentMetaPass",
       [](AudioEffectX& e, Memory&) { return number(e.offlineGetCurrentMetaPass()); },
       cbOfflineGetCurrentMetaPass, 0, none, noPointer, 0.0f, kYesNo, 0},
      {"setOutputSamplerate",
       [](AudioEffectX& e, Memory&) { e.setOutputSamplerate(96000.0f); return Answer{}; },
       cbSetOutputSampleRate, 0, none, noPointer, 96000.0f, kNothing, std::nullopt},
      {"getSpeakerArrangement",
       [](AudioEffectX& e, Memory& m) {
         return number(e.getSpeakerArrangement(as<VstSpeakerArrangement>(m.inputArrangement),
                                               as<VstSpeakerArrangement>(m.outputArrangement)));
       },
       cbGetSpeakerArrangement, 0, [](Memory& m) { return addressOf(m.inputArrangement); },
       [](Memory& m) -> void* { return m.outputArrangement; }, 0.0f, kYesNo, 0},
      {"getHostVendorString",
       [](AudioEffectX& e, Memory& m) { return number(e.getHostVendorString(m.text)); },
       cbGetHostVendorString, 0, none, [](Memory& m) -> void* { return m.text; }, 0.0f, kYesNo,
       0},
      {"getHostProductString",
       [](AudioEffectX& e, Memory& m) { return number(e.getHostProductString(m.text)); },
       cbGetHostProductString, 0, none, [](Memory& m) -> void* { return m.text; }, 0.0f, kYesNo,
       0},
      {"getHostVendorVersion",
       [](AudioEffectX& e, Memory&) { return number(e.getHostVendorVersion()); },
       cbGetHostVendorVersion, 0, none, noPointer, 0.0f, kInt32, 0},
      {"hostVendorSpecific",
       [](AudioEffectX& e, Memory& m) {
         return number(e.hostVendorSpecific(7, addressOf(m.inputArrangement), m.vendorData, 0.5f));
       },
       cbHostVendorSpecific, 7, [](Memory& m) { return addressOf(m.inputArrangement); },
       [](Memory& m) -> void* { return m.vendorData; }, 0.5f, kAddress, 0},
      {"canHostDo", [](AudioEffectX& e, Memory& m) { return number(e.canHostDo(m.text)); },
       cbCanHostDo, 0, none, [](Memory& m) -> void* { return m.text; }, 0.0f, kYesNo, 0},
      {"getHostLanguage", [](AudioEffectX& e, Memory&) { return number(e.getHostLanguage()); },
       cbGetHostLanguage, 0, none, noPointer, 0.0f, kInt32, 0},
      {"openWindow",
       [](AudioEffectX& e, Memory& m) { return address(e.openWindow(as<VstWindow>(m.window))); },
       cbOpenWindow, 0, none, [](Memory& m) -> void* { return m.window; }, 0.0f, kAddress, 0},
      {"closeWindow",
       [](AudioEffectX& e, Memory& m) { return number(e.closeWindow(as<VstWindow>(m.window))); },
       cbCloseWindow, 0, none, [](Memory& m) -> void* { return m.window; }, 0.0f, kYesNo, 0},
      {"getDirectory", [](AudioEffectX& e, Memory&) { return address(e.getDirectory()); },
       cbGetDirectory, 0, none, noPointer, 0.0f, kAddress, 0},
      {"updateDisplay", [](AudioEffectX& e, Memory&) { return number(e.updateDisplay()); },
       cbUpdateDisplay, 0, none, noPointer, 0.0f, kYesNo, 0},
  };
  return rows;
}

void storeRateAndBlock(PlainEffectX& effect) {
  AEffect* e = effect.getAeffect();
  e->dispatcher(e, opSetSampleRate, 0, 0, nullptr, kStoredRate);
  e->dispatcher(e, opSetBlockSize, 0, kStoredBlock, nullptr, 0.0f);
}

TEST(AudioEffectXHostQueries, EachSendsItsArgumentsAndReadsTheAnswer) {
  Memory memory;
  for (const QueryRow& row : queryRows()) {
    for (std::size_t i = 0; i < kHostAnswers.size(); ++i) {
      RecordingHost host;
      PlainEffectX effect(RecordingHost::callback);
      storeRateAndBlock(effect);
      host.answers[row.opcode] = kHostAnswers[i];
      const Answer answer = row.ask(effect, memory);
      EXPECT_EQ(answer, row.answers[i]) << row.name << " to " << kHostAnswers[i];
      ASSERT_EQ(host.calls.size(), 1u) << row.name;
      const test::HostCall& sent = host.calls[0];
      EXPECT_EQ(sent.effect, effect.getAeffect()) << row.name;
      EXPECT_EQ(sent.opcode, row.opcode) << row.name;
      EXPECT_EQ(sent.index, row.index) << row.name;
      EXPECT_EQ(sent.value, row.value(memory)) << row.name;
      EXPECT_EQ(sent.ptr, row.ptr(memory)) << row.name;
      EXPECT_EQ(sent.opt, row.opt) << row.name;
    }
  }
}

TEST(AudioEffectXHostQueries, AnswerTheirFallbacksWithoutACallback) {
  Memory memory;
  RecordingHost host;  // present, but not this effect's callback
  for (const QueryRow& row : queryRows()) {
    PlainEffectX effect(nullptr);
    storeRateAndBlock(effect);
    EXPECT_EQ(row.ask(effect, memory), row.fallback) << row.name;
  }
  EXPECT_TRUE(host.calls.empty());
}

// The host's answer is pointer-sized: addresses come back whole, and an
// answer that is not 0 counts as yes even when its low 32 bits are 0.
TEST(AudioEffectXHostQueries, AnswersAreReadAtFullPointerWidth) {
#if INTPTR_MAX == INT32_MAX
  GTEST_SKIP() << "pointers are 32 bits wide here";
#else
  {
    const intptr_t far = static_cast<intptr_t>(0x7EDCBA9876543210ll);
    const intptr_t highBitOnly = intptr_t{1} << 40;
    RecordingHost host;
    PlainEffectX effect(RecordingHost::callback);
    host.answers[cbGetTimeInfo] = far;
    host.answers[cbGetPreviousPlug] = far + 16;
    host.answers[cbGetNextPlug] = far + 32;
    host.answers[cbOpenWindow] = far + 48;
    host.answers[cbGetDirectory] = far + 64;
    host.answers[cbHostVendorSpecific] = far + 80;
    EXPECT_EQ(addressOf(effect.getTimeInfo(0)), far);
    EXPECT_EQ(addressOf(effect.getPreviousPlug(0)), far + 16);
    EXPECT_EQ(addressOf(effect.getNextPlug(0)), far + 32);
    EXPECT_EQ(addressOf(effect.openWindow(nullptr)), far + 48);
    EXPECT_EQ(addressOf(effect.getDirectory()), far + 64);
    EXPECT_EQ(effect.hostVendorSpecific(0, far, nullptr, 0.0f), far + 80);
    EXPECT_EQ(host.calls.back().value, far);

    host.answers[cbIoChanged] = highBitOnly;
    host.answers[cbCanHostDo] = highBitOnly;
    host.answers[cbOfflineGetCurrentPass] = highBitOnly;
    host.answers[cbProcessEvents] = highBitOnly + 1;
    EXPECT_TRUE(effect.ioChanged());
    EXPECT_EQ(effect.canHostDo(nullptr), 1);
    EXPECT_EQ(effect.offlineGetCurrentPass(), 1);
    EXPECT_FALSE(effect.sendVstEventsToHost(nullptr));
  }
#endif
}

// A host answers the two update requests by setting the value through the
// dispatcher while the request runs.
intptr_t hostThatSetsRateAndBlock(AEffect* effect, int32_t opcode, int32_t, intptr_t, void*,
                                  float) {
  if (opcode == cbGetSampleRate) {
    effect->dispatcher(effect, opSetSampleRate, 0, 0, nullptr, 96000.0f);
  } else if (opcode == cbGetBlockSize) {
    effect->dispatcher(effect, opSetBlockSizeAndSampleRate, 0, 128, nullptr, 88200.0f);
  }
  return opcode == cbGetSampleRate || opcode == cbGetBlockSize ? 12345 : 0;
}

TEST(AudioEffectXHostQueries, UpdateRequestsAnswerWhatTheHostSetMeanwhile) {
  PlainEffectX effect(hostThatSetsRateAndBlock);
  EXPECT_EQ(effect.updateSampleRate(), 96000.0f);
  EXPECT_EQ(effect.updateBlockSize(), 128);
  EXPECT_EQ(effect.getSampleRate(), 88200.0f);
}

}  // namespace
}  // namespace kqfx
