// The millisecond clock (timeGetTime) that commands read: SYSTIME, time-outs
// and frame steps. It sits behind a seam so that a test can drive time-outs
// without waiting for them.
#pragma once
#include <cstdint>

namespace qrt {

uint32_t clockMs();

// Replaces the clock (nullptr restores the real one).
using ClockSource = uint32_t (*)();
void setClockSource(ClockSource source);

// The system timer's capabilities, as the first successful query found them;
// periodMin stays -1 until then.
struct TimerCapabilities {
  int32_t periodMin = -1;
  int32_t periodMax = 0;
};

// Asks for the finest timer period the system offers, once per record: on
// the first query that succeeds. The period is kept for the process.
void useFinestTimer(TimerCapabilities& caps);

}  // namespace qrt
