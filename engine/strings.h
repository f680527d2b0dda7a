// String values at run time: the store rule, join and the temporary ring.
#pragma once
#include <cstdint>

#include "engine/engine.h"

namespace qrt {

// Stores a copy of `source` (0 = missing) into the slot at `dest`, on
// behalf of `frame`. A destination in the static area keeps its object off
// every frame list. Returns false when no memory could be had.
bool storeString(EngineState& e, uint32_t* frame, uint32_t* dest, const StringObject* source);

// dest (a slot of `frame`) ← a followed by b.
bool joinStrings(EngineState& e, uint32_t* frame, uint32_t* dest, const StringObject* a,
                 const StringObject* b);

// Frees every object on the frame's string list, except that the frame's
// result object, when asked for, is first copied into the caller's slot.
// Returns false when that copy could not be allocated.
bool releaseFrameStrings(EngineState& e, uint32_t* frame, uint32_t* caller, uint32_t* resultDest);

bool inStaticArea(const EngineState& e, const uint32_t* slotAddress);

}  // namespace qrt
