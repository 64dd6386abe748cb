#include "RoomModels.h"

const char* const MODELS[kqfx::kModelCount] = {
    "Classic",  "Antechamber", "ThroneRoom", "Grand Hall", "Refectory",
    "Solarium", "Library",     "Dungeon",    "Ballroom",   "Catacombs",
};
