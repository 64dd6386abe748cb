#pragma once
// Records of the extended host protocol that belong to the host. The
// framework only hands their addresses on between host and effect and
// never reads or writes them, so they are declared here without a layout.
// An effect that works with one of them defines its layout itself.

#include <cstdint>

namespace kqfx {

struct VstEvents;
struct VstPinProperties;
struct VstParameterProperties;
struct VstSpeakerArrangement;
struct VstVariableIo;
struct VstOfflineTask;
struct VstAudioFile;
struct VstWindow;
struct VstTimeInfo;  // what the host answers to a time-information request

// Passed by value as a 32-bit integer; its values are the host's.
enum VstOfflineOption : int32_t;

}  // namespace kqfx
