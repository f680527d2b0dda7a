#include "tools/imagetools/ops.h"

#include "base/vocabulary.h"
#include "image/image_builder.h"

namespace qrt::imgtools {

namespace {

// Arguments are read only as far as the image goes; the op is then not whole.
void readArgs(const ImageView& image, Op& op, uint64_t from, uint32_t count) {
  for (uint32_t j = 0; j < count && image.fits(from + 4ull * j, 4); ++j) op.args.push_back(image.word(from + 4ull * j));
}

void decodeCall(const ImageView& image, Op& op, Descriptors& descriptors) {
  op.routine = image.word(op.at + 4ull);
  op.result = image.word(op.at + 8ull);
  if (!image.fits(op.at, 12)) return;
  const Descriptor& d = descriptors.get(op.routine);
  if (!d.valid) return;
  op.size = 12 + 4 * d.paramCount;
  readArgs(image, op, op.at + 12ull, d.paramCount);
}

void decodeBuiltin(const ImageView& image, Op& op) {
  op.command = image.word(op.at + 4ull);
  op.result = image.word(op.at + 12ull);
  if (!image.fits(op.at, 16) || op.command == 0 || op.command >= static_cast<uint32_t>(kCommandCount)) return;
  const uint32_t letters = static_cast<uint32_t>(kCommands[op.command].parameterCount()) + 1;
  op.size = 12 + 4 * letters;
  readArgs(image, op, op.at + 16ull, letters - 1);
}

void decodeString(const ImageView& image, Op& op) {
  const uint64_t at = op.at;
  op.size = op.code == img::op::kCompare ? 28 : 24;
  op.mode = image.word(at + 4) & 0xFF;
  if (op.code == img::op::kCompare) {
    op.compareCode = image.word(at + 8) & 0xFF;
    op.first = image.word(at + 12);
    op.second = image.word(at + 16);
    op.target = image.word(at + 20);
  } else {
    op.first = image.word(at + 8);
    op.second = image.word(at + 12);
    if (op.code == img::op::kStore) op.elementOffset = image.word(at + 16);
    else op.target = image.word(at + 16);
  }
  op.flags = image.word(at + op.size - 4);
}

}  // namespace

Op decodeOp(const ImageView& image, uint32_t at, Descriptors& descriptors) {
  Op op;
  op.at = at;
  op.word = image.word(at);
  op.code = static_cast<uint8_t>(op.word);
  switch (op.code) {
    case img::op::kCall:
    case img::op::kExternal: decodeCall(image, op, descriptors); break;
    case img::op::kBuiltin: decodeBuiltin(image, op); break;
    case img::op::kStore:
    case img::op::kJoin:
    case img::op::kCompare: decodeString(image, op); break;
    case img::op::kNative: break;  // sized by its code, not here
    default: op.size = 4; break;
  }
  op.whole = op.sized() && image.fits(at, op.size);
  const uint32_t head = op.code == img::op::kCall || op.code == img::op::kExternal ? 12
                        : op.code == img::op::kBuiltin                              ? 16
                        : op.sized()                                                ? op.size
                                                                                    : 4;
  op.headFits = image.fits(at, head);
  return op;
}

const char* opName(uint8_t code) {
  static const char* const kNames[] = {"end",        "call",  "native block", "built-in", "return",  "invalid",
                                       "enter main", "store", "join",         "compare",  "external call"};
  return code <= 10 ? kNames[code] : "unknown";
}

const char* compareSymbol(uint32_t code) {
  switch (code) {
    case img::Greater: return ">";
    case img::Less: return "<";
    case img::GreaterEq: return ">=";
    case img::LessEq: return "<=";
    case img::NotEq: return "<>";
    case img::Never: return "never";
    case img::Equal: return "=";
    default: return nullptr;
  }
}

}  // namespace qrt::imgtools
