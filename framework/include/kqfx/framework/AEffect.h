#pragma once
// The record a VST 2 host holds for every effect instance, with the
// function types it calls through and the opcode numbers of both
// directions. The layout is a binary contract with the host.

#include <cstddef>
#include <cstdint>

namespace kqfx {

struct AEffect;

// The host's callback: (record, opcode, index, value, ptr, opt) -> answer.
// value and the answer are pointer-sized so a host can return addresses.
using HostCallback = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index,
                                  intptr_t value, void* ptr, float opt);
using DispatcherProc = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index,
                                    intptr_t value, void* ptr, float opt);
using ProcessProc = void (*)(AEffect* effect, float** inputs, float** outputs,
                             int32_t sampleFrames);
using SetParameterProc = void (*)(AEffect* effect, int32_t index, float value);
using GetParameterProc = float (*)(AEffect* effect, int32_t index);

// A four-character code: the first character is the most significant byte.
constexpr int32_t fourCharCode(const char (&code)[5]) {
  return static_cast<int32_t>((static_cast<uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
                              (static_cast<uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
                              (static_cast<uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
                              static_cast<uint32_t>(static_cast<unsigned char>(code[3])));
}

constexpr int32_t kEffectMagic = fourCharCode("VstP");
constexpr int32_t kDefaultUniqueId = fourCharCode("NoEf");
constexpr int32_t kIdentifyAnswer = fourCharCode("NvEf");

struct AEffect {
  int32_t magic;
  DispatcherProc dispatcher;
  ProcessProc process;
  SetParameterProc setParameter;
  GetParameterProc getParameter;
  int32_t numPrograms;
  int32_t numParams;
  int32_t numInputs;
  int32_t numOutputs;
  int32_t flags;
  intptr_t reserved1;
  intptr_t reserved2;
  int32_t initialDelay;
  int32_t realtimeQualities;
  int32_t offlineQualities;
  float inOutRatio;
  void* object;
  void* user;
  int32_t uniqueID;
  int32_t version;
  ProcessProc processReplacing;
  intptr_t reservedSlot;       // always zero
  char reservedTail[56];       // always zero
};

#if defined(__x86_64__)
static_assert(sizeof(AEffect) == 192);
static_assert(offsetof(AEffect, dispatcher) == 8);
static_assert(offsetof(AEffect, numPrograms) == 40);
static_assert(offsetof(AEffect, flags) == 56);
static_assert(offsetof(AEffect, reserved1) == 64);
static_assert(offsetof(AEffect, initialDelay) == 80);
static_assert(offsetof(AEffect, inOutRatio) == 92);
static_assert(offsetof(AEffect, object) == 96);
static_assert(offsetof(AEffect, user) == 104);
static_assert(offsetof(AEffect, uniqueID) == 112);
static_assert(offsetof(AEffect, version) == 116);
static_assert(offsetof(AEffect, processReplacing) == 120);
#elif defined(__i386__)
static_assert(sizeof(AEffect) == 144);
static_assert(offsetof(AEffect, dispatcher) == 4);
static_assert(offsetof(AEffect, numPrograms) == 20);
static_assert(offsetof(AEffect, flags) == 36);
static_assert(offsetof(AEffect, reserved1) == 40);
static_assert(offsetof(AEffect, initialDelay) == 48);
static_assert(offsetof(AEffect, inOutRatio) == 60);
static_assert(offsetof(AEffect, object) == 64);
static_assert(offsetof(AEffect, user) == 68);
static_assert(offsetof(AEffect, uniqueID) == 72);
static_assert(offsetof(AEffect, version) == 76);
static_assert(offsetof(AEffect, processReplacing) == 80);
#endif

// Capability bits of AEffect::flags.
enum EffectFlags : int32_t {
  flagHasClip = 0x2,
  flagHasVu = 0x4,
  flagCanMono = 0x8,
  flagCanProcessReplacing = 0x10,
  flagProgramsAreChunks = 0x20,
  flagIsSynth = 0x100,
  flagNoTail = 0x200,
  flagWantAsyncOperation = 0x400,
  flagHasExternalBuffer = 0x800,
};

// Opcodes the host sends to the effect's dispatcher.
enum HostOpcode : int32_t {
  opOpen = 0,
  opClose = 1,
  opSetProgram = 2,
  opGetProgram = 3,
  opSetProgramName = 4,
  opGetProgramName = 5,
  opGetParameterLabel = 6,
  opGetParameterDisplay = 7,
  opGetParameterName = 8,
  opGetVu = 9,
  opSetSampleRate = 10,
  opSetBlockSize = 11,
  opSuspendResume = 12,
  opEditorGetRect = 13,
  opEditorOpen = 14,
  opEditorClose = 15,
  opEditorIdle = 19,
  opIdentify = 22,
  opGetChunk = 23,
  opSetChunk = 24,
  // The extended protocol (AudioEffectX).
  opProcessEvents = 25,
  opCanParameterBeAutomated = 26,
  opString2Parameter = 27,
  opGetNumCategories = 28,
  opGetProgramNameIndexed = 29,
  opCopyProgram = 30,
  opInputConnected = 31,
  opOutputConnected = 32,
  opGetInputProperties = 33,
  opGetOutputProperties = 34,
  opGetPlugCategory = 35,
  opReportCurrentPosition = 36,
  opReportDestinationBuffer = 37,
  opOfflineNotify = 38,
  opOfflinePrepare = 39,
  opOfflineRun = 40,
  opProcessVariableIo = 41,
  opSetSpeakerArrangement = 42,
  opSetBlockSizeAndSampleRate = 43,
  opSetBypass = 44,
  opGetEffectName = 45,
  opGetErrorText = 46,
  opGetVendorString = 47,
  opGetProductString = 48,
  opGetVendorVersion = 49,
  opVendorSpecific = 50,
  opCanDo = 51,
  opGetTailSize = 52,
  opFxIdle = 53,
  opGetIcon = 54,
  opSetViewPosition = 55,
  opGetParameterProperties = 56,
  opKeysRequired = 57,
  opGetVstVersion = 58,
};

// Opcodes the effect sends to the host's callback.
enum CallbackOpcode : int32_t {
  cbAutomate = 0,
  cbVersion = 1,
  cbCurrentId = 2,
  cbIdle = 3,
  cbPinConnected = 4,
  cbWantEvents = 6,
  cbGetTimeInfo = 7,
  cbProcessEvents = 8,
  cbTempoAt = 10,
  cbGetNumAutomatableParameters = 11,
  cbGetParameterQuantization = 12,
  cbIoChanged = 13,
  cbNeedIdle = 14,
  cbSizeWindow = 15,
  cbGetSampleRate = 16,
  cbGetBlockSize = 17,
  cbGetInputLatency = 18,
  cbGetOutputLatency = 19,
  cbGetPreviousPlug = 20,
  cbGetNextPlug = 21,
  cbWillProcessReplacing = 22,
  cbGetCurrentProcessLevel = 23,
  cbGetAutomationState = 24,
  cbOfflineStart = 25,
  cbOfflineRead = 26,
  cbOfflineWrite = 27,
  cbOfflineGetCurrentPass = 28,
  cbOfflineGetCurrentMetaPass = 29,
  cbSetOutputSampleRate = 30,
  cbGetSpeakerArrangement = 31,
  cbGetHostVendorString = 32,
  cbGetHostProductString = 33,
  cbGetHostVendorVersion = 34,
  cbHostVendorSpecific = 35,
  cbCanHostDo = 37,
  cbGetHostLanguage = 38,
  cbOpenWindow = 39,
  cbCloseWindow = 40,
  cbGetDirectory = 41,
  cbUpdateDisplay = 42,
};

}  // namespace kqfx
