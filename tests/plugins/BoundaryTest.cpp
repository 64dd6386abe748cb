// Both plug-ins as a host meets them: loaded from their shared objects,
// created through their entry functions, driven through the record.

#include <gtest/gtest.h>

#include <cmath>
#include <string>


#include "FloatControl.h"
#include "RecordingHost.h"
#include "Deliverables.h"
#include "TestPlugins.h"

namespace kqfx {
namespace {

using host::PluginInstance;
using host::PluginLibrary;

using test::Deliverable;

class Boundary : public ::testing::TestWithParam<Deliverable> {
 protected:
  PluginLibrary library{test::pluginPath(GetParam().name)};
};

TEST_P(Boundary, ExposesBothEntryNamesCreatingIndependentEffects) {
  EXPECT_EQ(library.entryName(), "VSTPluginMain");
  auto mainPlugin = reinterpret_cast<host::EntryFunction>(library.symbol("main_plugin"));
  ASSERT_NE(mainPlugin, nullptr);
  AEffect* a = mainPlugin(host::defaultHostCallback);
  AEffect* b = library.entry()(host::defaultHostCallback);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(a->dispatcher(a, opClose, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(b->dispatcher(b, opClose, 0, 0, nullptr, 0.0f), 1);
}

TEST_P(Boundary, RecordDescribesAStereoReplacingEffect) {
  PluginInstance plugin(library);
  const AEffect& e = plugin.record();
  EXPECT_EQ(e.magic, 0x56737450);
  EXPECT_EQ(e.version, 1);
  EXPECT_EQ(e.inOutRatio, 1.0f);
  EXPECT_EQ(e.flags, 0x18);
  EXPECT_EQ(e.numInputs, 2);
  EXPECT_EQ(e.numOutputs, 2);
  EXPECT_EQ(e.numPrograms, 1);
  EXPECT_EQ(e.numParams, GetParam().numParams);
  EXPECT_EQ(e.uniqueID, GetParam().uniqueId);
  EXPECT_NE(e.object, nullptr);
  EXPECT_EQ(e.user, nullptr);
  EXPECT_EQ(e.reserved1, 0);
  EXPECT_EQ(e.reserved2, 0);
  EXPECT_EQ(e.initialDelay, 0);
  EXPECT_EQ(e.reservedSlot, 0);
  for (char byte : e.reservedTail) EXPECT_EQ(byte, 0);
  EXPECT_NE(e.processReplacing, nullptr);
  EXPECT_NE(e.process, nullptr);
}

TEST_P(Boundary, AnswersTheOpcodeTable) {
  PluginInstance plugin(library);
  EXPECT_EQ(plugin.dispatch(opIdentify), 0x4E764566);
  EXPECT_EQ(plugin.dispatch(opGetVu), 0);
  EXPECT_EQ(plugin.dispatch(opOpen), 0);
  EXPECT_EQ(plugin.dispatch(opGetProgram), 0);
  plugin.dispatch(opSetProgram, 0, 1);
  EXPECT_EQ(plugin.dispatch(opGetProgram), 0);
  plugin.dispatch(opSetProgram, 0, -1);
  EXPECT_EQ(plugin.dispatch(opGetProgram), 0);
  EXPECT_EQ(plugin.programName(), "default");
  char name[] = "Mastering";
  EXPECT_EQ(plugin.dispatch(opSetProgramName, 0, 0, name), 0);
  EXPECT_EQ(plugin.programName(), "Mastering");
  for (int32_t opcode = opSetProgramName; opcode <= opGetParameterName; ++opcode) {
    EXPECT_EQ(plugin.dispatch(opcode, 0, 0, nullptr), 0) << opcode;
  }
  EXPECT_EQ(plugin.dispatch(opSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
  EXPECT_EQ(plugin.dispatch(opSetBlockSize, 0, 256), 0);
  EXPECT_EQ(plugin.dispatch(opSuspendResume, 0, 0), 0);
  EXPECT_EQ(plugin.dispatch(opSuspendResume, 0, 1), 0);
  void* chunk = nullptr;
  EXPECT_EQ(plugin.dispatch(opGetChunk, 0, 0, &chunk), 0);
  EXPECT_EQ(chunk, nullptr);
  EXPECT_EQ(plugin.dispatch(opSetChunk, 0, 4, &chunk), 0);
  for (int32_t opcode : {13, 14, 15, 16, 17, 18, 19, 20, 21}) {
    char rect[64] = {};
    EXPECT_EQ(plugin.dispatch(opcode, 0, 0, rect), 0) << opcode;
  }
  for (int32_t opcode = 25; opcode <= 60; ++opcode) {
    char text[64] = {};
    EXPECT_EQ(plugin.dispatch(opcode, 0, 0, text), 0) << opcode;
  }
  EXPECT_EQ(plugin.dispatch(-1), 0);
}

TEST_P(Boundary, TalksToTheHostOnlyToAskItsVersion) {
  test::RecordingHost recorder;
  AEffect* e = library.entry()(test::RecordingHost::callback);
  ASSERT_NE(e, nullptr);
  float in[2][8] = {}, out[2][8] = {};
  float* inputs[2] = {in[0], in[1]};
  float* outputs[2] = {out[0], out[1]};
  e->dispatcher(e, opOpen, 0, 0, nullptr, 0.0f);
  e->setParameter(e, 0, 0.7f);
  e->processReplacing(e, inputs, outputs, 8);
  e->dispatcher(e, opClose, 0, 0, nullptr, 0.0f);
  ASSERT_EQ(recorder.calls.size(), 1u);
  EXPECT_EQ(recorder.calls[0].opcode, cbVersion);
  EXPECT_EQ(recorder.calls[0].effect, nullptr);
}

TEST_P(Boundary, RefusesToStartWithoutAUsableHost) {
  EXPECT_EQ(library.entry()(nullptr), nullptr);
  test::RecordingHost recorder;
  recorder.answers[cbVersion] = 0;
  EXPECT_EQ(library.entry()(test::RecordingHost::callback), nullptr);
}

TEST_P(Boundary, ParametersIgnoreNonFiniteWrites) {
  PluginInstance plugin(library);
  plugin.setParameter(0, 0.25f);
  plugin.setParameter(0, std::numeric_limits<float>::quiet_NaN());
  plugin.setParameter(0, std::numeric_limits<float>::infinity());
  EXPECT_EQ(plugin.getParameter(0), 0.25f);
  plugin.setParameter(0, 1.5f);
  EXPECT_EQ(plugin.getParameter(0), 1.5f);
  EXPECT_EQ(plugin.getParameter(GetParam().numParams), 0.0f);
  EXPECT_EQ(plugin.getParameter(-1), 0.0f);
}

TEST_P(Boundary, ProcessingLeavesTheCallersFloatingPointStateAlone) {
  PluginInstance plugin(library);
  plugin.start(44100.0f, 64);
  test::StereoBuffers io(64);
  io.fillInput(1e-39f, -1e-39f);  // subnormal input
  const uint64_t before = test::floatControl();
  plugin.processReplacing(io.inputs.data(), io.outputs.data(), 64);
  EXPECT_EQ(test::floatControl(), before);
  plugin.process(io.inputs.data(), io.outputs.data(), 64);
  EXPECT_EQ(test::floatControl(), before);
  for (const auto& channel : io.out) {
    for (float s : channel) EXPECT_NE(std::fpclassify(s), FP_SUBNORMAL);
  }
}

TEST_P(Boundary, OutOfMemoryFlagIsExportedClear) {
  auto* oome = static_cast<const bool*>(library.symbol("oome"));
  ASSERT_NE(oome, nullptr);
  EXPECT_FALSE(*oome);
}

INSTANTIATE_TEST_SUITE_P(Deliverables, Boundary, ::testing::ValuesIn(test::deliverables()),
                         test::PluginNamePrinter());

}  // namespace
}  // namespace kqfx
