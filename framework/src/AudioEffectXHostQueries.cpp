// Requests to the host, callback opcodes 6 to 42. Each one sends its
// arguments in fixed places (index, value, ptr, opt; the rest 0, null and
// 0.0) and reads the host's pointer-sized answer as a number, a yes/no
// (anything but 0 is yes) or an address. Without a callback nothing is sent
// and the fallback is answered.

#include <cstdint>

#include "kqfx/framework/AudioEffectX.h"

namespace kqfx {

namespace {
bool nonZero(intptr_t answer) { return answer != 0; }

int32_t oneOrZero(intptr_t answer) { return answer != 0 ? 1 : 0; }

int32_t int32Of(intptr_t answer) { return static_cast<int32_t>(answer); }

template <class Pointee>
Pointee* pointerOf(intptr_t answer) {
  return reinterpret_cast<Pointee*>(answer);
}

intptr_t addressOf(const void* pointer) { return reinterpret_cast<intptr_t>(pointer); }
}  // namespace

void AudioEffectX::wantEvents(int32_t filter) {
  callHost(cbWantEvents, 0, filter, nullptr, 0.0f, 0);
}

VstTimeInfo* AudioEffectX::getTimeInfo(int32_t filter) {
  return pointerOf<VstTimeInfo>(callHost(cbGetTimeInfo, 0, filter, nullptr, 0.0f, 0));
}

bool AudioEffectX::sendVstEventsToHost(VstEvents* events) {
  return callHost(cbProcessEvents, 0, 0, events, 0.0f, 0) == 1;
}

int32_t AudioEffectX::tempoAt(int32_t position) {
  return int32Of(callHost(cbTempoAt, 0, position, nullptr, 0.0f, 0));
}

int32_t AudioEffectX::getNumAutomatableParameters() {
  return int32Of(callHost(cbGetNumAutomatableParameters, 0, 0, nullptr, 0.0f, 0));
}

int32_t AudioEffectX::getParameterQuantization() {
  return int32Of(callHost(cbGetParameterQuantization, 0, 0, nullptr, 0.0f, 0));
}

bool AudioEffectX::ioChanged() { return nonZero(callHost(cbIoChanged, 0, 0, nullptr, 0.0f, 0)); }

bool AudioEffectX::needIdle() { return nonZero(callHost(cbNeedIdle, 0, 0, nullptr, 0.0f, 0)); }

bool AudioEffectX::sizeWindow(int32_t width, int32_t height) {
  return nonZero(callHost(cbSizeWindow, width, height, nullptr, 0.0f, 0));
}

// The host answers these two by setting the value through the dispatcher
// (during the call or later); what it returns here is not the value.
float AudioEffectX::updateSampleRate() {
  callHost(cbGetSampleRate, 0, 0, nullptr, 0.0f, 0);
  return sampleRate;
}

int32_t AudioEffectX::updateBlockSize() {
  callHost(cbGetBlockSize, 0, 0, nullptr, 0.0f, 0);
  return blockSize;
}

int32_t AudioEffectX::getInputLatency() {
  return int32Of(callHost(cbGetInputLatency, 0, 0, nullptr, 0.0f, 0));
}

int32_t AudioEffectX::getOutputLatency() {
  return int32Of(callHost(cbGetOutputLatency, 0, 0, nullptr, 0.0f, 0));
}

// The host is asked for the neighbouring effect without the pin number:
// index and value stay 0.
AEffect* AudioEffectX::getPreviousPlug(int32_t) {
  return pointerOf<AEffect>(callHost(cbGetPreviousPlug, 0, 0, nullptr, 0.0f, 0));
}

AEffect* AudioEffectX::getNextPlug(int32_t) {
  return pointerOf<AEffect>(callHost(cbGetNextPlug, 0, 0, nullptr, 0.0f, 0));
}

int32_t AudioEffectX::willProcessReplacing() {
  return int32Of(callHost(cbWillProcessReplacing, 0, 0, nullptr, 0.0f, 0));
}

int32_t AudioEffectX::getCurrentProcessLevel() {
  return int32Of(callHost(cbGetCurrentProcessLevel, 0, 0, nullptr, 0.0f, 0));
}

int32_t AudioEffectX::getAutomationState() {
  return int32Of(callHost(cbGetAutomationState, 0, 0, nullptr, 0.0f, 0));
}

bool AudioEffectX::offlineStart(VstAudioFile* audioFiles, int32_t numAudioFiles,
                                int32_t numNewAudioFiles) {
  return nonZero(callHost(cbOfflineStart, numNewAudioFiles, numAudioFiles, audioFiles, 0.0f, 0));
}

bool AudioEffectX::offlineRead(VstOfflineTask* offline, VstOfflineOption option,
                               bool readSource) {
  return nonZero(callHost(cbOfflineRead, readSource ? 1 : 0, option, offline, 0.0f, 0));
}

bool AudioEffectX::offlineWrite(VstOfflineTask* offline, VstOfflineOption option) {
  return nonZero(callHost(cbOfflineWrite, 0, option, offline, 0.0f, 0));
}

int32_t AudioEffectX::offlineGetCurrentPass() {
  return oneOrZero(callHost(cbOfflineGetCurrentPass, 0, 0, nullptr, 0.0f, 0));
}

int32_t AudioEffectX::offlineGetCurrentMetaPass() {
  return oneOrZero(callHost(cbOfflineGetCurrentMetaPass, 0, 0, nullptr, 0.0f, 0));
}

void AudioEffectX::setOutputSamplerate(float rate) {
  callHost(cbSetOutputSampleRate, 0, 0, nullptr, rate, 0);
}

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement* pluginInput,
                                         VstSpeakerArrangement* pluginOutput) {
  // The input record travels in `value`, which is pointer-sized.
  return nonZero(
      callHost(cbGetSpeakerArrangement, 0, addressOf(pluginInput), pluginOutput, 0.0f, 0));
}

bool AudioEffectX::getHostVendorString(char* text) {
  return nonZero(callHost(cbGetHostVendorString, 0, 0, text, 0.0f, 0));
}

bool AudioEffectX::getHostProductString(char* text) {
  return nonZero(callHost(cbGetHostProductString, 0, 0, text, 0.0f, 0));
}

int32_t AudioEffectX::getHostVendorVersion() {
  return int32Of(callHost(cbGetHostVendorVersion, 0, 0, nullptr, 0.0f, 0));
}

intptr_t AudioEffectX::hostVendorSpecific(int32_t first, intptr_t second, void* ptrArg,
                                          float floatArg) {
  return callHost(cbHostVendorSpecific, first, second, ptrArg, floatArg, 0);
}

int32_t AudioEffectX::canHostDo(char* text) {
  return oneOrZero(callHost(cbCanHostDo, 0, 0, text, 0.0f, 0));
}

int32_t AudioEffectX::getHostLanguage() {
  return int32Of(callHost(cbGetHostLanguage, 0, 0, nullptr, 0.0f, 0));
}

void* AudioEffectX::openWindow(VstWindow* window) {
  return pointerOf<void>(callHost(cbOpenWindow, 0, 0, window, 0.0f, 0));
}

bool AudioEffectX::closeWindow(VstWindow* window) {
  return nonZero(callHost(cbCloseWindow, 0, 0, window, 0.0f, 0));
}

void* AudioEffectX::getDirectory() {
  return pointerOf<void>(callHost(cbGetDirectory, 0, 0, nullptr, 0.0f, 0));
}

bool AudioEffectX::updateDisplay() {
  return nonZero(callHost(cbUpdateDisplay, 0, 0, nullptr, 0.0f, 0));
}

}  // namespace kqfx
