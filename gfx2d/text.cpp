// Text: one font and one colour for the whole program. Script text is cp932
// whatever the machine's code page, so it is widened with code page 932 and
// drawn through the font's wide entry points.
#include "base/cp932.h"
#include "engine/call.h"
#include "gfx2d/commands.h"
#include "gfx2d/display.h"

namespace qrt {

namespace {

bool createFont(DisplayState& d, INT height, UINT weight, BOOL italic, BYTE charset, const char* face) {
  d.font.Reset();
  if (!d.device) return false;
  const std::wstring wideFace = widen932(face);
  return SUCCEEDED(D3DXCreateFontW(d.device.Get(), height, 0, weight, 0, italic, charset,
                                   OUT_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH,
                                   wideFace.c_str(), d.font.GetAddressOf())) &&
         d.font;
}

// c / 255 as a float, clamped, back to 0..255 rounded.
uint32_t colourComponent(int32_t c) {
  const float f = static_cast<float>(c) / 255.0f;
  if (f >= 1.0f) return 255;
  if (f <= 0.0f) return 0;
  return static_cast<uint32_t>(f * 255.0f + 0.5f);
}

}  // namespace

int32_t cmdGPrint(Call& c) {
  DisplayState* d = display();
  SurfaceRecord* s = findSurface(d, c.handle(0));
  if (!s) return c.fail(660);
  if (c.empty(3)) return kDone;
  if (!d->font && !createFont(*d, 24, FW_NORMAL, FALSE, kShiftJisCharset, kDefaultFontFace)) {
    return c.fail(660);
  }
  const std::wstring wide = widen932(c.s(3));
  RECT area{c.i(1), c.i(2), 0, 0};
  if (selectRenderTarget(*d, s)) {
    // Measure first: the single-line draw clips to the rectangle it is given.
    d->font->DrawTextW(nullptr, wide.c_str(), -1, &area, DT_CALCRECT, d->textColour);
    d->font->DrawTextW(nullptr, wide.c_str(), -1, &area, DT_SINGLELINE, d->textColour);
    selectBackBuffer(*d);
  }
  return kDone;
}

int32_t cmdGFont(Call& c) {
  DisplayState* d = display();
  if (!d) return c.fail(660);
  const BOOL italic = c.i(2) == 1;
  const BYTE charset = fontCharset(c.i(3));
  const bool made = c.unset(4)
      ? createFont(*d, c.i(0), static_cast<UINT>(c.i(1)), italic, kShiftJisCharset, kDefaultFontFace)
      : createFont(*d, c.i(0), static_cast<UINT>(c.i(1)), italic, charset, c.s(4));
  if (!made) {
    d->font.Reset();
    return c.fail(660);
  }
  return kDone;
}

int32_t cmdGColor(Call& c) {
  DisplayState* d = display();
  if (!d) return kFailed;
  d->textColour = 0xFF000000u | colourComponent(c.i(0)) << 16 |
                  colourComponent(c.i(1)) << 8 | colourComponent(c.i(2));
  return kDone;
}

int32_t cmdGColorA(Call& c) {
  DisplayState* d = display();
  if (!d) return kFailed;
  d->textColour = colourComponent(c.i(3)) << 24 | colourComponent(c.i(0)) << 16 |
                  colourComponent(c.i(1)) << 8 | colourComponent(c.i(2));
  return kDone;
}

}  // namespace qrt
