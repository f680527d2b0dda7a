// The IME commands. The window captures what the IME reports into the
// text-entry state (host/messages.cpp); these commands switch the IME's
// modes, arm that capture, and hand the captured composition, candidates,
// committed text and edit line to the script. Texts are cp932 and counted
// in bytes; the script draws all of it itself.
#include "system/ime_commands.h"

#include <windows.h>
#include <imm.h>

#include <cstddef>
#include <cstring>

#include "base/cp932.h"
#include "base/runtime.h"
#include "base/text_entry.h"
#include "base/win_handle.h"
#include "engine/call.h"
#include "system/system.h"

namespace qrt {

namespace {

// The conversion mode each script mode sets (native 1, katakana 2, full
// shape 8); mode 0 closes the IME instead.
constexpr DWORD kConversionOfMode[6] = {
    0,
    IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE,
    IME_CMODE_NATIVE | IME_CMODE_KATAKANA | IME_CMODE_FULLSHAPE,
    IME_CMODE_NATIVE | IME_CMODE_KATAKANA,
    IME_CMODE_FULLSHAPE,
    0,
};

// Room of the empty string a command hands back, so that a script can
// append to it without the store growing it at once.
constexpr uint32_t kEmptyRoom = 128;

TextEntryState& entry() { return g_host.rt.text; }

int32_t emptyString(Call& c) {
  StringObject* t = c.temporary(kEmptyRoom);
  if (!t) return 0;
  t->text()[0] = '\0';
  t->length = 1;
  return Call::string(t);
}

// A copy of `length` bytes; the empty string when there are none, no
// string object (error 620 shown) when no temporary can be had.
int32_t textResult(Call& c, const char* text, uint32_t length) {
  if (length == 0) return emptyString(c);
  return c.text(text, length);
}

// ------------------------------------------------------------- snapshot

// Without its record (it could not be allocated) the process has no
// snapshot: every composition reads as empty.
CompositionSnapshot* snapshot() {
  SystemRecord* r = systemRecord();
  return r ? &r->snapshot : nullptr;
}

uint32_t offsetAt(const TextBuffer& clauses, int32_t i) {
  uint32_t at;
  std::memcpy(&at, clauses.data + 4 * i, sizeof at);
  return at;
}

// The clause being converted is the last one whose first byte the IME marks
// as a target.
int32_t findTargetClause(const TextEntryState& t, const CompositionSnapshot& s) {
  int32_t target = 0;
  for (int32_t k = 1; k <= s.clauseCount; ++k) {
    const uint32_t first = offsetAt(s.clauses, k - 1);
    if (first >= t.attributes.length) continue;
    const auto attribute = static_cast<uint8_t>(t.attributes.data[first]);
    if (attribute == ATTR_TARGET_CONVERTED || attribute == ATTR_TARGET_NOTCONVERTED) target = k;
  }
  return target;
}

// Whether the offsets are the clauses of a composition of `length` bytes:
// from 0 to its end, never going back. The window keeps what each IME
// message reports, so offsets can be left from an earlier composition
// (an IME that commits may empty the text without reporting clauses).
bool offsetsDescribe(const TextBuffer& clauses, uint32_t length) {
  const uint32_t count = clauses.length / 4;
  if (count < 2 || offsetAt(clauses, 0) != 0) return false;
  uint32_t previous = 0;
  for (uint32_t i = 1; i < count; ++i) {
    const uint32_t at = offsetAt(clauses, static_cast<int32_t>(i));
    if (at < previous || at > length) return false;
    previous = at;
  }
  return previous == length;
}

// Takes what the window captured, once per capture.
void takeSnapshotIfCaptured() {
  TextEntryState& t = entry();
  if (t.captureState != kCaptureDone) return;
  t.captureState = kCaptureIdle;
  CompositionSnapshot* s = snapshot();
  if (!s) return;
  s->clauseCount = 0;
  s->targetClause = 0;
  // A half-taken copy would pair one composition's offsets with another's
  // text: without room for both the snapshot is empty.
  if (!s->composition.assign(t.composition.data, t.composition.length) ||
      !s->clauses.assign(t.clauses.data, t.clauses.length)) {
    s->composition.length = 0;
    s->clauses.length = 0;
    return;
  }
  // No text is no clause. Text without offsets that fit it is one clause:
  // an empty clause in the middle would end a script's reading before the
  // text after the caret, and text without clauses would never be shown.
  if (s->composition.length == 0) {
    s->clauses.length = 0;
    return;
  }
  if (!offsetsDescribe(s->clauses, s->composition.length)) {
    const uint32_t whole[2] = {0, s->composition.length};
    if (!s->clauses.assign(reinterpret_cast<const char*>(whole), sizeof whole)) {
      s->clauses.length = 0;
      return;
    }
  }
  s->clauseCount = static_cast<int32_t>(s->clauses.length / 4) - 1;
  s->targetClause = findTargetClause(t, *s);
}

int32_t clauseCount() {
  const CompositionSnapshot* s = snapshot();
  return s ? s->clauseCount : 0;
}

int32_t targetClause() {
  const CompositionSnapshot* s = snapshot();
  return s ? s->targetClause : 0;
}

// Clause k (1 ≤ k ≤ the clause count) of the snapshot.
int32_t clauseResult(Call& c, int32_t k) {
  const CompositionSnapshot& s = *snapshot();
  const uint32_t begin = offsetAt(s.clauses, k - 1), end = offsetAt(s.clauses, k);
  return textResult(c, s.composition.data + begin, end - begin);
}

// S@IMEGETSTR 0 / S@IMEGETEDITSTR 0: asks the window for the next
// composition and waits a frame for it, unless one is already captured.
int32_t armCapture(Call& c) {
  TextEntryState& t = entry();
  if (t.captureState == kCaptureDone) return 0;
  t.composition.length = 0;
  t.clauses.length = 0;
  t.attributes.length = 0;
  t.captureState = kCaptureArmed;
  c.yield();
  return 0;
}

// --------------------------------------------------------- edit segments

// The edit text with the composition standing at the caret, in numbered
// segments: the text before the caret (when there is some), each clause,
// then the text after the caret (when there is some).
struct Segment {
  enum Kind { kNone, kPlain, kClause } kind = kNone;
  const char* text = nullptr;
  uint32_t length = 0;
  int32_t clause = 0;
};

Segment editSegment(int32_t n) {
  const TextEntryState& t = entry();
  const uint32_t length = t.edit.data ? t.edit.length : 0;
  const uint32_t caret = t.caret < length ? t.caret : length;
  const int32_t before = caret > 0 ? 1 : 0;
  const int32_t clauses = clauseCount();
  Segment s;
  if (n < 1) return s;
  if (before && n == 1) {
    s.kind = Segment::kPlain;
    s.text = t.edit.data;
    s.length = caret;
  } else if (n - before >= 1 && n - before <= clauses) {
    s.kind = Segment::kClause;
    s.clause = n - before;
  } else if (caret < length && n == clauses + before + 1) {
    s.kind = Segment::kPlain;
    s.text = t.edit.data + caret;
    s.length = length - caret;
  }
  return s;
}

// -------------------------------------------------------- candidate list

// Candidate n (1-based) of a copied CANDIDATELIST, or false when the list
// has no such candidate. The list is read only inside its copied bytes.
bool candidateText(const TextBuffer& list, int32_t n, const char** text, uint32_t* length) {
  constexpr uint32_t header = offsetof(CANDIDATELIST, dwOffset);
  if (list.length < header || n < 1) return false;
  DWORD count;
  std::memcpy(&count, list.data + offsetof(CANDIDATELIST, dwCount), sizeof count);
  if (count > (list.length - header) / sizeof(DWORD)) count = (list.length - header) / sizeof(DWORD);
  if (static_cast<uint32_t>(n) > count) return false;
  DWORD at;
  std::memcpy(&at, list.data + header + (n - 1) * sizeof(DWORD), sizeof at);
  if (at >= list.length) return false;
  *text = list.data + at;
  *length = static_cast<uint32_t>(strnlen(*text, list.length - at));
  return true;
}

DWORD candidateCount(const TextBuffer& list) {
  if (list.length < offsetof(CANDIDATELIST, dwOffset)) return 0;
  DWORD count;
  std::memcpy(&count, list.data + offsetof(CANDIDATELIST, dwCount), sizeof count);
  return count;
}

}  // namespace

// ------------------------------------------------------------------ modes

int32_t cmdSImeSetMode(Call& c) {
  const int32_t mode = c.i(0);
  if (mode < 0 || mode > 5) return c.fail(660, -1);
  InputContext context(g_host.window);
  if (!context) return 0;
  if (mode == 0) {
    ImmSetOpenStatus(context, FALSE);
    return 0;
  }
  ImmSetOpenStatus(context, TRUE);
  DWORD conversion = 0, sentence = 0;
  ImmGetConversionStatus(context, &conversion, &sentence);
  ImmSetConversionStatus(context, kConversionOfMode[mode], sentence);
  return 0;
}

int32_t cmdSImeGetMode(Call&) {
  InputContext context(g_host.window);
  if (!context || !ImmGetOpenStatus(context)) return 0;
  DWORD conversion = 0, sentence = 0;
  ImmGetConversionStatus(context, &conversion, &sentence);
  const bool fullShape = conversion & IME_CMODE_FULLSHAPE;
  const bool native = conversion & IME_CMODE_NATIVE;
  const bool katakana = conversion & IME_CMODE_KATAKANA;
  if (fullShape) return native ? (katakana ? 2 : 1) : 4;
  return katakana ? 3 : 5;
}

// ------------------------------------------------------------ composition

int32_t cmdSImeGetStr(Call& c) {
  const int32_t n = c.i(0);
  if (n == 0) return armCapture(c);
  takeSnapshotIfCaptured();
  if (n < 0 || n > clauseCount()) return emptyString(c);
  return clauseResult(c, n);
}

int32_t cmdSImeGetState(Call& c) {
  const int32_t n = c.i(0);
  takeSnapshotIfCaptured();
  if (n < 1 || n > clauseCount()) return 0;
  return n == targetClause() ? 3 : 2;
}

int32_t cmdSImeGetResult(Call& c) {
  TextBuffer& result = entry().result;
  if (result.length == 0) {
    // Nothing committed yet: the script waits for the next frame.
    c.yield();
    return 0;
  }
  const int32_t t = c.text(result.data, result.length);
  if (!t) return -1;
  result.length = 0;  // each committed text is handed out once
  return t;
}

// ------------------------------------------------------------- candidates

int32_t cmdSImeGetList(Call& c) {
  const int32_t n = c.i(0);
  const CandidateBlock& live = entry().candidates;
  CompositionSnapshot* s = snapshot();
  if (live.length == 0 || !live.address || !s) return emptyString(c);
  if (!s->candidates.assign(static_cast<const char*>(live.address), live.length)) {
    s->candidates.length = 0;
    return emptyString(c);
  }
  const char* text;
  uint32_t length;
  if (!candidateText(s->candidates, n, &text, &length)) return emptyString(c);
  return textResult(c, text, length);
}

int32_t cmdSImeSetSelect(Call& c) {
  const int32_t n = c.i(0);
  const CompositionSnapshot* s = snapshot();
  if (entry().candidates.length == 0 || !s || n < 1 || static_cast<DWORD>(n) > candidateCount(s->candidates))
    return 0;
  InputContext context(g_host.window);
  if (context) ImmNotifyIME(context, NI_SELECTCANDIDATESTR, 0, static_cast<DWORD>(n - 1));
  return 0;
}

// -------------------------------------------------------------- edit line

int32_t cmdSImeSetEditMode(Call& c) {
  const int32_t flag = c.i(0);
  // The edit text stays: a script may pause editing and resume it.
  if (flag == 0 || flag == 1) entry().editMode = static_cast<uint8_t>(flag);
  return 0;
}

int32_t cmdSImeGetEditStr(Call& c) {
  const int32_t n = c.i(0);
  if (n == 0) return armCapture(c);
  if (entry().editMode != 1) return 0;
  takeSnapshotIfCaptured();
  const Segment s = editSegment(n);
  switch (s.kind) {
    case Segment::kPlain: return textResult(c, s.text, s.length);
    case Segment::kClause: return clauseResult(c, s.clause);
    default: return emptyString(c);
  }
}

int32_t cmdSImeGetEditState(Call& c) {
  const int32_t n = c.i(0);
  if (entry().editMode != 1) return 0;
  takeSnapshotIfCaptured();
  const Segment s = editSegment(n);
  switch (s.kind) {
    case Segment::kPlain: return 1;
    case Segment::kClause: return s.clause == targetClause() ? 3 : 2;
    default: return 0;
  }
}

int32_t cmdSImeGetEditResult(Call& c) {
  TextBuffer& line = entry().editResult;
  if (line.length == 0) return 0;
  const int32_t t = c.text(line.data, line.length);
  if (!t) return 0;
  line.length = 0;
  return t;
}

int32_t cmdSImeGetEditColumn(Call&) { return static_cast<int32_t>(entry().caret); }

int32_t cmdSImeSetEditLen(Call& c) {
  const int32_t n = c.i(0);
  entry().maxLength = n > 0 ? n : 0;
  return 0;
}

int32_t cmdSKanjiChk(Call& c) {
  if (c.unset(0)) return 0;
  return isLeadByte932(static_cast<unsigned char>(c.s(0)[0])) ? 1 : 0;
}

}  // namespace qrt
