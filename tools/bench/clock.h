// The benchmarks' clock: seconds from the performance counter.
#pragma once
#include <windows.h>

namespace qrt::bench {

inline double now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

}  // namespace qrt::bench
