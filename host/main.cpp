// qrtrun: the runtime that a program image is appended to.
#include <windows.h>

#include <string>

#include "base/cp932.h"
#include "host/host.h"

namespace {

// The command line after the program's own name, in cp932 whatever the
// machine's code page (WinMain's narrow copy uses the machine's).
std::string commandTail() {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return qrt::narrow932(p);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  static const std::string commandLine = commandTail();
  return qrt::hostMain(instance, commandLine.c_str(), show);
}
