// Timer-and-IME record: timer capabilities and the composition snapshot.
#include "system/timer_ime.h"

#include <new>

#include "host/families.h"

namespace qrt {

TimerImeRecord* createTimerImeRecord() { return new (std::nothrow) TimerImeRecord(); }
void releaseTimerImeRecord(TimerImeRecord* r) { delete r; }

}  // namespace qrt
