// The timer-and-IME record: the system timer's capabilities, queried once
// by SYSTIME, and the IME commands' composition snapshot.
#pragma once
#include <cstdint>

#include "host/text_entry.h"

namespace qrt {

// What the IME commands last took from the text-entry state. The script
// reads a composition clause by clause over several commands; the window
// may capture a newer one in between, so the clauses are read from this
// copy, taken once per capture.
struct CompositionSnapshot {
  TextBuffer composition;    // cp932 bytes
  TextBuffer clauses;        // 32-bit byte offsets, clauseCount + 1 of them
  int32_t clauseCount = 0;
  int32_t targetClause = 0;  // 1-based; 0 when no clause is being converted
  TextBuffer candidates;     // CANDIDATELIST with cp932 strings; length 0: none copied yet
};

struct TimerImeRecord {
  // timeGetDevCaps' answer; periodMin is -1 until a query has succeeded,
  // and the timer resolution is raised on that first success only.
  int32_t periodMin = -1;
  int32_t periodMax = 0;
  CompositionSnapshot snapshot;
};

}  // namespace qrt
