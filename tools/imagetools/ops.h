// The op stream: one op decoded at a position, with its size worked out the
// way the engine does (the call ops from the callee's descriptor, the
// built-in op from the command's signature in the vocabulary).
#pragma once
#include <cstdint>
#include <vector>

#include "engine/image_rules.h"
#include "tools/imagetools/descriptor.h"
#include "tools/imagetools/image_view.h"

namespace qrt::imgtools {

struct Op {
  uint32_t at = 0;
  uint32_t word = 0;       // the op word; only its low byte is the code
  uint8_t code = 0;
  uint32_t size = 0;       // bytes the op occupies; 0 when it cannot be sized
  bool whole = false;      // all `size` bytes lie in the image
  bool headFits = false;   // the words before any argument slots lie in the image

  // 1 and 10: routine, result slot, argument slots. 3: command id, result
  // slot, arguments (the offset-of-next word between them is not read).
  uint32_t routine = 0, command = 0, result = 0;
  std::vector<uint32_t> args;
  // 7, 8, 9: mode, the first and second operands, C or R, X's element
  // offset (7), the comparison code (9) and the static flags.
  uint32_t mode = 0, first = 0, second = 0, target = 0, elementOffset = 0, compareCode = 0, flags = 0;

  bool sized() const { return size != 0; }
  bool firstStatic() const { return (flags & 0x80000000u) != 0; }
  bool secondStatic() const { return (flags & 0x40000000u) != 0; }
  bool firstElement() const { return (mode & 0x20) != 0; }
  bool secondElement() const { return (mode & 0x02) != 0; }
};

// Decodes the op at `at` (which must leave room for the op word). Never
// reads outside the image: operands that do not fit stay 0.
Op decodeOp(const ImageView& image, uint32_t at, Descriptors& descriptors);

// "call", "built-in", ... for the eleven codes; "unknown" otherwise.
const char* opName(uint8_t code);

// The string-op modes the engine accepts: 0x80 plus the element bits.

// How a comparison code reads: ">", "<", ... or nullptr when the engine
// refuses it.
const char* compareSymbol(uint32_t code);

}  // namespace qrt::imgtools
