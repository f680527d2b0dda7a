#include "base/clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace qrt {

namespace {
ClockSource g_source = nullptr;
}

uint32_t clockMs() { return g_source ? g_source() : static_cast<uint32_t>(timeGetTime()); }

void setClockSource(ClockSource source) { g_source = source; }

void useFinestTimer(TimerCapabilities& caps) {
  if (caps.periodMin != -1) return;
  TIMECAPS tc;
  if (timeGetDevCaps(&tc, sizeof tc) != MMSYSERR_NOERROR) return;
  caps.periodMin = static_cast<int32_t>(tc.wPeriodMin);
  caps.periodMax = static_cast<int32_t>(tc.wPeriodMax);
  const UINT atLeastOne = tc.wPeriodMin > 1 ? tc.wPeriodMin : 1;
  timeBeginPeriod(atLeastOne < tc.wPeriodMax ? atLeastOne : tc.wPeriodMax);
}

}  // namespace qrt
