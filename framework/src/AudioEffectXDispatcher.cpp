// Host opcodes 25 to 58. Yes/no operations answer 1 or 0; the connection
// notices and the block-size-and-rate notice always answer 1; opcode 57
// answers 1 when the effect does NOT need keys. Pointers the effect hands
// out travel whole in the pointer-sized answer.

#include <cstdint>

#include "SampleRateRule.h"
#include "kqfx/framework/AudioEffectX.h"

namespace kqfx {

namespace {
intptr_t yesNo(bool answer) { return answer ? 1 : 0; }

int32_t int32Of(intptr_t value) { return static_cast<int32_t>(value); }

char* textOf(void* ptr) { return static_cast<char*>(ptr); }

template <class Record>
Record* recordOf(void* ptr) {
  return static_cast<Record*>(ptr);
}

intptr_t addressOf(const void* pointer) { return reinterpret_cast<intptr_t>(pointer); }
}  // namespace

intptr_t AudioEffectX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
  constexpr uint32_t kFirst = opProcessEvents;
  constexpr uint32_t kLast = opGetVstVersion;
  // One unsigned test catches everything below 25 (negative opcodes too)
  // and everything above 58.
  if (static_cast<uint32_t>(opcode) - kFirst > kLast - kFirst) {
    return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
  }

  // A text opcode without a buffer answers 0 and calls nothing, so no
  // operation is ever handed a null text.
  switch (opcode) {
    case opProcessEvents:
      return processEvents(recordOf<VstEvents>(ptr));
    case opCanParameterBeAutomated:
      return yesNo(canParameterBeAutomated(index));
    case opString2Parameter:
      return ptr ? yesNo(string2parameter(index, textOf(ptr))) : 0;
    case opGetNumCategories:
      return getNumCategories();
    case opGetProgramNameIndexed:
      return ptr ? yesNo(getProgramNameIndexed(int32Of(value), index, textOf(ptr))) : 0;
    case opCopyProgram:
      return yesNo(copyProgram(index));
    case opInputConnected:
      inputConnected(index, value != 0);
      return 1;
    case opOutputConnected:
      outputConnected(index, value != 0);
      return 1;
    case opGetInputProperties:
      return yesNo(getInputProperties(index, recordOf<VstPinProperties>(ptr)));
    case opGetOutputProperties:
      return yesNo(getOutputProperties(index, recordOf<VstPinProperties>(ptr)));
    case opGetPlugCategory:
      return getPlugCategory();
    case opReportCurrentPosition:
      return reportCurrentPosition();
    case opReportDestinationBuffer:
      return addressOf(reportDestinationBuffer());
    case opOfflineNotify:
      return yesNo(offlineNotify(recordOf<VstAudioFile>(ptr), int32Of(value), index != 0));
    case opOfflinePrepare:
      return yesNo(offlinePrepare(recordOf<VstOfflineTask>(ptr), int32Of(value)));
    case opOfflineRun:
      return yesNo(offlineRun(recordOf<VstOfflineTask>(ptr), int32Of(value)));
    case opProcessVariableIo:
      return yesNo(processVariableIo(recordOf<VstVariableIo>(ptr)));
    case opSetSpeakerArrangement:
      // The input arrangement comes in `value`, which is pointer-sized.
      return yesNo(setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                         recordOf<VstSpeakerArrangement>(ptr)));
    case opSetBlockSizeAndSampleRate:
      // An unusable rate leaves the stored one as it is, as opcode 10 does.
      setBlockSizeAndSampleRate(int32Of(value), isAcceptableSampleRate(opt) ? opt : sampleRate);
      return 1;
    case opSetBypass:
      return yesNo(setBypass(value != 0));
    case opGetEffectName:
      return ptr ? yesNo(getEffectName(textOf(ptr))) : 0;
    case opGetErrorText:
      return ptr ? yesNo(getErrorText(textOf(ptr))) : 0;
    case opGetVendorString:
      return ptr ? yesNo(getVendorString(textOf(ptr))) : 0;
    case opGetProductString:
      return ptr ? yesNo(getProductString(textOf(ptr))) : 0;
    case opGetVendorVersion:
      return getVendorVersion();
    case opVendorSpecific:
      return vendorSpecific(index, value, ptr, opt);
    case opCanDo:
      return ptr ? canDo(textOf(ptr)) : 0;
    case opGetTailSize:
      return getGetTailSize();
    case opFxIdle:
      return fxIdle();
    case opGetIcon:
      return addressOf(getIcon());
    case opSetViewPosition:
      return yesNo(setViewPosition(index, int32Of(value)));
    case opGetParameterProperties:
      return yesNo(getParameterProperties(index, recordOf<VstParameterProperties>(ptr)));
    case opKeysRequired:
      return yesNo(!keysRequired());
    case opGetVstVersion:
      return getVstVersion();
  }
  return 0;  // not reached: every opcode of the range has its row above
}

}  // namespace kqfx
