// Text-entry state kept by the window-message handler and read by the IME
// commands. Filled in by the text-entry code; all zero at start except the
// maximum length.
#pragma once
#include <cstdint>

namespace qrt {

struct TextEntryState {
  int32_t maxLength = 256;
};

}  // namespace qrt
