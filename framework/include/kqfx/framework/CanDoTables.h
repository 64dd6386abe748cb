#pragma once
// The capability texts of the host protocol, exported by every deliverable
// as `hostCanDos` and `plugCanDos` for whoever loads it. Nothing in the
// plug-ins reads them.

namespace kqfx {

inline constexpr int kHostCanDoCount = 13;
inline constexpr int kPlugCanDoCount = 23;

}  // namespace kqfx

#define KQFX_HOST_CAN_DOS                                                                  \
  "sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "receiveVstEvents",              \
      "receiveVstMidiEvent", "receiveVstTimeInfo", "reportConnectionChanges",              \
      "acceptIOChanges", "sizeWindow", "asyncProcessing", "offline", "supplyIdle",         \
      "supportShell"

#define KQFX_PLUG_CAN_DOS                                                                  \
  "sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "receiveVstEvents",              \
      "receiveVstMidiEvent", "receiveVstTimeInfo", "offline", "plugAsChannelInsert",       \
      "plugAsSend", "mixDryWet", "noRealTime", "multipass", "metapass", "1in1out",         \
      "1in2out", "2in1out", "2in2out", "2in4out", "4in2out", "4in4out", "4in8out",         \
      "8in4out", "8in8out"
