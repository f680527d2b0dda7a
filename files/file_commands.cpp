// The commands on file handles. None of them ends the program: a bad
// handle is ignored or gives 0, and F@OPEN reports failure as -1.
#include <new>

#include "engine/call.h"
#include "files/commands.h"
#include "files/files.h"

namespace qrt {

namespace {

// F@READS's maximum when the script gives 0.
constexpr int32_t kDefaultLine = 65536;

FileRecord* fileOf(Call& c) {
  OpenFiles* files = openFiles();
  return files ? files->files.find(c.handle(0)) : nullptr;
}

}  // namespace

int32_t cmdFOpen(Call& c) {
  OpenFiles* files = openFiles();
  if (!files) return -1;
  FileRecord* r = files->files.add(openFile(c.s(0), c.i(1), c.i(2) != 0));
  return r ? Call::handleResult(r->handle) : -1;
}

int32_t cmdFClose(Call& c) {
  if (FileRecord* f = fileOf(c)) openFiles()->files.release(f);
  return kDone;
}

int32_t cmdFRead(Call& c) {
  FileRecord* f = fileOf(c);
  return f ? f->get() : 0;
}

int32_t cmdFWrite(Call& c) {
  if (FileRecord* f = fileOf(c)) f->put(c.i(1) & 0xFF);
  return kDone;
}

int32_t cmdFWriteS(Call& c) {
  if (FileRecord* f = fileOf(c)) {
    f->put(c.s(1));
    f->put('\n');
  }
  return kDone;
}

// The line without its last byte: a complete line loses its line end (in
// binary mode a CR before it stays), a last line without one loses its
// last character. A maximum below 0 reads nothing.
int32_t cmdFReadS(Call& c) {
  FileRecord* f = fileOf(c);
  if (!f) return 0;
  const int32_t maximum = c.i(1) == 0 ? kDefaultLine : c.i(1);
  const size_t limit = maximum > 0 ? static_cast<size_t>(maximum) - 1 : 0;
  std::vector<char>& line = openFiles()->line;
  size_t n = 0;
  try {
    n = f->readLine(line, limit);
  } catch (const std::bad_alloc&) {
    return c.fail(620, 0);
  }
  return c.text(line.data(), static_cast<uint32_t>(n ? n - 1 : 0));
}

int32_t cmdFLeng(Call& c) {
  FileRecord* f = fileOf(c);
  return f ? f->length() : 0;
}

}  // namespace qrt
