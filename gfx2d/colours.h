// Colours as scripts give them: components 0..255.
#pragma once
#include <cstdint>

namespace qrt {

// The low 8 bits of each component, as an opaque colour.
inline uint32_t opaqueColour(int32_t r, int32_t g, int32_t b) {
  return 0xFF000000u | (static_cast<uint32_t>(r) & 0xFF) << 16 | (static_cast<uint32_t>(g) & 0xFF) << 8 |
         (static_cast<uint32_t>(b) & 0xFF);
}

inline int32_t clampComponent(int32_t c) { return c < 0 ? 0 : c > 255 ? 255 : c; }

}  // namespace qrt
