// Reading the executable and finding the program image appended to it.
#pragma once
#include <cstdint>

namespace qrt {

constexpr int kImageHeaderSize = 22;

// The largest executable read: far beyond any game, well inside a 32-bit
// process.
constexpr uint32_t kMaxExecutableSize = 1u << 30;

struct LoaderRecord {
  char path[260];
  uint8_t* buffer;   // executable memory: native blocks run in place
  uint32_t size;     // file length + 1 (a line feed follows the file)
};

// Loads the file at `path` into a new executable buffer. Reports load
// errors 100 and 101; returns nullptr on failure.
LoaderRecord* loadExecutable(const char* path);

// Position of the first image header in the buffer, or -1.
int64_t findImageHeader(const uint8_t* buffer, uint32_t size);

// An executable buffer holding a copy of `bytes` (used by the loader).
uint8_t* allocateExecutable(uint32_t size);

}  // namespace qrt
