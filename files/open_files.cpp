// The files family's record. Its commands come with the family.
#include <new>

#include "engine/family.h"
#include "files/files.h"

namespace qrt {

namespace {

OpenFiles* g_files = nullptr;

void createFiles() {
  if (!g_files) g_files = new (std::nothrow) OpenFiles();
}

void releaseFiles() {
  delete g_files;
  g_files = nullptr;
}

}  // namespace

OpenFiles* openFiles() { return g_files; }

Family filesFamily() { return {"files", createFiles, releaseFiles, nullptr, nullptr, {}}; }

}  // namespace qrt
