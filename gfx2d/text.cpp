// Text: one font and one colour for the whole program. Script text is cp932
// whatever the machine's code page, so it is widened with code page 932 and
// drawn through the font's wide entry points.
#include "gfx2d/command_args.h"
#include "gfx2d/commands.h"
#include "host/cp932.h"

namespace qrt {

using namespace gfx;

namespace {

// cp932 bytes of "ＭＳ ゴシック", the default face.
constexpr char kDefaultFace[] = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";
constexpr BYTE kShiftJisCharset = 128;

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

int32_t cmdGPrint(EngineState& e) {
  DisplayState* d = display();
  SurfaceRecord* s = findSurface(d, e.params.arg[0]);
  if (!s) return fail(kErrBadParameter, kPrint);
  const uint32_t text = argString(e, 3);
  if (isEmptyString(text)) return kDone;
  if (!d->font && !createFont(*d, 24, FW_NORMAL, FALSE, kShiftJisCharset, kDefaultFace)) {
    return fail(kErrBadParameter, kPrint);
  }
  const std::wstring wide = widen932(textOf(text));
  RECT area{argInt(e, 1), argInt(e, 2), 0, 0};
  if (selectRenderTarget(*d, s)) {
    // Measure first: the single-line draw clips to the rectangle it is given.
    d->font->DrawTextW(nullptr, wide.c_str(), -1, &area, DT_CALCRECT, d->textColour);
    d->font->DrawTextW(nullptr, wide.c_str(), -1, &area, DT_SINGLELINE, d->textColour);
    selectBackBuffer(*d);
  }
  return kDone;
}

int32_t cmdGFont(EngineState& e) {
  DisplayState* d = display();
  if (!d) return fail(kErrBadParameter, kFont);
  const BOOL italic = argInt(e, 2) == 1;
  BYTE charset;
  switch (argInt(e, 3)) {
    case 0: charset = ANSI_CHARSET; break;
    case 1: charset = DEFAULT_CHARSET; break;
    case 2: charset = SYMBOL_CHARSET; break;
    case 3: charset = kShiftJisCharset; break;
    default: charset = OEM_CHARSET; break;
  }
  const uint32_t face = argString(e, 4);
  const bool made = face == 0
      ? createFont(*d, argInt(e, 0), static_cast<UINT>(argInt(e, 1)), italic, kShiftJisCharset, kDefaultFace)
      : createFont(*d, argInt(e, 0), static_cast<UINT>(argInt(e, 1)), italic, charset, textOf(face));
  if (!made) {
    d->font.Reset();
    return fail(kErrBadParameter, kFont);
  }
  return kDone;
}

int32_t cmdGColor(EngineState& e) {
  DisplayState* d = display();
  if (!d) return kFailed;
  d->textColour = 0xFF000000u | colourComponent(argInt(e, 0)) << 16 |
                  colourComponent(argInt(e, 1)) << 8 | colourComponent(argInt(e, 2));
  return kDone;
}

int32_t cmdGColorA(EngineState& e) {
  DisplayState* d = display();
  if (!d) return kFailed;
  d->textColour = colourComponent(argInt(e, 3)) << 24 | colourComponent(argInt(e, 0)) << 16 |
                  colourComponent(argInt(e, 1)) << 8 | colourComponent(argInt(e, 2));
  return kDone;
}

}  // namespace qrt
