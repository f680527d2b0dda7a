#include "tools/imagetools/descriptor.h"

#include <string>

#include "engine/image_rules.h"
#include "image/image_builder.h"

namespace qrt::imgtools {

namespace {

std::string routineName(uint32_t n) { return n == 0 ? "main routine" : "routine " + std::to_string(n); }

class Reader {
 public:
  Reader(const ImageView& image, Descriptor& d) : image_(image), d_(d) {}

  void fault(uint64_t at, const std::string& text) {
    d_.faults.push_back({static_cast<uint32_t>(at), Finding::Severity::Fault, -1,
                         routineName(d_.number) + ": " + text});
  }

  bool read() {
    const uint32_t n = d_.number;
    if (!image_.fits(4ull * n, 4)) {
      fault(4ull * n, "its routine table entry lies outside the image");
      return false;
    }
    d_.at = image_.word(4ull * n);
    if (!image_.fits(d_.at, 24)) {
      fault(4ull * n, "its descriptor at " + hex8(d_.at) + " does not fit in the image (24 bytes at least)");
      return false;
    }
    d_.located = true;
    const uint32_t d = d_.at;
    d_.word0 = image_.word(d);
    d_.word4 = image_.word(d + 4ull);
    d_.slotCount = static_cast<int32_t>(image_.word(d + 8ull));
    bool ok = true;
    if (d_.slotCount < img::kReservedSlots || static_cast<uint32_t>(d_.slotCount) > kMaxSlots) {
      fault(d + 8ull, "slot count " + std::to_string(d_.slotCount) + " is outside 9.." + std::to_string(kMaxSlots));
      ok = false;
    }
    uint64_t countAt;
    if (n == 0) {
      d_.staticSize = image_.word(d + 12ull);
      if (d_.staticSize > kMaxSlots) {
        fault(d + 12ull, "static size " + std::to_string(d_.staticSize) + " is above " + std::to_string(kMaxSlots));
        ok = false;
      }
      countAt = d + 20ull;
    } else {
      d_.paramCount = image_.word(d + 16ull);
      if (d_.paramCount > kMaxCount) {
        fault(d + 16ull, "parameter count " + std::to_string(d_.paramCount) + " is above " + std::to_string(kMaxCount));
        return false;
      }
      const uint64_t pairs = d + 20ull;
      if (!image_.fits(pairs, 8ull * (d_.paramCount + 1))) {
        fault(pairs, "its " + std::to_string(d_.paramCount + 1) + " type pairs run past the end of the image");
        return false;
      }
      for (uint32_t j = 0; j <= d_.paramCount; ++j) {
        const uint64_t at = pairs + 8ull * j;
        d_.pairs.push_back({static_cast<uint32_t>(at), image_.word(at), image_.word(at + 4)});
        const uint32_t s = d_.pairs.back().slot;
        if (j < d_.paramCount && (s >= static_cast<uint32_t>(d_.slotCount) || isReservedSlot(s)))
          d_.badParamPairs.push_back(d_.pairs.back());
      }
      countAt = d + 28ull + 8ull * d_.paramCount;
    }
    if (!image_.fits(countAt, 4)) {
      fault(countAt, "its constant count lies outside the image");
      return false;
    }
    d_.constantCount = image_.word(countAt);
    if (d_.constantCount > kMaxCount) {
      fault(countAt, "constant count " + std::to_string(d_.constantCount) + " is above " + std::to_string(kMaxCount));
      return false;
    }
    const uint64_t pairsAt = countAt + 4;
    if (!image_.fits(pairsAt, 8ull * d_.constantCount)) {
      fault(pairsAt, "its " + std::to_string(d_.constantCount) + " constant pairs run past the end of the image");
      return false;
    }
    return readConstants(pairsAt) && ok;
  }

 private:
  // The area holds n packed string objects: their length fields size it.
  bool readConstants(uint64_t pairsAt) {
    const uint32_t count = d_.constantCount;
    const uint64_t area = pairsAt + 8ull * count;
    d_.areaAt = static_cast<uint32_t>(area);
    uint64_t cursor = area;
    for (uint32_t i = 0; i < count; ++i) {
      if (!image_.fits(cursor, 16)) {
        fault(cursor, "string object " + std::to_string(i) + " of the constant area lies outside the image");
        return false;
      }
      const uint32_t length = image_.word(cursor);
      if (length == 0 || !image_.fits(cursor + 16, length)) {
        fault(cursor, "string object " + std::to_string(i) + " has length " + std::to_string(length) +
                          (length == 0 ? " (at least 1: the NUL)" : ", past the end of the image"));
        return false;
      }
      if (image_.byte(cursor + 16 + length - 1) != 0) {
        fault(cursor, "the text of string object " + std::to_string(i) + " does not end with its NUL");
        return false;
      }
      cursor += 16ull + length;
    }
    const uint64_t areaSize = cursor - area;
    bool ok = true;
    for (uint32_t i = 0; i < count; ++i) ok = readPair(pairsAt + 8ull * i, area, areaSize) && ok;
    if (!image_.fits(cursor, 4)) {
      fault(cursor, "its first op at " + hex8(static_cast<uint32_t>(cursor)) + " lies outside the image");
      return false;
    }
    d_.firstOp = static_cast<uint32_t>(cursor);
    return ok;
  }

  bool readPair(uint64_t at, uint64_t area, uint64_t areaSize) {
    Constant c{static_cast<uint32_t>(at), image_.word(at), image_.word(at + 4), 0, false, {}};
    c.objectAt = static_cast<uint32_t>(area + c.offset);
    const std::string what = "constant pair for slot " + std::to_string(c.slot);
    bool ok = true;
    if (c.slot >= static_cast<uint32_t>(d_.slotCount)) {
      fault(at, what + ": the slot lies beyond the frame (" + std::to_string(d_.slotCount) + " slots)");
      ok = false;
    } else if (isReservedSlot(c.slot)) {
      fault(at, what + ": slots 1, 2, 3 and 5 are the engine's own");
      ok = false;
    }
    if (c.offset + 16ull > areaSize) {
      fault(at, what + ": offset " + std::to_string(c.offset) + " lies outside the constant area (" +
                    std::to_string(areaSize) + " bytes)");
      ok = false;
    } else {
      const uint32_t length = image_.word(area + c.offset);
      if (length == 0 || c.offset + 16ull + length > areaSize) {
        fault(at, what + ": the object at offset " + std::to_string(c.offset) + " has length " +
                      std::to_string(length) + ", outside the constant area");
        ok = false;
      } else if (image_.byte(area + c.offset + 16 + length - 1) != 0) {
        fault(at, what + ": the object at offset " + std::to_string(c.offset) + " does not end with its NUL");
        ok = false;
      } else {
        auto text = image_.bytes(area + c.offset + 16, length - 1);
        c.text = std::string_view(reinterpret_cast<const char*>(text.data()), text.size());
        c.readable = true;
      }
    }
    d_.constants.push_back(c);
    return ok;
  }

  const ImageView& image_;
  Descriptor& d_;
};

}  // namespace

const Constant* Descriptor::constantFor(uint32_t slot) const {
  for (const Constant& c : constants)
    if (c.slot == slot) return &c;
  return nullptr;
}

Descriptor readDescriptor(const ImageView& image, uint32_t number) {
  Descriptor d;
  d.number = number;
  d.valid = Reader(image, d).read();
  return d;
}

const Descriptor& Descriptors::get(uint32_t number) {
  auto it = cache_.find(number);
  if (it == cache_.end()) it = cache_.emplace(number, readDescriptor(image_, number)).first;
  return it->second;
}

}  // namespace qrt::imgtools
