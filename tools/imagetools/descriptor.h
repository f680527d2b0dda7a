// Routine descriptors read with the rules the engine applies when it first
// enters a routine. Unlike the engine, the reader keeps going where it can,
// so that a dump shows what is there and a check names every broken field.
#pragma once
#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

#include "tools/imagetools/finding.h"
#include "tools/imagetools/image_view.h"

namespace qrt::imgtools {

struct TypePair {
  uint32_t at;    // image offset of the pair
  uint32_t slot;
  uint32_t type;  // 1 integer, 2 string
};

struct Constant {
  uint32_t pairAt;    // image offset of its {slot, offset} pair
  uint32_t slot;
  uint32_t offset;    // into the constant area
  uint32_t objectAt;  // image offset of the string object
  bool readable;      // the object lies in the area and its text ends with a NUL
  std::string_view text;  // cp932 bytes without the NUL (when readable)
};

struct Descriptor {
  uint32_t number = 0;
  uint32_t at = 0;              // image offset of the descriptor
  bool located = false;         // table entry and the first 24 bytes lie in the image
  int32_t slotCount = 0;
  uint32_t staticSize = 0;      // main routine only
  uint32_t word0 = 0, word4 = 0;  // EXFUNC: slots of the DLL and function names
  uint32_t paramCount = 0;
  std::vector<TypePair> pairs;  // FUNC: k parameter pairs, then the result pair;
                                // EXFUNC: the result pair, then k parameter pairs
  uint32_t constantCount = 0;
  uint32_t areaAt = 0;          // the constant area
  std::vector<Constant> constants;
  uint32_t firstOp = 0;
  bool valid = false;           // the engine accepts it
  std::vector<Finding> faults;  // why it does not, with positions
  // FUNC parameter pairs naming slots outside the frame or the engine's own:
  // refused by a call op only (an EXFUNC's pair slots are not read).
  std::vector<TypePair> badParamPairs;

  // The constant bound to `slot`, the first pair that names it (as the
  // EXFUNC op finds its names), or nullptr.
  const Constant* constantFor(uint32_t slot) const;
};

Descriptor readDescriptor(const ImageView& image, uint32_t number);

// Descriptors read once each, since every call op needs its routine's.
class Descriptors {
 public:
  explicit Descriptors(const ImageView& image) : image_(image) {}
  const Descriptor& get(uint32_t number);
  const std::map<uint32_t, Descriptor>& all() const { return cache_; }

 private:
  const ImageView& image_;
  std::map<uint32_t, Descriptor> cache_;
};

}  // namespace qrt::imgtools
