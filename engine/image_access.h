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

// Raises error 601 and returns false.
bool fail601();

}  // namespace qrt
