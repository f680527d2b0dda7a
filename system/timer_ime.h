// The timer-and-IME record: the system timer's capabilities, queried once
// by SYSTIME, and the IME commands' composition snapshot.
#pragma once
#include <cstdint>

namespace qrt {

struct TimerImeRecord {
  // timeGetDevCaps' answer; periodMin is -1 until a query has succeeded,
  // and the timer resolution is raised on that first success only.
  int32_t periodMin = -1;
  int32_t periodMax = 0;
};

}  // namespace qrt
