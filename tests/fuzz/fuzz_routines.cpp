// Routine descriptors of a program image: whatever the bytes, a descriptor
// the engine accepts lies inside the image, as do its parameter pairs and
// every constant it would copy into a new frame; call ops are checked
// against a frame without reading past the image. qrtlink's reader of
// descriptors, which explains refusals, accepts exactly what the engine
// accepts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/commands.h"
#include "engine/image_access.h"
#include "tools/imagetools/descriptor.h"

namespace qrt {
// Reporting is the engine's; here a refusal is only counted.
static int refusals = 0;
bool fail601() {
  ++refusals;
  return false;
}
}  // namespace qrt

using namespace qrt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  // An exact copy, so that the sanitizer sees any read past the image.
  std::vector<uint8_t> image(data, data + size);
  EngineState e;
  e.imageBase = image.data();
  e.imageSize = static_cast<uint32_t>(size);

  // The routine table is the image's first words.
  const uint32_t routines = static_cast<uint32_t>(std::min<size_t>(size / 4, 64));
  const imgtools::ImageView view(image);
  for (uint32_t n = 0; n <= routines; ++n) {
    RoutineInfo* r = routineInfo(e, n);
    const imgtools::Descriptor d = imgtools::readDescriptor(view, n);
    if ((r != nullptr) != d.valid) abort();
    if (!r) continue;
    if (d.firstOp != r->firstOp || d.slotCount != r->slotCount) abort();
    if (n != 0 && r->paramSlotsInFrame != d.badParamPairs.empty()) abort();
    if (!fits(e, r->descriptor, 24) || !fits(e, r->firstOp, 4)) abort();
    if (r->slotCount < kReservedSlots) abort();
    for (int32_t j = 0; j < r->paramCount; ++j) (void)wordAt(e, r->pairs + 8 * j + 4);
    for (int32_t i = 0; i < r->constantCount; ++i) {
      const uint32_t s = wordAt(e, r->constantPairs + 8 * i);
      const uint32_t off = wordAt(e, r->constantPairs + 8 * i + 4);
      if (s >= static_cast<uint32_t>(r->slotCount) || isReservedSlot(s)) abort();
      const uint8_t* object = e.imageBase + r->constantArea + off;
      const uint32_t length = readWord(object);
      if (strlen(reinterpret_cast<const char*>(object + 16)) >= length) abort();
    }
  }

  // A call op at every word of the image, from a frame of 16 slots.
  uint32_t frame[1 + 16] = {16};
  for (uint32_t pc = 0; pc + 4 <= size && pc < 4096; pc += 4) {
    uint32_t resultSlot = 0;
    RoutineInfo* r = checkCallOp(e, frame + 1, pc, &resultSlot);
    if (r && (resultSlot >= 16 || !fits(e, pc, 12 + 4ull * r->paramCount))) abort();
  }
  return 0;
}
