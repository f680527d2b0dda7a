#include "host/loader.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "host/cp932.h"
#include "host/errors.h"

namespace qrt {

uint8_t* allocateExecutable(uint32_t size) {
  // Native blocks run where they lie, so the buffer must be executable.
  return static_cast<uint8_t*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
}

LoaderRecord* loadExecutable(const char* path) {
  auto* record = static_cast<LoaderRecord*>(calloc(1, sizeof(LoaderRecord)));
  if (!record) return nullptr;
  strncpy(record->path, path, sizeof record->path - 1);

  std::wstring widePath = widen932(path);
  HANDLE file = CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    raiseLoadError(100, path, 0);
    free(record);
    return nullptr;
  }
  LARGE_INTEGER length{};
  GetFileSizeEx(file, &length);
  if (length.QuadPart == 0) {
    CloseHandle(file);
    raiseLoadError(101, nullptr, 0);
    free(record);
    return nullptr;
  }
  if (length.QuadPart >= 0x7FFFFFFF) {
    CloseHandle(file);
    free(record);
    return nullptr;
  }
  auto fileLength = static_cast<uint32_t>(length.QuadPart);
  uint8_t* buffer = allocateExecutable(fileLength + 1);
  if (!buffer) {
    CloseHandle(file);
    free(record);
    return nullptr;
  }
  DWORD total = 0;
  while (total < fileLength) {
    DWORD got = 0;
    if (!ReadFile(file, buffer + total, fileLength - total, &got, nullptr) || got == 0) break;
    total += got;
  }
  CloseHandle(file);
  buffer[total] = '\n';
  record->buffer = buffer;
  record->size = total + 1;
  return record;
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
