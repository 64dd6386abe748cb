#pragma once
// The checks themselves; checkCatalogue() lists them in order.

#include "Check.h"

namespace kqfx::command::validate {

// The entry function answers an effect record.
CheckOutcome checkLoading(const CheckContext& context);
// Open and close cold and warm, instances side by side, every opcode.
CheckOutcome checkLifecycle(const CheckContext& context);
// Parameter names, labels and value texts; getParameter answers what was set.
CheckOutcome checkMetadata(const CheckContext& context);
// Noise at the usual rates and block sizes comes out finite and normal.
CheckOutcome checkAudio(const CheckContext& context);
// Input and output in the same buffers gives the same output.
CheckOutcome checkInPlace(const CheckContext& context);
// A render split into other block sizes gives the same output.
CheckOutcome checkBlockSplit(const CheckContext& context);
// Every parameter moved before every 32-frame process call.
CheckOutcome checkAutomation(const CheckContext& context);
// Parameter values outside 0..1, huge, NaN and infinite.
CheckOutcome checkParameterFuzz(const CheckContext& context);
// NaN, infinity and 1e30 in the input.
CheckOutcome checkBadAudio(const CheckContext& context);
// Silence after a loud burst costs no more and stays normal.
CheckOutcome checkSilence(const CheckContext& context);
// Parameters written from a second thread while audio runs.
CheckOutcome checkThreads(const CheckContext& context);
// No allocation or free inside a process call.
CheckOutcome checkRealTime(const CheckContext& context);
// Sample rate and block size changes between suspend and resume.
CheckOutcome checkRateAndBlockChanges(const CheckContext& context);
// The editor opened in a window, idled and closed (only when asked).
CheckOutcome checkEditor(const CheckContext& context);
// Audio ports and control inputs connected to other buffers between runs
// give the same output (LV2).
CheckOutcome checkConnections(const CheckContext& context);

// LV2's loading and lifecycle (checkLoading and checkLifecycle hand LV2
// plug-ins to these).
CheckOutcome checkLv2Loading(const CheckContext& context);
CheckOutcome checkLv2Lifecycle(const CheckContext& context);

}  // namespace kqfx::command::validate
