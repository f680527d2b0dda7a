// File records: F@OPEN's modes and the stream a script reads and writes.
// Every record is used from the one thread, so the stream's bytes are moved
// with the C library's unlocked forms.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <new>

#include "base/cp932.h"
#include "files/files.h"

namespace qrt {

namespace {

// F@OPEN's modes. None truncates: the descriptor is opened without it and
// the stream attached afterwards, so "w" only says how the stream is used,
// and writing overwrites the file from its start and keeps what lies
// beyond the last byte written. Only mode 3 creates a missing file.
struct OpenMode {
  int flags;
  const wchar_t* text;
  const wchar_t* binary;
};
constexpr OpenMode kModes[] = {
    {_O_RDONLY | _O_RANDOM, L"r", L"rb"},
    {_O_WRONLY | _O_RANDOM, L"w", L"wb"},
    {_O_RDWR | _O_RANDOM, L"r+", L"r+b"},
    {_O_RDWR | _O_CREAT, L"w+", L"w+b"},
};

// The file's length from its descriptor, its position left where it was;
// a file beyond the largest length a script can hold reads as that length.
int32_t measure(int descriptor) {
  const int64_t here = _lseeki64(descriptor, 0, SEEK_CUR);
  const int64_t end = _lseeki64(descriptor, 0, SEEK_END);
  _lseeki64(descriptor, here, SEEK_SET);
  if (end < 0) return 0;
  return static_cast<int32_t>(std::min<int64_t>(end, INT32_MAX));
}

}  // namespace

std::unique_ptr<FileRecord> openFile(const char* path, int32_t mode, bool binary) {
  if (mode < 0 || mode > 3) return nullptr;
  const OpenMode& m = kModes[mode];
  const int descriptor =
      _wopen(widen932(path).c_str(), m.flags | (binary ? _O_BINARY : _O_TEXT), _S_IREAD | _S_IWRITE);
  if (descriptor < 0) return nullptr;
  const int32_t length = measure(descriptor);
  std::FILE* stream = _wfdopen(descriptor, binary ? m.binary : m.text);
  if (!stream) {
    _close(descriptor);
    return nullptr;
  }
  std::unique_ptr<FileRecord> r(new (std::nothrow) FileRecord(stream, length));
  if (!r) std::fclose(stream);
  return r;
}

FileRecord::~FileRecord() { std::fclose(stream_); }

// A C stream must be positioned between reading and writing: without it a
// byte written after a read lands in the read buffer and is never written,
// and a read after a write returns what the buffer held before.
void FileRecord::turn(Direction to) {
  if (last_ != to && last_ != Direction::kNone) std::fseek(stream_, 0, SEEK_CUR);
  last_ = to;
}

int FileRecord::get() {
  turn(Direction::kReading);
  return _getc_nolock(stream_);
}

void FileRecord::put(int byte) {
  turn(Direction::kWriting);
  _putc_nolock(byte, stream_);
}

void FileRecord::put(const char* text) {
  turn(Direction::kWriting);
  std::fputs(text, stream_);
}

size_t FileRecord::readLine(std::vector<char>& line, size_t limit) {
  turn(Direction::kReading);
  size_t n = 0;
  while (n < limit) {
    const int c = _getc_nolock(stream_);
    if (c == EOF) break;
    if (n == line.size()) line.resize(std::min(limit, std::max<size_t>(256, 2 * n)));
    line[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  return n;
}

}  // namespace qrt
