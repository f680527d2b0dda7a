// Files: the script's file handles and the file-system commands.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "base/registry.h"

namespace qrt {

struct Family;

// A file a script opened: a buffered stream over the file's descriptor.
// Reads and writes go through the stream as a C program's would, so text
// mode turns CR LF into LF when reading and LF into CR LF when writing.
struct FileRecord : HandleRecord {
  FileRecord(std::FILE* stream, int32_t length) : stream_(stream), length_(length) {}
  ~FileRecord();   // flushes the stream and closes it with its descriptor
  FileRecord(const FileRecord&) = delete;
  FileRecord& operator=(const FileRecord&) = delete;

  int get();                       // the next byte 0..255, or EOF
  void put(int byte);
  void put(const char* text);      // up to its terminating zero
  // Reads at most `limit` bytes into `line`, up to and including the first
  // line end; returns how many were read (0 at the end of the file).
  size_t readLine(std::vector<char>& line, size_t limit);
  int32_t length() const { return length_; }

 private:
  enum class Direction { kNone, kReading, kWriting };
  void turn(Direction to);

  std::FILE* stream_;
  int32_t length_;                 // measured when the file was opened
  Direction last_ = Direction::kNone;
};

// Opens `path` (cp932) in F@OPEN's mode 0..3, in binary or text mode;
// nullptr when the mode is out of range or the file cannot be opened.
std::unique_ptr<FileRecord> openFile(const char* path, int32_t mode, bool binary);

// The open-file list: every file a script holds open.
struct OpenFiles {
  HandleRegistry<FileRecord, kind::kFile> files;
  std::vector<char> line;          // F@READS reads here; as long as the longest line so far
};
OpenFiles* openFiles();
Family filesFamily();

}  // namespace qrt
