#pragma once
// The calls the validator made into the plug-in most recently, kept in
// memory shared with the validator's parent process so that they survive
// the check's process when the plug-in crashes or hangs in it. Written only
// by the check process's main thread (calls from a check's helper threads
// are not recorded); read by the parent once that process has ended.

#include <cstdint>
#include <string>

namespace kqfx::command::validate {

enum class CallKind : int32_t {
  // VST 2
  entry, dispatch, setParameter, getParameter, process, processReplacing,
  // LV2: instantiate (rate in opt, block size in value), activate,
  // deactivate, cleanup, connect_port (port in index), run (frames in
  // value), and a control port's value written (port in index, value in opt)
  instantiate, activate, deactivate, cleanup, connectPort, run, setControl
};

struct TrailEntry {
  CallKind kind;
  int32_t opcode;
  int32_t index;
  float opt;  // the float argument, or the parameter value
  int64_t value;
  int64_t repeats;  // how many times in a row, at least 1
};

struct CallTrail {
  static constexpr int kEntries = 64;
  uint64_t recorded = 0;  // entries ever written
  TrailEntry entries[kEntries];
  // What was set last, so that it is known even when the calls that set it
  // have left the trail.
  float sampleRate = 0.0f;
  int64_t blockSize = 0;
  uint64_t processCalls = 0;  // since the last resume
  bool frozen = false;        // a failure was found: what follows is not recorded
};

// Lets the calls of this process's main thread be recorded into `trail`
// (null: record nothing).
void recordCallsInto(CallTrail* trail);
// Stops recording, so that the trail ends where a check found its failure
// and not with the tidying up after it.
void freezeCallTrail();
// Adds one call; repeats of the same call add to the last entry. No
// allocation, no lock: it runs around process calls.
void recordCall(CallKind kind, int32_t opcode = 0, int32_t index = 0, int64_t value = 0,
                float opt = 0.0f);

// The last `most` calls, oldest first, on one line, and what was set:
// "sample rate 44100 Hz, block size 512, 130 process calls since resume;
// last calls: open, setSampleRate 44100, ..."
std::string describeTrail(const CallTrail& trail, int most = 16);

}  // namespace kqfx::command::validate
