// Op 3: the dispatcher of built-in commands.
#pragma once
#include <cstdint>

#include "base/vocabulary.h"

namespace qrt {

struct EngineState;

// Fills the 231 command records from the vocabulary (start-up).
void buildCommandRecords(CommandRecord* records);

// Dispatches op 3 at the current pc. Returns false when the step must end
// with false (the program ends); sets e.yieldRequested when it yields.
bool dispatchBuiltIn(EngineState& e);

// Slots of a frame the engine keeps for itself (caller frame, caller's
// result slot, static area, string list): no op may write a value there.
constexpr bool isReservedSlot(uint32_t s) { return s == 1 || s == 2 || s == 3 || s == 5; }

}  // namespace qrt
