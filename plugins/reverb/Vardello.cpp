#include "Vardello.h"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "kqfx/framework/PluginEntry.h"

namespace kqfx {

Vardello::Vardello(HostCallback callback)
    : StereoEffect(callback, fourCharCode("KQVA"), kParameters) {
  // The engine's own dry term stays 0: the dry signal reaches the outputs
  // only through "Dry Level". Its wet level 3 is the models' reference.
  engine.setmode(0.0f);
  engine.setwet(1.0f);
  engine.setdry(0.0f);
  modelClassic();
}

int32_t Vardello::modelIndex(float value) {
  const double n = std::floor(static_cast<double>(value) * 9.0);
  return n >= 0.0 && n < kModelCount ? static_cast<int32_t>(n) : 0;
}

void Vardello::displayValue(int32_t index, float target, char* text) {
  switch (index) {
    case kDryLevel:
      writeGainText<Gain>(*this, target, text);
      break;
    case kDepth:
    case kBrightness:
      float2string(static_cast<float>(static_cast<double>(target) * 100.0), text);
      break;
    default:
      std::strcpy(text, MODELS[modelIndex(target)]);
      break;
  }
}

void Vardello::applyModel(float requested) {
  if (std::bit_cast<uint32_t>(requested) == std::bit_cast<uint32_t>(appliedModel)) return;
  appliedModel = requested;
  using ModelOperation = void (Vardello::*)();
  static constexpr ModelOperation kOperations[kModelCount] = {
      &Vardello::modelClassic,   &Vardello::modelAntechamber, &Vardello::modelThroneRoom,
      &Vardello::modelGrandHall, &Vardello::modelRefectory,   &Vardello::modelSolarium,
      &Vardello::modelLibrary,   &Vardello::modelDungeon,     &Vardello::modelBallroom,
      &Vardello::modelCatacombs};
  (this->*kOperations[modelIndex(requested)])();
}

void Vardello::applyRoom(const RoomSettings& room) {
  engine.setroomsize(room.roomsize);
  engine.setwidth(room.width);
  engine.setcompthreshold(room.compthreshold);
  engine.setcompceiling(room.compceiling);
}

void Vardello::modelClassic() { applyRoom(kRoomModels[0]); }
void Vardello::modelAntechamber() { applyRoom(kRoomModels[1]); }
void Vardello::modelThroneRoom() { applyRoom(kRoomModels[2]); }
void Vardello::modelGrandHall() { applyRoom(kRoomModels[3]); }
void Vardello::modelRefectory() { applyRoom(kRoomModels[4]); }
void Vardello::modelSolarium() { applyRoom(kRoomModels[5]); }
void Vardello::modelLibrary() { applyRoom(kRoomModels[6]); }
void Vardello::modelDungeon() { applyRoom(kRoomModels[7]); }
void Vardello::modelBallroom() { applyRoom(kRoomModels[8]); }
void Vardello::modelCatacombs() { applyRoom(kRoomModels[9]); }

}  // namespace kqfx

KQFX_PLUGIN_ENTRY(kqfx::Vardello)
