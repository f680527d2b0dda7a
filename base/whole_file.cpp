#include "base/whole_file.h"

#include <windows.h>

#include <new>

#include "base/win_handle.h"

namespace qrt {

namespace {

// For reading only, whoever else has the file open (a game's own F@OPEN,
// a graph playing it).
FileHandle openForReading(const wchar_t* path) {
  return FileHandle(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Reads until `want` bytes are in, the file ends or a read fails.
uint32_t readUpTo(HANDLE file, uint8_t* out, uint32_t want) {
  uint32_t done = 0;
  while (done < want) {
    DWORD got = 0;
    if (!ReadFile(file, out + done, want - done, &got, nullptr) || got == 0) break;
    done += got;
  }
  return done;
}

}  // namespace

bool readFileHead(const wchar_t* path, uint8_t* out, uint32_t want, uint32_t& got) {
  got = 0;
  FileHandle file = openForReading(path);
  if (!file) return false;
  got = readUpTo(file.get(), out, want);
  return true;
}

WholeFile readWholeFile(const wchar_t* path, uint32_t cap, const std::function<uint8_t*(uint32_t)>& allocate,
                        uint32_t& size) {
  size = 0;
  FileHandle file = openForReading(path);
  if (!file) return WholeFile::kCannotOpen;
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(file.get(), &length)) return WholeFile::kCannotOpen;
  if (length.QuadPart < 0 || static_cast<uint64_t>(length.QuadPart) > cap) return WholeFile::kTooLarge;
  const auto total = static_cast<uint32_t>(length.QuadPart);
  uint8_t* buffer = allocate(total);
  if (!buffer) return WholeFile::kNoMemory;
  size = readUpTo(file.get(), buffer, total);
  return size == total ? WholeFile::kRead : WholeFile::kReadFailed;
}

WholeFile readWholeFile(const wchar_t* path, uint32_t cap, std::vector<uint8_t>& out) {
  uint32_t size = 0;
  const WholeFile result = readWholeFile(
      path, cap,
      [&out](uint32_t n) -> uint8_t* {
        try {
          out.resize(n);
        } catch (const std::bad_alloc&) {
          return nullptr;
        }
        // A vector of no bytes has no data pointer; any address will do.
        return n ? out.data() : reinterpret_cast<uint8_t*>(&out);
      },
      size);
  if (result != WholeFile::kRead) out.clear();
  return result;
}

}  // namespace qrt
