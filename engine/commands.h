// Op 3: the dispatcher of built-in commands.
#pragma once
#include <cstdint>

#include "base/vocabulary.h"
#include "engine/image_rules.h"

namespace qrt {

struct EngineState;

// Fills the 231 command records from the vocabulary (start-up).
void buildCommandRecords(CommandRecord* records);

// Dispatches op 3 at the current pc. Returns false when the step must end
// with false (the program ends); sets e.yieldRequested when it yields.
bool dispatchBuiltIn(EngineState& e);


}  // namespace qrt
