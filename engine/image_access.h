// Bounds-checked reading of the program image, and routine descriptors
// validated once and cached.
#pragma once
#include <cstdint>
#include <cstring>

#include "engine/engine.h"

namespace qrt {

inline uint32_t readWord(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

// Whether `length` bytes starting at image offset `offset` lie in the image.
inline bool fits(const EngineState& e, uint64_t offset, uint64_t length) {
  return offset + length <= e.imageSize;
}

// The word at an image offset already checked with fits().
inline uint32_t wordAt(const EngineState& e, uint32_t offset) { return readWord(e.imageBase + offset); }

// The descriptor of routine `number`, checked against the image; nullptr
// when it does not fit (the caller reports 601).
RoutineInfo* routineInfo(EngineState& e, uint32_t number);

// Checks a call op (1 or 10) at `pc` of frame f: routine number (not the
// main routine), the op's length for the routine's parameter count, and its
// result and argument slots against the caller's frame. Returns the routine
// and its result slot, or nullptr after raising 601.
RoutineInfo* checkCallOp(EngineState& e, const uint32_t* f, uint32_t pc, uint32_t* resultSlot);

// Raises error 601 and returns false.
bool fail601();

}  // namespace qrt
