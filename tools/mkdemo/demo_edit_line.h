// The demo's text field: the part of each frame that shows what the player
// types. The runtime edits the line from the keys and the IME; the game
// draws it with the IME's composition at the caret, and the line last
// committed with Enter under it.
//
//   EditLine e = declareEditLine(m, {.x = 20, .y = 84});   // once, after G@SETUP
//   ...per frame, before G@FLIP:
//   drawEditLine(m, e, screen);
#pragma once
#include <cstdint>

#include "image/image_builder.h"

namespace qrt::demo {

struct EditLineLook {
  int x, y;              // where the line is printed; the committed line 24 below
  int maxLength = 60;    // bytes of IME text the line takes
};

struct EditLine {
  int line;              // "> " and the segments, with "_" at the caret
  int entered;           // the last committed line
  int x, y, enteredY;
  int zero, n, column, segment, length, joined, result;
  int prompt, caret, enteredLabel;
};

// Frame slots and constants; switches the edit line on (S@IMESETEDITMODE)
// and sets its maximum length.
EditLine declareEditLine(img::Routine& m, const EditLineLook& look);

// The frame's text step: arms the IME capture (S@IMEGETEDITSTR 0, which
// may end the step to wait for the IME), gathers the segments until the
// empty one, takes a committed line (S@IMEGETEDITRESULT) and prints both
// with G@PRINT on `screen`.
void drawEditLine(img::Routine& m, const EditLine& e, int screen);

}  // namespace qrt::demo
