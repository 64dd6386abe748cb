// The base effect as the host reaches it through the record: opcodes 0 to
// 24, the defaults, and the host queries with and without a callback.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "RecordingHost.h"
#include "kqfx/framework/AudioEffect.h"

namespace kqfx {
namespace {

using test::RecordingHost;

// Records which lifecycle operations the dispatcher reached.
class ProbeEffect : public AudioEffect {
 public:
  explicit ProbeEffect(HostCallback callback, std::vector<std::string>* log = nullptr)
      : AudioEffect(callback, 1, 3), log_(log) {}
  ~ProbeEffect() override { note("destroyed"); }
  void open() override { note("open"); }
  void close() override { note("close"); }
  void suspend() override { note("suspend"); }
  void resume() override { note("resume"); }
  void setProgramName(char* name) override { note(std::string("name:") + name); }
  float getVu() override { return vu; }
  void setParameter(int32_t index, float value) override {
    note("set " + std::to_string(index) + " " + std::to_string(value));
    last = value;
  }
  float vu = 0.0f;
  float last = -1.0f;

 private:
  void note(const std::string& what) {
    if (log_) log_->push_back(what);
  }
  std::vector<std::string>* log_;
};

intptr_t call(AEffect* e, int32_t opcode, int32_t index = 0, intptr_t value = 0,
              void* ptr = nullptr, float opt = 0.0f) {
  return e->dispatcher(e, opcode, index, value, ptr, opt);
}

TEST(EffectRecord, StartsWithTheBaseValues) {
  ProbeEffect effect(nullptr);
  AEffect* e = effect.getAeffect();
  EXPECT_EQ(e->magic, 0x56737450);
  EXPECT_EQ(e->numPrograms, 1);
  EXPECT_EQ(e->numParams, 3);
  EXPECT_EQ(e->numInputs, 1);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->flags, 0);
  EXPECT_EQ(e->reserved1, 0);
  EXPECT_EQ(e->reserved2, 0);
  EXPECT_EQ(e->initialDelay, 0);
  EXPECT_EQ(e->inOutRatio, 1.0f);
  EXPECT_EQ(e->object, &effect);
  EXPECT_EQ(e->user, nullptr);
  EXPECT_EQ(e->uniqueID, 0x4E6F4566);
  EXPECT_EQ(e->version, 1);
  EXPECT_EQ(e->reservedSlot, 0);
  for (char byte : e->reservedTail) EXPECT_EQ(byte, 0);
  EXPECT_EQ(effect.getSampleRate(), 44100.0f);
  EXPECT_EQ(effect.getBlockSize(), 1024);
}

TEST(EffectRecord, FlagSettersChangeOnlyTheirOwnBit) {
  ProbeEffect effect(nullptr);
  AEffect* e = effect.getAeffect();
  effect.canMono(true);
  effect.canProcessReplacing(true);
  EXPECT_EQ(e->flags, 0x18);
  effect.hasClip(true);
  effect.hasVu(true);
  effect.programsAreChunks(true);
  EXPECT_EQ(e->flags, 0x3e);
  effect.canMono(false);
  EXPECT_EQ(e->flags, 0x36);
  effect.hasVu(false);
  effect.hasClip(false);
  effect.programsAreChunks(false);
  EXPECT_EQ(e->flags, 0x10);
  effect.setInitialDelay(12);
  effect.setRealtimeQualities(3);
  effect.setOfflineQualities(4);
  effect.setUniqueID(0x41424344);
  EXPECT_EQ(e->initialDelay, 12);
  EXPECT_EQ(e->realtimeQualities, 3);
  EXPECT_EQ(e->offlineQualities, 4);
  EXPECT_EQ(e->uniqueID, 0x41424344);
}

TEST(Dispatcher, RoutesLifecycleOpcodes) {
  std::vector<std::string> log;
  auto* effect = new ProbeEffect(nullptr, &log);
  AEffect* e = effect->getAeffect();
  EXPECT_EQ(call(e, opOpen), 0);
  EXPECT_EQ(call(e, opSuspendResume, 0, 0), 0);
  EXPECT_EQ(call(e, opSuspendResume, 0, 1), 0);
  EXPECT_EQ(call(e, opSuspendResume, 0, -7), 0);
  char name[] = "Verse";
  EXPECT_EQ(call(e, opSetProgramName, 0, 0, name), 0);
  EXPECT_EQ(call(e, opClose), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"open", "suspend", "resume", "resume", "name:Verse",
                                            "close", "destroyed"}));
}

TEST(Dispatcher, ProgramSelectionStaysWithinThePrograms) {
  ProbeEffect effect(nullptr);
  AEffect* e = effect.getAeffect();
  call(e, opSetProgram, 0, 1);
  EXPECT_EQ(call(e, opGetProgram), 0);
  call(e, opSetProgram, 0, -1);  // negative programs are refused too
  EXPECT_EQ(call(e, opGetProgram), 0);
  call(e, opSetProgram, 0, 0);
  EXPECT_EQ(call(e, opGetProgram), 0);
}

TEST(Dispatcher, AnswersFixedValuesAndZeroForTheRest) {
  ProbeEffect effect(nullptr);
  AEffect* e = effect.getAeffect();
  EXPECT_EQ(call(e, opIdentify), 0x4E764566);
  EXPECT_EQ(call(e, opGetVu), 0);
  void* chunk = &effect;
  EXPECT_EQ(call(e, opGetChunk, 1, 0, &chunk), 0);
  EXPECT_EQ(chunk, &effect);
  EXPECT_EQ(call(e, opSetChunk, 0, 16, &effect), 0);
  for (int32_t opcode : {13, 14, 15, 16, 17, 18, 19, 20, 21}) {
    char rect[16] = {};
    EXPECT_EQ(call(e, opcode, 0, 0, rect), 0) << opcode;
  }
  for (int32_t opcode = 25; opcode <= 60; ++opcode) {
    EXPECT_EQ(call(e, opcode, 1, 1, nullptr, 1.0f), 0) << opcode;
  }
  EXPECT_EQ(call(e, -1), 0);
  EXPECT_EQ(call(e, INT32_MIN), 0);
}

TEST(Dispatcher, VuIsScaledAndTruncated) {
  ProbeEffect effect(nullptr);
  AEffect* e = effect.getAeffect();
  effect.vu = 0.5f;
  EXPECT_EQ(call(e, opGetVu), 16383);
  effect.vu = -0.5f;
  EXPECT_EQ(call(e, opGetVu), -16383);
  effect.vu = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(call(e, opGetVu), 0);
  effect.vu = 1e30f;
  EXPECT_EQ(call(e, opGetVu), INT32_MAX);
}

TEST(Dispatcher, TextOpcodesWithoutABufferDoNothing) {
  std::vector<std::string> log;
  ProbeEffect effect(nullptr, &log);
  AEffect* e = effect.getAeffect();
  for (int32_t opcode = opSetProgramName; opcode <= opGetParameterName; ++opcode) {
    EXPECT_EQ(call(e, opcode, 0, 0, nullptr), 0);
  }
  EXPECT_TRUE(log.empty());
}

TEST(Dispatcher, BaseTextsAreEmpty) {
  ProbeEffect effect(nullptr);
  AEffect* e = effect.getAeffect();
  for (int32_t opcode : {opGetProgramName, opGetParameterLabel, opGetParameterDisplay,
                         opGetParameterName}) {
    char text[16] = "stale";
    call(e, opcode, 0, 0, text);
    EXPECT_STREQ(text, "") << opcode;
  }
}

TEST(Dispatcher, SampleRateMustBeFinitePositiveAndBounded) {
  ProbeEffect effect(nullptr);
  AEffect* e = effect.getAeffect();
  call(e, opSetSampleRate, 0, 0, nullptr, 48000.0f);
  EXPECT_EQ(effect.getSampleRate(), 48000.0f);
  for (float bad : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                    std::numeric_limits<float>::infinity(), 768001.0f, 1e30f}) {
    call(e, opSetSampleRate, 0, 0, nullptr, bad);
    EXPECT_EQ(effect.getSampleRate(), 48000.0f) << bad;
  }
  call(e, opSetSampleRate, 0, 0, nullptr, 768000.0f);
  EXPECT_EQ(effect.getSampleRate(), 768000.0f);
  call(e, opSetBlockSize, 0, 512);
  EXPECT_EQ(effect.getBlockSize(), 512);
}

TEST(ParameterEntry, IgnoresValuesThatAreNotFinite) {
  ProbeEffect effect(nullptr);
  AEffect* e = effect.getAeffect();
  e->setParameter(e, 0, 0.25f);
  EXPECT_EQ(effect.last, 0.25f);
  e->setParameter(e, 0, std::numeric_limits<float>::quiet_NaN());
  e->setParameter(e, 0, std::numeric_limits<float>::infinity());
  e->setParameter(e, 0, -std::numeric_limits<float>::infinity());
  EXPECT_EQ(effect.last, 0.25f);
  e->setParameter(e, 0, 1.5f);  // finite values outside 0..1 pass
  EXPECT_EQ(effect.last, 1.5f);
  EXPECT_EQ(e->getParameter(e, 0), 0.0f);
}

TEST(HostQueries, SendTheirOpcodesWithTheEffectRecord) {
  RecordingHost host;
  host.answers[cbVersion] = 0;
  host.answers[cbCurrentId] = 0x1234;
  host.answers[cbPinConnected] = 1;
  ProbeEffect effect(RecordingHost::callback);
  AEffect* e = effect.getAeffect();

  EXPECT_EQ(effect.getMasterVersion(), 1);  // a host answering 0 counts as version 1
  host.answers[cbVersion] = 2400;
  EXPECT_EQ(effect.getMasterVersion(), 2400);
  EXPECT_EQ(effect.getCurrentUniqueId(), 0x1234);
  effect.masterIdle();
  EXPECT_FALSE(effect.isInputConnected(1));
  host.answers[cbPinConnected] = 0;
  EXPECT_TRUE(effect.isOutputConnected(0));
  effect.setParameterAutomated(2, 0.75f);
  EXPECT_EQ(effect.last, 0.75f);

  ASSERT_EQ(host.calls.size(), 7u);
  const struct {
    int32_t opcode, index;
    intptr_t value;
    float opt;
  } expected[] = {{cbVersion, 0, 0, 0.0f},      {cbVersion, 0, 0, 0.0f},
                  {cbCurrentId, 0, 0, 0.0f},    {cbIdle, 0, 0, 0.0f},
                  {cbPinConnected, 1, 0, 0.0f}, {cbPinConnected, 0, 1, 0.0f},
                  {cbAutomate, 2, 0, 0.75f}};
  for (std::size_t i = 0; i < host.calls.size(); ++i) {
    EXPECT_EQ(host.calls[i].effect, e) << i;
    EXPECT_EQ(host.calls[i].opcode, expected[i].opcode) << i;
    EXPECT_EQ(host.calls[i].index, expected[i].index) << i;
    EXPECT_EQ(host.calls[i].value, expected[i].value) << i;
    EXPECT_EQ(host.calls[i].ptr, nullptr) << i;
    EXPECT_EQ(host.calls[i].opt, expected[i].opt) << i;
  }
}

TEST(HostQueries, AnswerTheirFallbacksWithoutACallback) {
  ProbeEffect effect(nullptr);
  EXPECT_EQ(effect.getMasterVersion(), 1);
  EXPECT_EQ(effect.getCurrentUniqueId(), 0);
  EXPECT_TRUE(effect.isInputConnected(0));
  EXPECT_TRUE(effect.isOutputConnected(1));
  effect.masterIdle();
  effect.setParameterAutomated(1, 0.5f);
  EXPECT_EQ(effect.last, 0.5f);
}

}  // namespace
}  // namespace kqfx
