// The neutral answers of the extended operations, for effects to override,
// and the four capability flags of the extended protocol.

#include "kqfx/framework/AudioEffectX.h"

namespace kqfx {

namespace {
constexpr int32_t kEffectCategory = 0;
constexpr int32_t kSynthCategory = 2;
constexpr int32_t kProtocolVersion = 2;
}  // namespace

AudioEffectX::AudioEffectX(HostCallback callback, int32_t programs, int32_t params)
    : AudioEffect(callback, programs, params) {}

AudioEffectX::~AudioEffectX() = default;

int32_t AudioEffectX::processEvents(VstEvents*) { return 0; }
bool AudioEffectX::canParameterBeAutomated(int32_t) { return true; }
bool AudioEffectX::string2parameter(int32_t, char*) { return false; }
float AudioEffectX::getChannelParameter(int32_t, int32_t) { return 0.0f; }
int32_t AudioEffectX::getNumCategories() { return 1; }
bool AudioEffectX::getProgramNameIndexed(int32_t, int32_t, char*) { return false; }
bool AudioEffectX::copyProgram(int32_t) { return false; }
void AudioEffectX::inputConnected(int32_t, bool) {}
void AudioEffectX::outputConnected(int32_t, bool) {}
bool AudioEffectX::getInputProperties(int32_t, VstPinProperties*) { return false; }
bool AudioEffectX::getOutputProperties(int32_t, VstPinProperties*) { return false; }

int32_t AudioEffectX::getPlugCategory() {
  return (effectRecord.flags & flagIsSynth) != 0 ? kSynthCategory : kEffectCategory;
}

void AudioEffectX::wantAsyncOperation(bool state) { setFlag(flagWantAsyncOperation, state); }
void AudioEffectX::hasExternalBuffer(bool state) { setFlag(flagHasExternalBuffer, state); }
int32_t AudioEffectX::reportCurrentPosition() { return 0; }
float* AudioEffectX::reportDestinationBuffer() { return nullptr; }
bool AudioEffectX::offlineNotify(VstAudioFile*, int32_t, bool) { return false; }
bool AudioEffectX::offlinePrepare(VstOfflineTask*, int32_t) { return false; }
bool AudioEffectX::offlineRun(VstOfflineTask*, int32_t) { return false; }
int32_t AudioEffectX::offlineGetNumPasses() { return 0; }
int32_t AudioEffectX::offlineGetNumMetaPasses() { return 0; }
void AudioEffectX::isSynth(bool state) { setFlag(flagIsSynth, state); }
void AudioEffectX::noTail(bool state) { setFlag(flagNoTail, state); }
bool AudioEffectX::processVariableIo(VstVariableIo*) { return false; }

bool AudioEffectX::setSpeakerArrangement(VstSpeakerArrangement*, VstSpeakerArrangement*) {
  return false;
}

void AudioEffectX::setBlockSizeAndSampleRate(int32_t size, float rate) {
  blockSize = size;
  sampleRate = rate;
}

bool AudioEffectX::setBypass(bool) { return false; }
bool AudioEffectX::getEffectName(char*) { return false; }
bool AudioEffectX::getErrorText(char*) { return false; }
bool AudioEffectX::getVendorString(char*) { return false; }
bool AudioEffectX::getProductString(char*) { return false; }
int32_t AudioEffectX::getVendorVersion() { return 0; }
intptr_t AudioEffectX::vendorSpecific(int32_t, intptr_t, void*, float) { return 0; }
int32_t AudioEffectX::canDo(char*) { return 0; }
void* AudioEffectX::getIcon() { return nullptr; }
bool AudioEffectX::setViewPosition(int32_t, int32_t) { return false; }
int32_t AudioEffectX::getGetTailSize() { return 0; }
int32_t AudioEffectX::fxIdle() { return 0; }
bool AudioEffectX::getParameterProperties(int32_t, VstParameterProperties*) { return false; }
bool AudioEffectX::keysRequired() { return false; }
int32_t AudioEffectX::getVstVersion() { return kProtocolVersion; }

}  // namespace kqfx
