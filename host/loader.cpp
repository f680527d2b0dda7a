#include "host/loader.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/cp932.h"
#include "base/errors.h"
#include "base/whole_file.h"

namespace qrt {

uint8_t* allocateExecutable(uint32_t size) {
  // Native blocks run where they lie, so the buffer must be executable.
  return static_cast<uint8_t*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
}

LoaderRecord* loadExecutable(const char* path) {
  auto* record = static_cast<LoaderRecord*>(calloc(1, sizeof(LoaderRecord)));
  if (!record) return nullptr;
  strncpy(record->path, path, sizeof record->path - 1);

  // One byte more than the file: a line feed follows it.
  uint8_t* buffer = nullptr;
  uint32_t length = 0;
  const WholeFile read = readWholeFile(
      widen932(path).c_str(), kMaxExecutableSize,
      [&buffer](uint32_t n) { return buffer = allocateExecutable(n + 1); }, length);
  if (read == WholeFile::kCannotOpen) {
    raiseLoadError(100, path, 0);
  } else if ((read == WholeFile::kRead || read == WholeFile::kReadFailed) && length == 0) {
    raiseLoadError(101, nullptr, 0);
  } else if (read == WholeFile::kRead || read == WholeFile::kReadFailed) {
    // A read cut short keeps what arrived; the image check decides.
    buffer[length] = '\n';
    record->buffer = buffer;
    record->size = length + 1;
    return record;
  }
  if (buffer) VirtualFree(buffer, 0, MEM_RELEASE);
  free(record);
  return nullptr;
}

int64_t findImageHeader(const uint8_t* buffer, uint32_t size) {
  if (size < 16) return -1;
  for (uint32_t p = 0; p + 16 <= size; ++p) {
    if (buffer[p] == 'Q' && buffer[p + 1] == 'R' && buffer[p + 2] == 'T' && buffer[p + 14] == 'V' &&
        buffer[p + 15] == 'E')
      return p;
  }
  return -1;
}

}  // namespace qrt
