#pragma once
// Base class for an effect that speaks the second version of the host
// protocol: host opcodes 25 to 58 in its dispatcher, further overridable
// operations with neutral defaults, and wrappers for the host's callback
// opcodes 6 to 42 (time information, tempo, windows, offline work, host
// identification and capabilities). Our own effects derive from
// AudioEffect and do not need any of it.
//
// Defaults answer 0, false or null and leave buffers untouched, except
// `canParameterBeAutomated` (true), `getNumCategories` (1),
// `getPlugCategory` (2 for a synth, else 0) and `getVstVersion` (2).
//
// Host queries call the host synchronously on the caller's thread with this
// effect's record; without a callback they call nothing and answer their
// fallback (0, false or null; the stored rate or block size for
// `updateSampleRate` and `updateBlockSize`). Whether a query may be sent
// from the audio thread is up to the host; the wrappers themselves do
// nothing but the call.
//
// Threads: operations marked "audio thread" must not allocate, lock, make
// system calls or throw. Operations marked "host thread" may be called while
// the audio thread processes, unless they say otherwise.

#include <cstdint>

#include "kqfx/framework/AEffect.h"
#include "kqfx/framework/AudioEffect.h"
#include "kqfx/framework/HostRecords.h"

namespace kqfx {

class AudioEffectX : public AudioEffect {
 public:
  AudioEffectX(HostCallback callback, int32_t numPrograms, int32_t numParams);
  ~AudioEffectX() override;

  // Host thread: opcodes 25 to 58 here, everything else goes to
  // AudioEffect::dispatcher unchanged.
  intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                      float opt) override;

  // Host query, usually from `resume`: asks the host for events matching
  // `filter`.
  virtual void wantEvents(int32_t filter);
  // Host query, audio thread while processing: the host's time information
  // (its own record), or null.
  virtual VstTimeInfo* getTimeInfo(int32_t filter);
  // Host query, audio thread: the host's tempo at a sample position.
  virtual int32_t tempoAt(int32_t position);
  // Host, audio thread, before a process call of the same block: events for
  // this block.
  virtual int32_t processEvents(VstEvents* events);
  // Host queries, host thread.
  virtual int32_t getNumAutomatableParameters();
  virtual int32_t getParameterQuantization();
  // Host, host thread: whether the parameter may be automated.
  virtual bool canParameterBeAutomated(int32_t index);
  // Host, host thread: sets a parameter from a typed text; true when it did.
  virtual bool string2parameter(int32_t index, char* text);
  // Host, host thread.
  virtual float getChannelParameter(int32_t channel, int32_t index);
  virtual int32_t getNumCategories();
  // Host, host thread: the name of any program without selecting it; true
  // when `text` was written.
  virtual bool getProgramNameIndexed(int32_t category, int32_t index, char* text);
  // Host, host thread: copies the current program to `destination`.
  virtual bool copyProgram(int32_t destination);
  // Host queries, host thread: tell the host that the inputs or outputs
  // changed, ask for idle calls, ask for a new window size.
  virtual bool ioChanged();
  virtual bool needIdle();
  virtual bool sizeWindow(int32_t width, int32_t height);
  // Host queries, host thread: ask the host to send its sample rate or block
  // size (opcode 10, 11 or 43) and answer the value stored now.
  virtual float updateSampleRate();
  virtual int32_t updateBlockSize();
  // Host queries, host thread.
  virtual int32_t getInputLatency();
  virtual int32_t getOutputLatency();
  // Host queries, host thread: the effect connected before or after this
  // one. The pin index is not sent to the host.
  virtual AEffect* getPreviousPlug(int32_t input);
  virtual AEffect* getNextPlug(int32_t output);
  // Host, host thread, never while processing: a pin was connected or
  // disconnected.
  virtual void inputConnected(int32_t index, bool state);
  virtual void outputConnected(int32_t index, bool state);
  // Host, host thread: fill the host's pin record; true when written.
  virtual bool getInputProperties(int32_t index, VstPinProperties* properties);
  virtual bool getOutputProperties(int32_t index, VstPinProperties* properties);
  // Host, host thread: 2 (synth) when `isSynth` was set, otherwise 0.
  virtual int32_t getPlugCategory();
  // Host queries, either thread.
  virtual int32_t willProcessReplacing();
  virtual int32_t getCurrentProcessLevel();
  virtual int32_t getAutomationState();
  // Setup, called by constructors: flag 0x400.
  virtual void wantAsyncOperation(bool state);
  // Setup, called by constructors: flag 0x800.
  virtual void hasExternalBuffer(bool state);
  // Host, audio thread, for effects working asynchronously or into their
  // own buffer.
  virtual int32_t reportCurrentPosition();
  virtual float* reportDestinationBuffer();
  // Host queries, offline thread: read, write and start offline work.
  virtual bool offlineRead(VstOfflineTask* offline, VstOfflineOption option, bool readSource);
  virtual bool offlineWrite(VstOfflineTask* offline, VstOfflineOption option);
  virtual bool offlineStart(VstAudioFile* audioFiles, int32_t numAudioFiles,
                            int32_t numNewAudioFiles);
  virtual int32_t offlineGetCurrentPass();
  virtual int32_t offlineGetCurrentMetaPass();
  // Host, offline thread: offline work is announced, prepared and run.
  virtual bool offlineNotify(VstAudioFile* files, int32_t numAudioFiles, bool start);
  virtual bool offlinePrepare(VstOfflineTask* offline, int32_t count);
  virtual bool offlineRun(VstOfflineTask* offline, int32_t count);
  virtual int32_t offlineGetNumPasses();
  virtual int32_t offlineGetNumMetaPasses();
  // Host query, host thread: asks the host to change its output rate.
  virtual void setOutputSamplerate(float rate);
  // Host query, host thread: hands both speaker records to the host.
  virtual bool getSpeakerArrangement(VstSpeakerArrangement* pluginInput,
                                     VstSpeakerArrangement* pluginOutput);
  // Host queries, host thread: the host fills `text`; true when it did.
  virtual bool getHostVendorString(char* text);
  virtual bool getHostProductString(char* text);
  // Host queries, host thread.
  virtual int32_t getHostVendorVersion();
  // `second` is pointer-sized so an address the host expects there
  // arrives whole; so is the answer.
  virtual intptr_t hostVendorSpecific(int32_t first, intptr_t second, void* ptrArg,
                                      float floatArg);
  // Host query, host thread: 1 when the host claims the capability `text`.
  virtual int32_t canHostDo(char* text);
  // Setup, called by constructors: flags 0x100 and 0x200.
  virtual void isSynth(bool state);
  virtual void noTail(bool state);
  // Host queries, host thread.
  virtual int32_t getHostLanguage();
  virtual void* openWindow(VstWindow* window);
  virtual bool closeWindow(VstWindow* window);
  virtual void* getDirectory();
  // Host query, host thread: asks the host to read names and texts again.
  virtual bool updateDisplay();
  // Host, audio thread (offline processing with variable block sizes).
  virtual bool processVariableIo(VstVariableIo* varIo);
  // Host, host thread, never while processing.
  virtual bool setSpeakerArrangement(VstSpeakerArrangement* pluginInput,
                                     VstSpeakerArrangement* pluginOutput);
  // Host, host thread, never while processing: stores both values. The
  // dispatcher hands it only usable rates (see setSampleRate).
  virtual void setBlockSizeAndSampleRate(int32_t size, float rate);
  // Host, either thread: true when the effect bypasses itself.
  virtual bool setBypass(bool onOff);
  // Host, host thread: texts for the host; true when written.
  virtual bool getEffectName(char* name);
  virtual bool getErrorText(char* text);
  virtual bool getVendorString(char* text);
  virtual bool getProductString(char* text);
  virtual int32_t getVendorVersion();
  // Host, either thread. `second` and the answer are pointer-sized as in
  // `hostVendorSpecific`.
  virtual intptr_t vendorSpecific(int32_t first, intptr_t second, void* ptrArg, float floatArg);
  // Host, host thread: whether the effect has the capability `text`.
  virtual int32_t canDo(char* text);
  // Host, host thread.
  virtual void* getIcon();
  virtual bool setViewPosition(int32_t x, int32_t y);
  virtual int32_t getGetTailSize();
  virtual int32_t fxIdle();
  virtual bool getParameterProperties(int32_t index, VstParameterProperties* properties);
  virtual bool keysRequired();
  virtual int32_t getVstVersion();

  // Host query, audio thread while processing: hands events to the host;
  // true only when the host answers exactly 1.
  bool sendVstEventsToHost(VstEvents* events);
};

}  // namespace kqfx
