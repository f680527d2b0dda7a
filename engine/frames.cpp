#include "engine/frames.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace qrt {

namespace {
// Frames up to this many slots are recycled; larger ones go to the heap.
constexpr int32_t kPooledSlots = 512;
constexpr int kHeaderWords = 2;
}  // namespace

struct FramePool {
  uint32_t* freeList[kPooledSlots + 1] = {};
};

FramePool* createFramePool() { return new (std::nothrow) FramePool(); }

void releaseFramePool(FramePool* pool) {
  if (!pool) return;
  for (uint32_t* head : pool->freeList) {
    while (head) {
      uint32_t* next = reinterpret_cast<uint32_t*>(head[-2]);
      free(head - kHeaderWords);
      head = next;
    }
  }
  delete pool;
}

uint32_t* allocateFrame(FramePool* pool, int32_t slots) {
  if (slots <= 0) return nullptr;
  if (slots <= kPooledSlots) {
    if (uint32_t* frame = pool->freeList[slots]) {
      pool->freeList[slots] = reinterpret_cast<uint32_t*>(frame[-2]);
      frame[-2] = 0;
      memset(frame, 0, static_cast<size_t>(slots) * 4);
      return frame;
    }
  }
  auto* block = static_cast<uint32_t*>(calloc(static_cast<size_t>(slots) + kHeaderWords, 4));
  if (!block) return nullptr;
  block[1] = static_cast<uint32_t>(slots);
  return block + kHeaderWords;
}

void freeFrame(FramePool* pool, uint32_t* frame) {
  if (!frame) return;
  auto slots = static_cast<int32_t>(frame[-1]);
  if (slots <= kPooledSlots) {
    frame[-2] = reinterpret_cast<uint32_t>(pool->freeList[slots]);
    pool->freeList[slots] = frame;
    return;
  }
  free(frame - kHeaderWords);
}

}  // namespace qrt
