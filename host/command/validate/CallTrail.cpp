#include "CallTrail.h"

#include <pthread.h>

#include <algorithm>
#include <cstdio>

#include "kqfx/framework/AEffect.h"

namespace kqfx::command::validate {
namespace {

CallTrail* gTrail = nullptr;
pthread_t gRecordingThread;

const char* opcodeName(int32_t opcode) {
  switch (opcode) {
    case opOpen: return "open";
    case opClose: return "close";
    case opSetProgram: return "setProgram";
    case opGetProgram: return "getProgram";
    case opSetProgramName: return "setProgramName";
    case opGetProgramName: return "getProgramName";
    case opGetParameterLabel: return "getParameterLabel";
    case opGetParameterDisplay: return "getParameterDisplay";
    case opGetParameterName: return "getParameterName";
    case opSetSampleRate: return "setSampleRate";
    case opSetBlockSize: return "setBlockSize";
    case opSuspendResume: return "suspend/resume";
    case opEditorGetRect: return "editorGetRect";
    case opEditorOpen: return "editorOpen";
    case opEditorClose: return "editorClose";
    case opEditorIdle: return "editorIdle";
    case opGetChunk: return "getChunk";
    case opSetChunk: return "setChunk";
    case opProcessEvents: return "processEvents";
    case opCanParameterBeAutomated: return "canParameterBeAutomated";
    case opGetProgramNameIndexed: return "getProgramNameIndexed";
    case opSetSpeakerArrangement: return "setSpeakerArrangement";
    case opSetBypass: return "setBypass";
    case opGetEffectName: return "getEffectName";
    case opGetVendorString: return "getVendorString";
    case opGetProductString: return "getProductString";
    case opCanDo: return "canDo";
    case opGetTailSize: return "getTailSize";
    case opGetVstVersion: return "getVstVersion";
    default: return nullptr;
  }
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

std::string describeEntry(const TrailEntry& entry) {
  std::string text;
  switch (entry.kind) {
    case CallKind::entry:
      text = "entry function";
      break;
    case CallKind::setParameter:
      text = "setParameter " + std::to_string(entry.index) + " = " + number(entry.opt);
      break;
    case CallKind::getParameter:
      text = "getParameter " + std::to_string(entry.index);
      break;
    case CallKind::process:
    case CallKind::processReplacing:
      text = std::string(entry.kind == CallKind::process ? "process " : "processReplacing ") +
             std::to_string(entry.value) + " frames";
      break;
    case CallKind::instantiate:
      text = "instantiate at " + number(entry.opt) + " Hz for blocks of " + std::to_string(entry.value);
      break;
    case CallKind::activate:
      text = "activate";
      break;
    case CallKind::deactivate:
      text = "deactivate";
      break;
    case CallKind::cleanup:
      text = "cleanup";
      break;
    case CallKind::connectPort:
      text = "connect_port " + std::to_string(entry.index);
      break;
    case CallKind::run:
      text = "run " + std::to_string(entry.value) + " frames";
      break;
    case CallKind::setControl:
      text = "port " + std::to_string(entry.index) + " = " + number(entry.opt);
      break;
    case CallKind::dispatch: {
      const char* name = opcodeName(entry.opcode);
      if (entry.opcode == opSuspendResume) {
        text = entry.value ? "resume" : "suspend";
      } else if (entry.opcode == opSetSampleRate) {
        text = "setSampleRate " + number(entry.opt);
      } else if (entry.opcode == opSetBlockSize) {
        text = "setBlockSize " + std::to_string(entry.value);
      } else {
        text = name ? std::string(name) : "opcode " + std::to_string(entry.opcode);
        if (entry.index || entry.value || entry.opt != 0.0f) {
          text += " (index " + std::to_string(entry.index) + ", value " +
                  std::to_string(entry.value) + ", opt " + number(entry.opt) + ")";
        }
      }
      break;
    }
  }
  if (entry.repeats > 1) text += " x" + std::to_string(entry.repeats);
  return text;
}

}  // namespace

void recordCallsInto(CallTrail* trail) {
  gTrail = trail;
  gRecordingThread = ::pthread_self();
}

void freezeCallTrail() {
  if (gTrail && ::pthread_equal(::pthread_self(), gRecordingThread)) gTrail->frozen = true;
}

void recordCall(CallKind kind, int32_t opcode, int32_t index, int64_t value, float opt) {
  CallTrail* trail = gTrail;
  if (!trail || trail->frozen || !::pthread_equal(::pthread_self(), gRecordingThread)) return;
  if (kind == CallKind::dispatch) {
    if (opcode == opSetSampleRate) trail->sampleRate = opt;
    if (opcode == opSetBlockSize) trail->blockSize = value;
    if (opcode == opSuspendResume && value) trail->processCalls = 0;
  }
  if (kind == CallKind::instantiate) {
    trail->sampleRate = opt;
    trail->blockSize = value;
  }
  if (kind == CallKind::activate) trail->processCalls = 0;
  if (kind == CallKind::process || kind == CallKind::processReplacing || kind == CallKind::run) {
    ++trail->processCalls;
  }
  if (trail->recorded > 0) {
    TrailEntry& last = trail->entries[(trail->recorded - 1) % CallTrail::kEntries];
    if (last.kind == kind && last.opcode == opcode && last.index == index && last.value == value &&
        (last.opt == opt || (last.opt != last.opt && opt != opt))) {
      ++last.repeats;
      return;
    }
  }
  trail->entries[trail->recorded % CallTrail::kEntries] = {kind, opcode, index, opt, value, 1};
  ++trail->recorded;
}

std::string describeTrail(const CallTrail& trail, int most) {
  std::string text;
  if (trail.sampleRate > 0.0f) text += "sample rate " + number(trail.sampleRate) + " Hz, ";
  if (trail.blockSize > 0) text += "block size " + std::to_string(trail.blockSize) + ", ";
  text += std::to_string(trail.processCalls) + " process calls since resume";
  if (trail.recorded == 0) return text + "; no calls made";
  const uint64_t shown = std::min<uint64_t>(
      trail.recorded, static_cast<uint64_t>(std::min(most, CallTrail::kEntries)));
  text += "; last calls, oldest first: ";
  for (uint64_t i = trail.recorded - shown; i < trail.recorded; ++i) {
    text += (i == trail.recorded - shown ? "" : ", ") +
            describeEntry(trail.entries[i % CallTrail::kEntries]);
  }
  return text;
}

}  // namespace kqfx::command::validate
