// Routine descriptors: parsed and checked against the image the first time a
// routine is entered, then kept, so that calls do not re-validate.
#include <limits>

#include "engine/commands.h"
#include "engine/image_access.h"
#include "engine/image_rules.h"

namespace qrt {

namespace {

bool parse(const EngineState& e, uint32_t number, RoutineInfo& r) {
  if (!fits(e, 4ull * number, 4)) return false;
  uint32_t d = wordAt(e, 4 * number);
  if (!fits(e, d, 24)) return false;
  r.descriptor = d;
  r.slotCount = static_cast<int32_t>(wordAt(e, d + 8));
  if (r.slotCount < kReservedSlots || static_cast<uint32_t>(r.slotCount) > kMaxSlots) return false;

  uint64_t countAt;
  if (number == 0) {
    uint32_t staticSize = wordAt(e, d + 12);
    if (staticSize > kMaxSlots) return false;
    r.staticSize = static_cast<int32_t>(staticSize);
    r.paramCount = 0;
    countAt = d + 20ull;
  } else {
    uint32_t k = wordAt(e, d + 16);
    if (k > kMaxCount) return false;
    r.paramCount = static_cast<int32_t>(k);
    r.pairs = d + 20;
    if (!fits(e, r.pairs, 8ull * (k + 1))) return false;
    // FUNC parameter pairs name slots of the new frame.
    for (uint32_t j = 0; j < k; ++j) {
      const uint32_t s = wordAt(e, r.pairs + 8 * j);
      if (s >= static_cast<uint32_t>(r.slotCount) || isReservedSlot(s)) r.paramSlotsInFrame = false;
    }
    r.dllNameSlot = static_cast<int32_t>(wordAt(e, d));
    r.functionNameSlot = static_cast<int32_t>(wordAt(e, d + 4));
    countAt = d + 28ull + 8ull * k;
  }
  if (!fits(e, countAt, 4)) return false;
  uint32_t n = wordAt(e, static_cast<uint32_t>(countAt));
  if (n > kMaxCount) return false;
  r.constantCount = static_cast<int32_t>(n);
  r.constantPairs = static_cast<uint32_t>(countAt + 4);
  if (!fits(e, r.constantPairs, 8ull * n)) return false;
  uint64_t area = r.constantPairs + 8ull * n;

  // The constant area holds n packed string objects.
  uint64_t cursor = area;
  for (uint32_t i = 0; i < n; ++i) {
    if (!fits(e, cursor, 16)) return false;
    uint32_t length = wordAt(e, static_cast<uint32_t>(cursor));
    if (length == 0 || !fits(e, cursor + 16, length)) return false;
    if (e.imageBase[cursor + 16 + length - 1] != 0) return false;  // texts end with their NUL
    cursor += 16ull + length;
  }
  uint64_t areaSize = cursor - area;
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t s = wordAt(e, r.constantPairs + 8 * i);
    uint32_t off = wordAt(e, r.constantPairs + 8 * i + 4);
    if (s >= static_cast<uint32_t>(r.slotCount) || isReservedSlot(s)) return false;
    if (off + 16ull > areaSize) return false;
    uint32_t length = wordAt(e, static_cast<uint32_t>(area + off));
    if (length == 0 || off + 16ull + length > areaSize) return false;
    if (e.imageBase[area + off + 16 + length - 1] != 0) return false;
  }
  r.constantArea = static_cast<uint32_t>(area);
  if (cursor > std::numeric_limits<uint32_t>::max()) return false;
  r.firstOp = static_cast<uint32_t>(cursor);
  if (!fits(e, r.firstOp, 4)) return false;
  return true;
}

}  // namespace

RoutineInfo* routineInfo(EngineState& e, uint32_t number) {
  if (number >= e.routines.size()) {
    if (!fits(e, 4ull * number, 4)) return nullptr;
    e.routines.resize(number + 1);
  }
  RoutineInfo& r = e.routines[number];
  if (!r.checked) {
    r.checked = true;
    r.valid = parse(e, number, r);
  }
  return r.valid ? &r : nullptr;
}

RoutineInfo* checkCallOp(EngineState& e, const uint32_t* f, uint32_t pc, uint32_t* resultSlot) {
  if (!fits(e, pc, 12)) return fail601(), nullptr;
  uint32_t number = wordAt(e, pc + 4);
  *resultSlot = wordAt(e, pc + 8);
  RoutineInfo* r = routineInfo(e, number);
  if (!r || number == 0) return fail601(), nullptr;
  auto k = static_cast<uint32_t>(r->paramCount);
  if (!fits(e, pc, 12 + 4ull * k)) return fail601(), nullptr;
  auto slots = static_cast<uint32_t>(frameSlotCount(f));
  if (*resultSlot >= slots || isReservedSlot(*resultSlot)) return fail601(), nullptr;
  for (uint32_t j = 0; j < k; ++j)
    if (wordAt(e, pc + 12 + 4 * j) >= slots) return fail601(), nullptr;
  return r;
}

}  // namespace qrt
