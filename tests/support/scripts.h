// Small pieces of test programs that many tests need.
#pragma once
#include "tools/imagebuilder/image_builder.h"

namespace qrt::test {

// G@SETUP(width, height, 32, window mode 1); returns the slot that receives
// the screen surface.
inline int setUpWindow(img::Routine& m, uint32_t width = 640, uint32_t height = 480) {
  const int w = m.slot(), h = m.slot(), depth = m.slot(), window = m.slot(), screen = m.slot();
  m.native([&](img::X86& x) {
    x.storeImm(w, width);
    x.storeImm(h, height);
    x.storeImm(depth, 32);
    x.storeImm(window, 1);
    x.next();
  });
  m.builtin(1, screen, {w, h, depth, window});  // G@SETUP
  return screen;
}

}  // namespace qrt::test
