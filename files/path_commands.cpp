// Whole files and folders, and the current directory and drive. Paths are
// cp932 and used as given, relative to the current directory; an unset
// path is the empty path, which every platform call refuses.
#include <direct.h>
#include <windows.h>

#include <string>

#include "base/cp932.h"
#include "engine/call.h"
#include "files/commands.h"

namespace qrt {

namespace {

std::wstring pathOf(Call& c, int n) { return widen932(c.s(n)); }

}  // namespace

// The success senses differ by command, as scripts have always read them:
// 0 for F@RENAME, F@DELETE and F@DIRMAKE, -1 for F@FILECOPY and F@DIRREL.

int32_t cmdFRename(Call& c) { return MoveFileW(pathOf(c, 0).c_str(), pathOf(c, 1).c_str()) ? 0 : -1; }

int32_t cmdFDelete(Call& c) { return DeleteFileW(pathOf(c, 0).c_str()) ? 0 : -1; }

int32_t cmdFFileCopy(Call& c) {
  return CopyFileW(pathOf(c, 0).c_str(), pathOf(c, 1).c_str(), c.i(2) == 0) ? -1 : 0;
}

int32_t cmdFDirMake(Call& c) { return CreateDirectoryW(pathOf(c, 0).c_str(), nullptr) ? 0 : -1; }

int32_t cmdFDirRel(Call& c) { return RemoveDirectoryW(pathOf(c, 0).c_str()) ? -1 : 0; }

// The C library's forms keep its record of each drive's own current
// directory, which CHDRIVE goes back to.
int32_t cmdChDir(Call& c) { return _wchdir(pathOf(c, 0).c_str()) == 0 ? kDone : c.fail(730); }

int32_t cmdChDrive(Call& c) {
  const int32_t drive = c.i(0);
  if (drive < 1 || drive > 26 || _chdrive(drive) != 0) return c.fail(740);
  return kDone;
}

}  // namespace qrt
