// The extended effect as a host reaches it through the record: the answers
// of opcodes 25 to 58 with the default operations, the arguments each
// opcode hands to its operation and how the operation's result comes back,
// and opcodes outside 25..58 behaving exactly as on the plain base.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "kqfx/framework/AudioEffectX.h"
#include "kqfx/framework/CanDoTables.h"

namespace kqfx {
namespace {

// Derived without overriding anything: what every extended effect starts with.
class PlainEffectX : public AudioEffectX {
 public:
  explicit PlainEffectX(HostCallback callback = nullptr) : AudioEffectX(callback, 1, 3) {}
};

// The same for the plain base, to compare against.
class PlainEffect : public AudioEffect {
 public:
  explicit PlainEffect(HostCallback callback = nullptr) : AudioEffect(callback, 1, 3) {}
};

intptr_t call(AEffect* e, int32_t opcode, int32_t index = 0, intptr_t value = 0,
              void* ptr = nullptr, float opt = 0.0f) {
  return e->dispatcher(e, opcode, index, value, ptr, opt);
}

// An address that needs all 64 bits on x86-64. It is only passed around,
// never dereferenced.
void* farAddress() { return reinterpret_cast<void*>(static_cast<uintptr_t>(0x7EDCBA9876543210ull)); }

TEST(AudioEffectXDefaults, AnswerThroughTheRecord) {
  PlainEffectX effect;
  AEffect* e = effect.getAeffect();
  const std::map<int32_t, intptr_t> nonZero = {
      {opCanParameterBeAutomated, 1}, {opGetNumCategories, 1}, {opInputConnected, 1},
      {opOutputConnected, 1},         {opSetBlockSizeAndSampleRate, 1},
      {opKeysRequired, 1},            {opGetVstVersion, 2}};
  char text[16] = "stale";
  for (int32_t opcode = opProcessEvents; opcode <= opGetVstVersion; ++opcode) {
    const auto found = nonZero.find(opcode);
    const intptr_t expected = found == nonZero.end() ? 0 : found->second;
    EXPECT_EQ(call(e, opcode, 1, 1, text, 44100.0f), expected) << opcode;
    EXPECT_EQ(call(e, opcode, 0, 0, text, 44100.0f), expected) << opcode;
  }
  // No default writes into the host's buffer (names, texts, records).
  EXPECT_STREQ(text, "stale");
}

TEST(AudioEffectXDefaults, EveryParameterMayBeAutomated) {
  PlainEffectX effect;
  AEffect* e = effect.getAeffect();
  for (int32_t index : {0, 2, 3, -1, 1000, std::numeric_limits<int32_t>::min()}) {
    EXPECT_EQ(call(e, opCanParameterBeAutomated, index), 1) << index;
  }
}

TEST(AudioEffectXDefaults, CanDoAnswersZeroToEveryCapability) {
  PlainEffectX effect;
  AEffect* e = effect.getAeffect();
  std::vector<std::string> texts = {KQFX_PLUG_CAN_DOS, KQFX_HOST_CAN_DOS, "", "2in2out ",
                                    "anything"};
  ASSERT_EQ(texts.size(), 39u);
  for (std::string& text : texts) EXPECT_EQ(call(e, opCanDo, 0, 0, text.data()), 0) << text;
}

TEST(AudioEffectXDefaults, PlugCategoryFollowsTheSynthFlag) {
  PlainEffectX effect;
  AEffect* e = effect.getAeffect();
  EXPECT_EQ(call(e, opGetPlugCategory), 0);
  effect.isSynth(true);
  EXPECT_EQ(e->flags, 0x100);
  EXPECT_EQ(call(e, opGetPlugCategory), 2);
  // Other flags do not make it a synth.
  effect.isSynth(false);
  effect.noTail(true);
  effect.wantAsyncOperation(true);
  effect.hasExternalBuffer(true);
  effect.canMono(true);
  EXPECT_EQ(call(e, opGetPlugCategory), 0);
}

TEST(AudioEffectXFlags, EachSetterChangesOnlyItsOwnBit) {
  PlainEffectX effect;
  AEffect* e = effect.getAeffect();
  effect.canMono(true);
  effect.canProcessReplacing(true);
  effect.isSynth(true);
  EXPECT_EQ(e->flags, 0x118);
  effect.noTail(true);
  EXPECT_EQ(e->flags, 0x318);
  effect.wantAsyncOperation(true);
  EXPECT_EQ(e->flags, 0x718);
  effect.hasExternalBuffer(true);
  EXPECT_EQ(e->flags, 0xF18);
  effect.isSynth(false);
  EXPECT_EQ(e->flags, 0xE18);
  effect.wantAsyncOperation(false);
  EXPECT_EQ(e->flags, 0xA18);
  effect.hasExternalBuffer(false);
  EXPECT_EQ(e->flags, 0x218);
  effect.noTail(false);
  EXPECT_EQ(e->flags, 0x18);
  effect.noTail(false);  // clearing a clear bit changes nothing
  EXPECT_EQ(e->flags, 0x18);
}

TEST(AudioEffectXBlockSizeAndRate, OpcodeStoresBoth) {
  PlainEffectX effect;
  AEffect* e = effect.getAeffect();
  EXPECT_EQ(call(e, opSetBlockSizeAndSampleRate, 0, 512, nullptr, 48000.0f), 1);
  EXPECT_EQ(effect.getBlockSize(), 512);
  EXPECT_EQ(effect.getSampleRate(), 48000.0f);
  // The plain opcodes still change them one at a time afterwards.
  call(e, opSetSampleRate, 0, 0, nullptr, 96000.0f);
  call(e, opSetBlockSize, 0, 64);
  EXPECT_EQ(effect.getSampleRate(), 96000.0f);
  EXPECT_EQ(effect.getBlockSize(), 64);
}

TEST(AudioEffectXBlockSizeAndRate, UnusableRateKeepsTheOldOneButTakesTheBlockSize) {
  PlainEffectX effect;
  AEffect* e = effect.getAeffect();
  call(e, opSetBlockSizeAndSampleRate, 0, 512, nullptr, 48000.0f);
  int32_t size = 100;
  for (float bad : {0.0f, -48000.0f, std::numeric_limits<float>::quiet_NaN(),
                    std::numeric_limits<float>::infinity(), 768001.0f}) {
    EXPECT_EQ(call(e, opSetBlockSizeAndSampleRate, 0, size, nullptr, bad), 1) << bad;
    EXPECT_EQ(effect.getSampleRate(), 48000.0f) << bad;
    EXPECT_EQ(effect.getBlockSize(), size) << bad;
    ++size;
  }
  call(e, opSetBlockSizeAndSampleRate, 0, 32, nullptr, 768000.0f);
  EXPECT_EQ(effect.getSampleRate(), 768000.0f);
}

// Everything below 25 and above 58 goes to the plain dispatcher: an
// extended effect and a plain one answer alike and end in the same state.
TEST(AudioEffectXOtherOpcodes, BehaveAsOnThePlainBase) {
  PlainEffectX extended;
  PlainEffect plain;
  struct Step {
    int32_t opcode, index;
    intptr_t value;
    bool withText;
    float opt;
  };
  const Step steps[] = {
      {opOpen, 0, 0, false, 0.0f},           {opSetProgram, 0, 1, false, 0.0f},
      {opGetProgram, 0, 0, false, 0.0f},     {opSetProgram, 0, 0, false, 0.0f},
      {opSetProgramName, 0, 0, true, 0.0f},  {opGetProgramName, 0, 0, true, 0.0f},
      {opGetParameterLabel, 1, 0, true, 0.0f}, {opGetParameterDisplay, 1, 0, true, 0.0f},
      {opGetParameterName, 1, 0, true, 0.0f}, {opGetVu, 0, 0, false, 0.0f},
      {opSetSampleRate, 0, 0, false, 32000.0f}, {opSetSampleRate, 0, 0, false, -1.0f},
      {opSetBlockSize, 0, 256, false, 0.0f}, {opSuspendResume, 0, 0, false, 0.0f},
      {opSuspendResume, 0, 1, false, 0.0f},  {opEditorGetRect, 0, 0, true, 0.0f},
      {opEditorOpen, 0, 0, true, 0.0f},      {opEditorClose, 0, 0, false, 0.0f},
      {16, 0, 0, false, 0.0f},               {opEditorIdle, 0, 0, false, 0.0f},
      {opIdentify, 0, 0, false, 0.0f},       {opGetChunk, 1, 0, true, 0.0f},
      {opSetChunk, 0, 8, true, 0.0f},        {59, 3, 1, true, 1.0f},
      {60, 3, 1, true, 1.0f},                {1000, 3, 1, true, 1.0f},
      {std::numeric_limits<int32_t>::max(), 0, 0, true, 0.0f},
      {-1, 0, 0, true, 0.0f},                {-25, 0, 0, true, 0.0f},
      {std::numeric_limits<int32_t>::min(), 0, 0, true, 0.0f},
  };
  for (const Step& step : steps) {
    char textX[32] = "stale";
    char text[32] = "stale";
    const intptr_t answerX = call(extended.getAeffect(), step.opcode, step.index, step.value,
                                  step.withText ? textX : nullptr, step.opt);
    const intptr_t answer = call(plain.getAeffect(), step.opcode, step.index, step.value,
                                 step.withText ? text : nullptr, step.opt);
    EXPECT_EQ(answerX, answer) << step.opcode;
    EXPECT_STREQ(textX, text) << step.opcode;
  }
  EXPECT_EQ(call(extended.getAeffect(), opIdentify), 0x4E764566);
  EXPECT_EQ(extended.getProgram(), plain.getProgram());
  EXPECT_EQ(extended.getSampleRate(), 32000.0f);
  EXPECT_EQ(extended.getBlockSize(), 256);

  // The same record byte for byte, apart from where it points back to.
  unsigned char recordX[sizeof(AEffect)];
  unsigned char record[sizeof(AEffect)];
  std::memcpy(recordX, extended.getAeffect(), sizeof recordX);
  std::memcpy(record, plain.getAeffect(), sizeof record);
  std::memset(recordX + offsetof(AEffect, object), 0, sizeof(void*));
  std::memset(record + offsetof(AEffect, object), 0, sizeof(void*));
  EXPECT_EQ(std::memcmp(recordX, record, sizeof record), 0);
}

TEST(AudioEffectXOtherOpcodes, CloseThroughTheRecordDestroysTheEffect) {
  static int live = 0;
  class CountedEffectX : public AudioEffectX {
   public:
    CountedEffectX() : AudioEffectX(nullptr, 1, 0) { ++live; }
    ~CountedEffectX() override { --live; }
  };
  AEffect* e = (new CountedEffectX)->getAeffect();
  EXPECT_EQ(live, 1);
  EXPECT_EQ(call(e, opClose), 1);
  EXPECT_EQ(live, 0);
}

// Overrides everything the opcodes reach and writes down how it was
// called. Pointers the test knows are written by name.
class ProbeEffectX : public AudioEffectX {
 public:
  ProbeEffectX() : AudioEffectX(nullptr, 1, 3) {}

  // What the operations answer: yes/true, a number and an address, or
  // no/false, another number and null.
  void answerYes(bool yes) {
    yes_ = yes;
    number_ = yes ? -7 : 2;
    address_ = yes ? farAddress() : nullptr;
  }
  std::map<const void*, std::string> names;
  std::vector<std::string> log;

  int32_t processEvents(VstEvents* events) override { return note("processEvents", events); }
  bool canParameterBeAutomated(int32_t index) override {
    return yes("canParameterBeAutomated", index);
  }
  bool string2parameter(int32_t index, char* text) override {
    return yes("string2parameter", index, text);
  }
  int32_t getNumCategories() override { return note("getNumCategories"); }
  bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override {
    return yes("getProgramNameIndexed", category, index, text);
  }
  bool copyProgram(int32_t destination) override { return yes("copyProgram", destination); }
  void inputConnected(int32_t index, bool state) override { note("inputConnected", index, state); }
  void outputConnected(int32_t index, bool state) override {
    note("outputConnected", index, state);
  }
  bool getInputProperties(int32_t index, VstPinProperties* properties) override {
    return yes("getInputProperties", index, properties);
  }
  bool getOutputProperties(int32_t index, VstPinProperties* properties) override {
    return yes("getOutputProperties", index, properties);
  }
  int32_t getPlugCategory() override { return note("getPlugCategory"); }
  int32_t reportCurrentPosition() override { return note("reportCurrentPosition"); }
  float* reportDestinationBuffer() override {
    note("reportDestinationBuffer");
    return static_cast<float*>(address_);
  }
  bool offlineNotify(VstAudioFile* files, int32_t numAudioFiles, bool start) override {
    return yes("offlineNotify", files, numAudioFiles, start);
  }
  bool offlinePrepare(VstOfflineTask* offline, int32_t count) override {
    return yes("offlinePrepare", offline, count);
  }
  bool offlineRun(VstOfflineTask* offline, int32_t count) override {
    return yes("offlineRun", offline, count);
  }
  bool processVariableIo(VstVariableIo* varIo) override { return yes("processVariableIo", varIo); }
  bool setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) override {
    return yes("setSpeakerArrangement", in, out);
  }
  void setBlockSizeAndSampleRate(int32_t size, float rate) override {
    note("setBlockSizeAndSampleRate", size, rate);
  }
  bool setBypass(bool onOff) override { return yes("setBypass", onOff); }
  bool getEffectName(char* name) override { return yes("getEffectName", name); }
  bool getErrorText(char* text) override { return yes("getErrorText", text); }
  bool getVendorString(char* text) override { return yes("getVendorString", text); }
  bool getProductString(char* text) override { return yes("getProductString", text); }
  int32_t getVendorVersion() override { return note("getVendorVersion"); }
  intptr_t vendorSpecific(int32_t first, intptr_t second, void* ptrArg, float floatArg) override {
    return note("vendorSpecific", first, reinterpret_cast<void*>(second), ptrArg, floatArg);
  }
  int32_t canDo(char* text) override { return note("canDo", text); }
  int32_t getGetTailSize() override { return note("getGetTailSize"); }
  int32_t fxIdle() override { return note("fxIdle"); }
  void* getIcon() override {
    note("getIcon");
    return address_;
  }
  bool setViewPosition(int32_t x, int32_t y) override { return yes("setViewPosition", x, y); }
  bool getParameterProperties(int32_t index, VstParameterProperties* properties) override {
    return yes("getParameterProperties", index, properties);
  }
  bool keysRequired() override { return yes("keysRequired"); }
  int32_t getVstVersion() override { return note("getVstVersion"); }

 private:
  std::string text(int32_t v) { return std::to_string(v); }
  std::string text(bool v) { return v ? "true" : "false"; }
  std::string text(float v) { return std::to_string(v); }
  std::string text(const void* p) {
    const auto found = names.find(p);
    return found != names.end() ? found->second : "unknown pointer";
  }
  template <class... Args>
  int32_t note(const char* operation, Args... args) {
    std::string entry = std::string(operation) + "(";
    [[maybe_unused]] const char* separator = "";
    ((entry += separator + text(args), separator = ","), ...);
    log.push_back(entry + ")");
    return number_;
  }
  template <class... Args>
  bool yes(const char* operation, Args... args) {
    note(operation, args...);
    return yes_;
  }
  bool yes_ = true;
  int32_t number_ = -7;
  void* address_ = nullptr;
};

// Stand-ins for the host's records and buffers; only their addresses count.
struct HostMemory {
  char text[32] = "host text";
  char record[64] = {};
  char inputArrangement[64] = {};
};

struct RoutingRow {
  int32_t opcode;
  int32_t index;
  intptr_t value;  // kInputAddress: the address of the input arrangement
  bool withRecord;  // ptr is the record, otherwise the text
  const char* expectedCall;
  intptr_t answerWhenYes;  // kFar: farAddress()
  intptr_t answerWhenNo;
};

constexpr intptr_t kInputAddress = -1001;
constexpr intptr_t kFar = -1002;

const RoutingRow kRoutingRows[] = {
    {opProcessEvents, 3, 5, true, "processEvents(record)", -7, 2},
    {opCanParameterBeAutomated, 3, 5, true, "canParameterBeAutomated(3)", 1, 0},
    {opString2Parameter, 3, 5, false, "string2parameter(3,text)", 1, 0},
    {opGetNumCategories, 3, 5, true, "getNumCategories()", -7, 2},
    {opGetProgramNameIndexed, 3, 5, false, "getProgramNameIndexed(5,3,text)", 1, 0},
    {opCopyProgram, 3, 5, true, "copyProgram(3)", 1, 0},
    {opInputConnected, 3, 5, true, "inputConnected(3,true)", 1, 1},
    {opInputConnected, 4, 0, true, "inputConnected(4,false)", 1, 1},
    {opOutputConnected, 3, -1, true, "outputConnected(3,true)", 1, 1},
    {opOutputConnected, 4, 0, true, "outputConnected(4,false)", 1, 1},
    {opGetInputProperties, 3, 5, true, "getInputProperties(3,record)", 1, 0},
    {opGetOutputProperties, 3, 5, true, "getOutputProperties(3,record)", 1, 0},
    {opGetPlugCategory, 3, 5, true, "getPlugCategory()", -7, 2},
    {opReportCurrentPosition, 3, 5, true, "reportCurrentPosition()", -7, 2},
    {opReportDestinationBuffer, 3, 5, true, "reportDestinationBuffer()", kFar, 0},
    {opOfflineNotify, 3, 5, true, "offlineNotify(record,5,true)", 1, 0},
    {opOfflineNotify, 0, 5, true, "offlineNotify(record,5,false)", 1, 0},
    {opOfflinePrepare, 3, 5, true, "offlinePrepare(record,5)", 1, 0},
    {opOfflineRun, 3, 5, true, "offlineRun(record,5)", 1, 0},
    {opProcessVariableIo, 3, 5, true, "processVariableIo(record)", 1, 0},
    {opSetSpeakerArrangement, 3, kInputAddress, true,
     "setSpeakerArrangement(input arrangement,record)", 1, 0},
    {opSetBlockSizeAndSampleRate, 3, 5, true, "setBlockSizeAndSampleRate(5,0.250000)", 1, 1},
    {opSetBypass, 3, 5, true, "setBypass(true)", 1, 0},
    {opSetBypass, 3, 0, true, "setBypass(false)", 1, 0},
    {opGetEffectName, 3, 5, false, "getEffectName(text)", 1, 0},
    {opGetErrorText, 3, 5, false, "getErrorText(text)", 1, 0},
    {opGetVendorString, 3, 5, false, "getVendorString(text)", 1, 0},
    {opGetProductString, 3, 5, false, "getProductString(text)", 1, 0},
    {opGetVendorVersion, 3, 5, true, "getVendorVersion()", -7, 2},
    {opVendorSpecific, 3, kInputAddress, true,
     "vendorSpecific(3,input arrangement,record,0.250000)", -7, 2},
    {opCanDo, 3, 5, false, "canDo(text)", -7, 2},
    {opGetTailSize, 3, 5, true, "getGetTailSize()", -7, 2},
    {opFxIdle, 3, 5, true, "fxIdle()", -7, 2},
    {opGetIcon, 3, 5, true, "getIcon()", kFar, 0},
    {opSetViewPosition, 3, 5, true, "setViewPosition(3,5)", 1, 0},
    {opGetParameterProperties, 3, 5, true, "getParameterProperties(3,record)", 1, 0},
    {opKeysRequired, 3, 5, true, "keysRequired()", 0, 1},
    {opGetVstVersion, 3, 5, true, "getVstVersion()", -7, 2},
};

TEST(AudioEffectXRouting, EachOpcodeCallsItsOperationWithItsArguments) {
  HostMemory host;
  for (bool yes : {true, false}) {
    for (const RoutingRow& row : kRoutingRows) {
      ProbeEffectX effect;
      effect.answerYes(yes);
      effect.names = {{host.text, "text"},
                      {host.record, "record"},
                      {host.inputArrangement, "input arrangement"}};
      const intptr_t value =
          row.value == kInputAddress ? reinterpret_cast<intptr_t>(host.inputArrangement) : row.value;
      void* ptr = row.withRecord ? static_cast<void*>(host.record) : host.text;
      const intptr_t answer = call(effect.getAeffect(), row.opcode, row.index, value, ptr, 0.25f);
      const intptr_t expected = yes ? row.answerWhenYes : row.answerWhenNo;
      EXPECT_EQ(answer, expected == kFar ? reinterpret_cast<intptr_t>(farAddress()) : expected)
          << row.expectedCall << " answering " << (yes ? "yes" : "no");
      EXPECT_EQ(effect.log, std::vector<std::string>{row.expectedCall}) << row.opcode;
    }
  }
}

TEST(AudioEffectXRouting, TextOpcodesWithoutABufferCallNothing) {
  for (int32_t opcode : {opString2Parameter, opGetProgramNameIndexed, opGetEffectName,
                         opGetErrorText, opGetVendorString, opGetProductString, opCanDo}) {
    ProbeEffectX effect;
    EXPECT_EQ(call(effect.getAeffect(), opcode, 1, 1, nullptr), 0) << opcode;
    EXPECT_TRUE(effect.log.empty()) << opcode;
  }
}

}  // namespace
}  // namespace kqfx
