// The system family's record (the timer-and-IME record; the timer's
// capabilities are the core functions' own, engine/engine.h): what the IME
// commands took from the text-entry state, and the instance mutexes the
// script asked for.
#pragma once
#include <cstdint>
#include <vector>

#include "base/text_entry.h"
#include "base/win_handle.h"

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

struct SystemRecord {
  CompositionSnapshot snapshot;
  // S@SYSACTCHK's mutexes, held until the program ends, so that another
  // copy of the game finds them while this one runs.
  std::vector<ObjectHandle> instanceMutexes;
};

struct Family;

// The system family's record, or nullptr when it is absent.
SystemRecord* systemRecord();
Family systemFamily();

}  // namespace qrt
