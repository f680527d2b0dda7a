// Reading a whole file into memory, with a cap on its size: a file named by
// a script or read from disk is outside input, and its length must never
// decide alone how much memory the process asks for.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

namespace qrt {

enum class WholeFile {
  kRead,         // every byte is in memory
  kCannotOpen,   // missing, a folder, locked, not allowed
  kTooLarge,     // longer than the cap
  kNoMemory,     // the buffer could not be had
  kReadFailed,   // the file shrank or a read failed
};

// Reads the file at `path` (UTF-16) into `out`; `cap` is the largest size
// accepted, in bytes.
WholeFile readWholeFile(const wchar_t* path, uint32_t cap, std::vector<uint8_t>& out);

// The same into memory the caller provides: `allocate(size)` is called once
// with the file's length and returns a buffer of at least that many bytes,
// or nullptr. `size` receives the length.
WholeFile readWholeFile(const wchar_t* path, uint32_t cap, const std::function<uint8_t*(uint32_t)>& allocate,
                        uint32_t& size);

// The first bytes of a file, at most `want` of them: false when it cannot
// be opened. `got` receives how many were read (fewer for a shorter file).
bool readFileHead(const wchar_t* path, uint8_t* out, uint32_t want, uint32_t& got);

}  // namespace qrt
