// How much slower than a native machine the test bed runs. Where the kernel
// runs no 32-bit programs, Wine's side runs under QEMU's emulator, several
// times slower; the bed measures that once at its start and hands it to
// every program it runs as QRT_PACE (1 on a native machine, or when unset).
//
// Every time-out a test or tool sets is a cap on waiting for something to
// happen, written for a native machine and stretched here:
//   waitFor(done, paced(10000));
// A bound that tells a fault by a fixed wall-clock delay of Wine's own (a
// window manager's two seconds) is not stretched: the delay does not grow
// with the emulation.
#pragma once
#include <windows.h>

#include <cstdlib>
#include <string_view>

namespace qrt::test {

inline int pace() {
  static const int value = [] {
    char text[16] = {};
    const DWORD length = GetEnvironmentVariableA("QRT_PACE", text, sizeof text);
    if (length == 0 || length >= sizeof text) return 1;
    const int n = std::atoi(text);
    return n >= 1 && n <= 1000 ? n : 1;
  }();
  return value;
}

inline int paced(int ms) { return ms * pace(); }

// Whether the bed runs Wine under an emulator (its figures then say nothing
// about a native machine).
inline bool emulated() {
  char text[16] = {};
  const DWORD length = GetEnvironmentVariableA("QRT_I386", text, sizeof text);
  return length > 0 && length < sizeof text && std::string_view(text) == "emulated";
}

}  // namespace qrt::test
