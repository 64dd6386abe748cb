#include "kqfx/framework/AudioEffect.h"

#include <cmath>
#include <cstring>

#include "kqfx/framework/EntryPoints.h"
#include "SampleRateRule.h"

namespace kqfx {

AudioEffect::AudioEffect(HostCallback callback, int32_t programs, int32_t params)
    : hostCallback(callback), numPrograms(programs), numParams(params) {
  std::memset(&effectRecord, 0, sizeof(effectRecord));
  effectRecord.magic = kEffectMagic;
  effectRecord.dispatcher = dispatchEffectClass;
  effectRecord.process = processClass;
  effectRecord.setParameter = setParameterClass;
  effectRecord.getParameter = getParameterClass;
  effectRecord.numPrograms = programs;
  effectRecord.numParams = params;
  effectRecord.numInputs = 1;
  effectRecord.numOutputs = 2;
  effectRecord.inOutRatio = 1.0f;
  effectRecord.object = this;
  effectRecord.uniqueID = kDefaultUniqueId;
  effectRecord.version = 1;
  effectRecord.processReplacing = processClassReplacing;
}

AudioEffect::~AudioEffect() = default;

void AudioEffect::setParameter(int32_t, float) {}
float AudioEffect::getParameter(int32_t) { return 0.0f; }

void AudioEffect::setParameterAutomated(int32_t index, float value) {
  setParameter(index, value);
  callHost(cbAutomate, index, 0, nullptr, value, 0);
}

void AudioEffect::process(float**, float**, int32_t) {}
void AudioEffect::processReplacing(float**, float**, int32_t) {}

namespace {
// The VU answer: the meter value scaled to 16 bits and truncated toward
// zero; values that do not fit an int32 answer the nearest end, NaN 0.
intptr_t vuAnswer(float vu) {
  const double scaled = static_cast<double>(vu) * 32767.0;
  if (std::isnan(scaled)) return 0;
  if (scaled >= 2147483647.0) return INT32_MAX;
  if (scaled <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(scaled);
}
}  // namespace

intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                 float opt) {
  // Unknown opcodes, negative ones included (compared as unsigned), answer 0.
  switch (static_cast<uint32_t>(opcode)) {
    case opOpen:
      open();
      return 0;
    case opClose:
      close();
      return 0;
    case opSetProgram:
      if (value >= 0 && value < numPrograms) setProgram(static_cast<int32_t>(value));
      return 0;
    case opGetProgram:
      return getProgram();
    case opSetProgramName:
      if (ptr) setProgramName(static_cast<char*>(ptr));
      return 0;
    case opGetProgramName:
      if (ptr) getProgramName(static_cast<char*>(ptr));
      return 0;
    case opGetParameterLabel:
      if (ptr) getParameterLabel(index, static_cast<char*>(ptr));
      return 0;
    case opGetParameterDisplay:
      if (ptr) getParameterDisplay(index, static_cast<char*>(ptr));
      return 0;
    case opGetParameterName:
      if (ptr) getParameterName(index, static_cast<char*>(ptr));
      return 0;
    case opGetVu:
      return vuAnswer(getVu());
    case opSetSampleRate:
      if (isAcceptableSampleRate(opt)) setSampleRate(opt);
      return 0;
    case opSetBlockSize:
      setBlockSize(static_cast<int32_t>(value));
      return 0;
    case opSuspendResume:
      if (value == 0) {
        suspend();
      } else {
        resume();
      }
      return 0;
    case opIdentify:
      return kIdentifyAnswer;
    case opGetChunk:
      return getChunk(static_cast<void**>(ptr), index != 0);
    case opSetChunk:
      return setChunk(ptr, static_cast<int32_t>(value), index != 0);
    default:
      // The editor opcodes (13, 14, 15, 19) land here too: no effect of
      // ours has an editor, so they answer 0 and do nothing.
      return 0;
  }
}

void AudioEffect::open() {}
void AudioEffect::close() {}
int32_t AudioEffect::getProgram() { return currentProgram; }
void AudioEffect::setProgram(int32_t program) { currentProgram = program; }
void AudioEffect::setProgramName(char* name) { name[0] = '\0'; }
void AudioEffect::getProgramName(char* name) { name[0] = '\0'; }
void AudioEffect::getParameterLabel(int32_t, char* label) { label[0] = '\0'; }
void AudioEffect::getParameterDisplay(int32_t, char* text) { text[0] = '\0'; }
void AudioEffect::getParameterName(int32_t, char* text) { text[0] = '\0'; }
float AudioEffect::getVu() { return 0.0f; }
int32_t AudioEffect::getChunk(void**, bool) { return 0; }
int32_t AudioEffect::setChunk(void*, int32_t, bool) { return 0; }
void AudioEffect::setSampleRate(float rate) { sampleRate = rate; }
void AudioEffect::setBlockSize(int32_t size) { blockSize = size; }
void AudioEffect::suspend() {}
void AudioEffect::resume() {}

void AudioEffect::setUniqueID(int32_t id) { effectRecord.uniqueID = id; }
void AudioEffect::setNumInputs(int32_t n) { effectRecord.numInputs = n; }
void AudioEffect::setNumOutputs(int32_t n) { effectRecord.numOutputs = n; }

void AudioEffect::setFlag(int32_t flag, bool state) {
  if (state) {
    effectRecord.flags |= flag;
  } else {
    effectRecord.flags &= ~flag;
  }
}

void AudioEffect::hasVu(bool state) { setFlag(flagHasVu, state); }
void AudioEffect::hasClip(bool state) { setFlag(flagHasClip, state); }
void AudioEffect::canMono(bool state) { setFlag(flagCanMono, state); }
void AudioEffect::canProcessReplacing(bool state) { setFlag(flagCanProcessReplacing, state); }
void AudioEffect::programsAreChunks(bool state) { setFlag(flagProgramsAreChunks, state); }
void AudioEffect::setRealtimeQualities(int32_t qualities) {
  effectRecord.realtimeQualities = qualities;
}
void AudioEffect::setOfflineQualities(int32_t qualities) {
  effectRecord.offlineQualities = qualities;
}
void AudioEffect::setInitialDelay(int32_t delay) { effectRecord.initialDelay = delay; }

float AudioEffect::getSampleRate() { return sampleRate; }
int32_t AudioEffect::getBlockSize() { return blockSize; }

intptr_t AudioEffect::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                               float opt, intptr_t fallback) {
  if (!hostCallback) return fallback;
  return hostCallback(&effectRecord, opcode, index, value, ptr, opt);
}

int32_t AudioEffect::getMasterVersion() {
  const intptr_t answer = callHost(cbVersion, 0, 0, nullptr, 0.0f, 1);
  return answer == 0 ? 1 : static_cast<int32_t>(answer);
}

int32_t AudioEffect::getCurrentUniqueId() {
  return static_cast<int32_t>(callHost(cbCurrentId, 0, 0, nullptr, 0.0f, 0));
}

void AudioEffect::masterIdle() { callHost(cbIdle, 0, 0, nullptr, 0.0f, 0); }

bool AudioEffect::isInputConnected(int32_t input) {
  return callHost(cbPinConnected, input, 0, nullptr, 0.0f, 0) == 0;
}

bool AudioEffect::isOutputConnected(int32_t output) {
  return callHost(cbPinConnected, output, 1, nullptr, 0.0f, 0) == 0;
}

}  // namespace kqfx
