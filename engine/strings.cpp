#include "engine/strings.h"

#include <cstdlib>
#include <cstring>

#include "base/cp932.h"
#include "base/errors.h"

namespace qrt {

namespace {

constexpr uint32_t kSlack = 64;

int32_t frameMark(const uint32_t* frame) { return static_cast<int32_t>(reinterpret_cast<uintptr_t>(frame)); }

bool insideImage(const EngineState& e, const StringObject* o) {
  auto p = reinterpret_cast<const uint8_t*>(o);
  return p >= e.imageBase && p < e.imageBase + e.imageSize;
}

// Whether the object in a destination slot is ours to reuse: a frame's own
// object for a frame slot, a static object for a static slot. Constants,
// temporaries and other frames' objects are never resized or freed here.
bool ownedBy(const EngineState& e, const StringObject* o, int32_t mark) {
  return o && o->mark == mark && !insideImage(e, o);
}

void unlink(uint32_t* frame, StringObject* o) {
  auto** link = reinterpret_cast<StringObject**>(&frame[slot::kStrings]);
  while (*link) {
    if (*link == o) {
      *link = o->link;
      o->link = nullptr;
      return;
    }
    link = &(*link)->link;
  }
}

void push(uint32_t* frame, StringObject* o) {
  o->link = reinterpret_cast<StringObject*>(frame[slot::kStrings]);
  frame[slot::kStrings] = reinterpret_cast<uint32_t>(o);
}

// Makes sure the destination holds an object of ours with capacity for
// `needed`; returns it (the old object may have moved) or nullptr.
StringObject* prepareDestination(EngineState& e, uint32_t* frame, uint32_t* dest, uint32_t needed,
                                 bool* kept = nullptr) {
  if (kept) *kept = false;
  bool isStatic = inStaticArea(e, dest);
  int32_t mark = isStatic ? owner::kStatic : frameMark(frame);
  auto* o = reinterpret_cast<StringObject*>(*dest);
  if (ownedBy(e, o, mark)) {
    if (kept) *kept = true;  // same text, maybe at a new address
    if (static_cast<uint32_t>(o->capacity) >= needed) return o;
    if (!isStatic) unlink(frame, o);
    auto* grown = static_cast<StringObject*>(realloc(o, needed + kSlack));
    if (!grown) {
      if (!isStatic) push(frame, o);  // the old text stays intact
      return nullptr;
    }
    ++e.stringAllocations;
    grown->capacity = static_cast<int32_t>(needed);
    if (!isStatic) push(frame, grown);
    *dest = reinterpret_cast<uint32_t>(grown);
    return grown;
  }
  auto* fresh = static_cast<StringObject*>(malloc(needed + kSlack));
  if (!fresh) return nullptr;
  ++e.stringAllocations;
  ++e.liveStrings;
  fresh->length = 1;
  fresh->capacity = static_cast<int32_t>(needed);
  fresh->mark = mark;
  fresh->link = nullptr;
  fresh->text()[0] = 0;
  if (!isStatic) push(frame, fresh);
  *dest = reinterpret_cast<uint32_t>(fresh);
  return fresh;
}

uint32_t textLength(const StringObject* s) {
  if (!s || s->length <= 1) return 0;
  return static_cast<uint32_t>(s->length - 1);
}

}  // namespace

bool inStaticArea(const EngineState& e, const uint32_t* a) {
  return e.staticFirst && a >= e.staticFirst && a <= e.staticLast;
}

bool storeString(EngineState& e, uint32_t* frame, uint32_t* dest, const StringObject* y) {
  auto* o = reinterpret_cast<StringObject*>(*dest);
  if (!y) {
    if (!o) return true;
    int32_t mark = inStaticArea(e, dest) ? owner::kStatic : frameMark(frame);
    if (ownedBy(e, o, mark)) {
      o->length = 1;
      o->text()[0] = 0;
    } else {
      // Someone else's object (a constant, a caller's string) must not be
      // emptied in place; the slot reads as the empty string instead.
      *dest = 0;
    }
    return true;
  }
  uint32_t length = y->length > 0 ? static_cast<uint32_t>(y->length) : 1;
  bool sourceIsDest = (y == o);
  bool kept = false;
  StringObject* d = prepareDestination(e, frame, dest, length + kSlack, &kept);
  if (!d) return false;
  if (sourceIsDest && kept) return true;  // X ← X
  memmove(d->text(), y->text(), length - 1);
  d->text()[length - 1] = 0;
  d->length = static_cast<int32_t>(length);
  return true;
}

bool joinStrings(EngineState& e, uint32_t* frame, uint32_t* dest, const StringObject* a, const StringObject* b) {
  uint32_t la = textLength(a), lb = textLength(b);
  auto* old = reinterpret_cast<StringObject*>(*dest);
  bool aIsDest = a && a == old, bIsDest = b && b == old;
  bool kept = false;
  StringObject* d = prepareDestination(e, frame, dest, la + lb + 1 + kSlack, &kept);
  if (!d) return false;
  // When the destination was an operand and was kept (reused or grown in
  // place by realloc), that operand's text now starts at d.
  const char* srcA = (aIsDest && kept) ? d->text() : (a ? a->text() : "");
  const char* srcB = (bIsDest && kept) ? d->text() : (b ? b->text() : "");
  char* out = d->text();
  // B first: when B is the destination its text must move out of A's way.
  memmove(out + la, srcB, lb);
  memmove(out, srcA, la);
  out[la + lb] = 0;
  d->length = static_cast<int32_t>(la + lb + 1);
  return true;
}

bool releaseFrameStrings(EngineState& e, uint32_t* frame, uint32_t* caller, uint32_t* resultDest) {
  bool ok = true;
  bool copied = false;
  auto* o = reinterpret_cast<StringObject*>(frame[slot::kStrings]);
  frame[slot::kStrings] = 0;
  while (o) {
    StringObject* next = o->link;
    if (resultDest && !copied && reinterpret_cast<uint32_t>(o) == frame[slot::kResult]) {
      ok = storeString(e, caller, resultDest, o);
      copied = true;
    }
    free(o);
    --e.liveStrings;
    o = next;
  }
  if (resultDest && !copied) *resultDest = frame[slot::kResult];
  return ok;
}

StringObject* takeTemporary(EngineState& e, uint32_t length, int commandId) {
  if (length == 0) length = 1;
  StringObject*& entry = e.ring[e.ringNext];
  if (!entry || static_cast<uint32_t>(entry->capacity) < length) {
    auto* block = static_cast<StringObject*>(realloc(entry, length + kSlack));
    if (!block) {
      if (commandId != kNoCommand) raiseCommandError(620, commandId);
      return nullptr;
    }
    ++e.stringAllocations;
    entry = block;
    entry->capacity = static_cast<int32_t>(length);
  }
  entry->length = 0;
  entry->mark = owner::kTemporary;
  entry->link = reinterpret_cast<StringObject*>(-1);
  StringObject* t = entry;
  e.ringNext = (e.ringNext + 1) % kRingSize;
  return t;
}

StringObject* temporaryText(EngineState& e, const char* text, uint32_t length, int commandId) {
  // The bytes may lie in the very temporary about to be reused (a command
  // handing back part of its own argument): keep where they are in it, since
  // growing it may move it.
  const StringObject* next = e.ring[e.ringNext];
  const char* nextText = next ? next->text() : nullptr;
  const bool inside = next && text >= nextText && text < nextText + next->capacity;
  const size_t offset = inside ? static_cast<size_t>(text - nextText) : 0;
  StringObject* t = takeTemporary(e, length + 1, commandId);
  if (!t) return nullptr;
  if (inside) text = t->text() + offset;
  if (length) memmove(t->text(), text, length);
  t->text()[length] = 0;
  t->length = static_cast<int32_t>(length + 1);
  return t;
}

namespace {
struct LeadBytes {
  bool is[256];
  LeadBytes() {
    for (int c = 0; c < 256; ++c) is[c] = isLeadByte932(static_cast<unsigned char>(c));
  }
};
const LeadBytes g_lead;

// A character's code: a lead byte and its trail byte together, as one
// number above every single-byte code (a lead byte before the NUL stands
// alone).
inline unsigned characterCode(unsigned lead, unsigned next) { return next ? (lead << 8) | next : lead; }
}  // namespace

int compareText932(const char* a, const char* b) {
  auto pa = reinterpret_cast<const unsigned char*>(a);
  auto pb = reinterpret_cast<const unsigned char*>(b);
  for (;;) {
    unsigned ca = *pa, cb = *pb;
    if (ca == cb) {
      if (ca == 0) return 0;
      if (!g_lead.is[ca]) {
        ++pa, ++pb;
        continue;
      }
      unsigned ta = pa[1], tb = pb[1];
      if (ta == tb) {
        if (ta == 0) return 0;
        pa += 2, pb += 2;
        continue;
      }
      unsigned xa = characterCode(ca, ta), xb = characterCode(cb, tb);
      return xa < xb ? -1 : 1;
    }
    unsigned xa = g_lead.is[ca] ? characterCode(ca, pa[1]) : ca;
    unsigned xb = g_lead.is[cb] ? characterCode(cb, pb[1]) : cb;
    return xa < xb ? -1 : 1;  // different first bytes never give equal codes
  }
}

}  // namespace qrt
