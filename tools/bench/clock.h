// The benchmarks' clock: seconds from the performance counter; and the
// warning every benchmark starts with when its figures come from an
// emulator.
#pragma once
#include <windows.h>

#include <cstdio>

#include "tests/support/pace.h"

namespace qrt::bench {

// Under QEMU the engine and the plain loops slow down by different amounts
// (a game's own code, system calls and Mesa's drawing each their own), so
// not even the ratios carry over to a native machine.
inline void warnWhenEmulated() {
  if (!test::emulated()) return;
  std::printf("WARNING: Wine runs under an emulator on this machine (QRT_I386=emulated): these figures are not\n"
              "comparable with a native machine's, ratios included; the README's tables are native figures.\n");
  std::fflush(stdout);
}

inline double now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

}  // namespace qrt::bench
