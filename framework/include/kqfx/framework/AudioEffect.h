#pragma once
// Base class of every effect: owns the host-facing record, answers the
// host's opcodes 0 to 24, keeps sample rate, block size and program, wraps
// the host queries, and gives every overridable operation a neutral
// default. An effect overrides only what it changes.
//
// Threads: the host may call parameter and dispatcher operations on one
// thread and the process operations on its audio thread. Operations marked
// "audio thread" must not allocate, lock, make system calls or throw.

#include <cstdint>

#include "kqfx/framework/AEffect.h"

namespace kqfx {

class AudioEffect {
 public:
  // Sample rates outside (0, kMaxSampleRate] or not finite are refused.
  static constexpr float kMaxSampleRate = 768000.0f;
  static constexpr int32_t kProgramNameSize = 32;
  static constexpr int32_t kMaxTextLength = 8;  // value texts, without terminator

  AudioEffect(HostCallback callback, int32_t numPrograms, int32_t numParams);
  virtual ~AudioEffect();

  AudioEffect(const AudioEffect&) = delete;
  AudioEffect& operator=(const AudioEffect&) = delete;

  // Host thread (automation may also come from the audio thread).
  virtual void setParameter(int32_t index, float value);
  // Either thread.
  virtual float getParameter(int32_t index);
  // Host thread: writes the parameter and tells the host it changed.
  virtual void setParameterAutomated(int32_t index, float value);
  // Audio thread: adds the processed input to the outputs.
  virtual void process(float** inputs, float** outputs, int32_t sampleFrames);
  // Audio thread: overwrites the outputs with the processed input.
  virtual void processReplacing(float** inputs, float** outputs, int32_t sampleFrames);
  // Host thread: opcodes 0 to 24 (the table in the .cpp).
  virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

  // Host thread, lifecycle.
  virtual void open();
  virtual void close();
  virtual int32_t getProgram();
  virtual void setProgram(int32_t program);
  virtual void setProgramName(char* name);
  virtual void getProgramName(char* name);
  // Host thread: texts of at most 8 characters plus terminator (names may be longer).
  virtual void getParameterLabel(int32_t index, char* label);
  virtual void getParameterDisplay(int32_t index, char* text);
  virtual void getParameterName(int32_t index, char* text);
  virtual float getVu();
  virtual int32_t getChunk(void** data, bool isPreset);
  virtual int32_t setChunk(void* data, int32_t byteSize, bool isPreset);
  virtual void setSampleRate(float rate);
  virtual void setBlockSize(int32_t size);
  // Host thread, never while a process call of this effect runs.
  virtual void suspend();
  virtual void resume();

  // Setup, called by constructors.
  virtual void setUniqueID(int32_t id);
  virtual void setNumInputs(int32_t n);
  virtual void setNumOutputs(int32_t n);
  virtual void hasVu(bool state);
  virtual void hasClip(bool state);
  virtual void canMono(bool state);
  virtual void canProcessReplacing(bool state);
  virtual void programsAreChunks(bool state);
  virtual void setRealtimeQualities(int32_t qualities);
  virtual void setOfflineQualities(int32_t qualities);
  virtual void setInitialDelay(int32_t delay);

  // Either thread.
  virtual float getSampleRate();
  virtual int32_t getBlockSize();

  // Host queries through the callback (host thread).
  virtual int32_t getMasterVersion();
  virtual int32_t getCurrentUniqueId();
  virtual void masterIdle();
  virtual bool isInputConnected(int32_t input);
  virtual bool isOutputConnected(int32_t output);

  // Value texts of at most 8 characters; either thread.
  virtual void dB2string(float value, char* text);
  virtual void Hz2string(float samples, char* text);
  virtual void ms2string(float samples, char* text);
  virtual void float2string(float value, char* text);
  virtual void long2string(int32_t value, char* text);

  AEffect* getAeffect() { return &effectRecord; }
  HostCallback getHostCallback() const { return hostCallback; }

 protected:
  // Calls the host callback with this effect's record, or answers
  // `fallback` without calling when there is no callback.
  intptr_t callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt,
                    intptr_t fallback);
  void setFlag(int32_t flag, bool state);

  float sampleRate = 44100.0f;
  HostCallback hostCallback;
  int32_t numPrograms;
  int32_t numParams;
  int32_t currentProgram = 0;
  int32_t blockSize = 1024;
  AEffect effectRecord;
};

}  // namespace kqfx
