// Files: the script's file handles and the file-system commands.
#pragma once
#include "base/registry.h"

namespace qrt {

struct Family;

// A file a script opened.
struct FileRecord : HandleRecord {};

// The open-file list: every file a script holds open.
struct OpenFiles {
  HandleRegistry<FileRecord, kind::kFile> files;
};
OpenFiles* openFiles();
Family filesFamily();

}  // namespace qrt
