// Frames come from a pool of free lists by slot count, so that a call and
// its return do not go to the heap in steady state. Each block carries two
// words in front of slot 0: the free-list link and the slot count.
#pragma once
#include <cstdint>

namespace qrt {

struct FramePool;

FramePool* createFramePool();
void releaseFramePool(FramePool* pool);

// A zeroed frame of `slots` slots (pointer to slot 0), or nullptr.
uint32_t* allocateFrame(FramePool* pool, int32_t slots);
void freeFrame(FramePool* pool, uint32_t* frame);

}  // namespace qrt
