// Text as a player sees it: cp932 Japanese and Latin letters in the default
// face, on one line only, in the text colour, on any surface.
#include <gtest/gtest.h>

#include "tests/gfx2d/gfx_support.h"

namespace qrt::test {
namespace {

// cp932 bytes.
const std::string kNichi = "\x93\xfa";   // 日
const std::string kHon = "\x96\x7b";     // 本

// Pixels in the box whose channel `shift` is above half.
int lit(const Pixels& p, int l, int t, int r, int b, int shift = 0) {
  int n = 0;
  for (int y = t; y <= b; ++y)
    for (int x = l; x <= r; ++x) n += (p.at(x, y) >> shift & 0xFF) > 0x80;
  return n;
}

std::vector<bool> mask(const Pixels& p, int l, int t, int size) {
  std::vector<bool> m;
  for (int y = t; y < t + size; ++y)
    for (int x = l; x < l + size; ++x) m.push_back((p.at(x, y) & 0xFF) > 0x80);
  return m;
}

TEST(Text, JapaneseAndLatinGlyphsInTheDefaultFace) {
  GfxScript s;
  s.call("G@PRINT", {s.screen, s.integer(10), s.integer(10), s.text(kNichi)});
  s.call("G@PRINT", {s.screen, s.integer(60), s.integer(10), s.text(kHon)});
  s.call("G@PRINT", {s.screen, s.integer(110), s.integer(10), s.text("A")});
  s.call("G@PRINT", {s.screen, s.integer(160), s.integer(10), s.text("B")});
  s.call("G@PRINT", {s.screen, s.integer(10), s.integer(60), s.text("Score " + kNichi + kHon)});
  s.call("S@WAIT");
  Game run(s);
  run.step();
  run.step();
  ASSERT_TRUE(run.boxCodes().empty());
  Pixels p = screenPixels();
  // Real glyphs, not one missing-glyph box for all: each differs.
  auto nichi = mask(p, 10, 10, 26), hon = mask(p, 60, 10, 26), a = mask(p, 110, 10, 26),
       b = mask(p, 160, 10, 26);
  EXPECT_GT(lit(p, 10, 10, 35, 35), 20);
  EXPECT_GT(lit(p, 60, 10, 85, 35), 20);
  EXPECT_NE(nichi, hon);
  EXPECT_NE(a, b);
  EXPECT_NE(a, nichi);
  // The mixed line is one line, wider than its Latin part.
  EXPECT_GT(lit(p, 10, 60, 300, 86), 60);
  EXPECT_GT(lit(p, 90, 60, 150, 86), 20);
  D3DXFONT_DESCW desc{};
  ASSERT_TRUE(displayState().font);
  displayState().font->GetDescW(&desc);
  EXPECT_EQ(desc.Height, 24);
  EXPECT_EQ(desc.CharSet, 128);
  EXPECT_STREQ(desc.FaceName, L"\xff2d\xff33 \x30b4\x30b7\x30c3\x30af");
  run.runToEnd();
}

TEST(Text, ALineBreakDoesNotStartASecondLine) {
  GfxScript s;
  s.call("G@PRINT", {s.screen, s.integer(10), s.integer(100), s.text("AB\r\nCD")});
  s.call("S@WAIT");
  Game run(s);
  run.step();
  run.step();
  Pixels p = screenPixels();
  EXPECT_GT(lit(p, 10, 100, 60, 124), 20);
  EXPECT_EQ(lit(p, 0, 126, 319, 200), 0);
  run.runToEnd();
}

TEST(Text, ColourComponentsAreClampedAndAlphaZeroIsInvisible) {
  GfxScript s;
  s.call("G@COLOR", {s.integer(300), s.integer(0), s.integer(-5)});
  s.call("G@PRINT", {s.screen, s.integer(10), s.integer(10), s.text("RED")});
  s.call("G@COLORA", {s.integer(255), s.integer(255), s.integer(255), s.integer(0)});
  s.call("G@PRINT", {s.screen, s.integer(10), s.integer(60), s.text("GHOST")});
  s.call("S@WAIT");
  Game run(s);
  run.step();
  run.step();
  ASSERT_TRUE(run.boxCodes().empty());
  Pixels p = screenPixels();
  EXPECT_GT(lit(p, 10, 10, 80, 34, 16), 20);   // red channel
  EXPECT_EQ(lit(p, 10, 10, 80, 34, 0), 0);     // no blue
  EXPECT_EQ(lit(p, 0, 50, 319, 100, 8), 0);    // alpha 0 text leaves nothing
  EXPECT_EQ(displayState().textColour, 0x00FFFFFFu);
  run.runToEnd();
}

TEST(Text, FontArgumentsAndTheEmptyText) {
  GfxScript s;
  s.call("G@PRINT", {s.screen, s.integer(0), s.integer(0), s.text("")});
  s.call("G@PRINT", {s.screen, s.integer(0), s.integer(0), s.noString()});
  s.call("S@WAIT");
  s.call("G@FONT", {s.integer(16), s.integer(700), s.integer(2), s.integer(7), s.text("Arial")});
  s.call("S@WAIT");
  s.call("G@FONT", {s.integer(18), s.integer(400), s.integer(1), s.integer(0), s.noString()});
  Game run(s);
  run.step();
  run.step();
  EXPECT_FALSE(displayState().font);   // empty text made no font
  run.step();
  D3DXFONT_DESCW desc{};
  ASSERT_TRUE(displayState().font);
  displayState().font->GetDescW(&desc);
  EXPECT_FALSE(desc.Italic);           // only 1 means italic
  EXPECT_EQ(desc.CharSet, OEM_CHARSET);
  EXPECT_EQ(desc.Weight, 700u);
  EXPECT_STREQ(desc.FaceName, L"Arial");
  run.runToEnd();
  ASSERT_TRUE(run.boxCodes().empty());
  displayState().font->GetDescW(&desc);
  EXPECT_TRUE(desc.Italic);
  EXPECT_EQ(desc.CharSet, 128);        // no face: the default face and set
  EXPECT_EQ(desc.Height, 18);
}

TEST(Text, PrintsIntoAMadeSurface) {
  GfxScript s;
  int canvas = s.call("G@CHRMAKE", {s.integer(64), s.integer(32), s.integer(0)});
  s.call("G@CHRCLEAR", {canvas, s.integer(0), s.integer(0), s.integer(0)});
  s.call("G@PRINT", {canvas, s.integer(2), s.integer(2), s.text("Hi")});
  s.call("S@WAIT");
  Game run(s);
  run.step();
  run.step();
  ASSERT_TRUE(run.boxCodes().empty());
  Pixels c = surfacePixels(run.integer(canvas));
  EXPECT_GT(lit(c, 0, 0, 63, 31), 10);
  EXPECT_EQ(lit(screenPixels(), 0, 0, 100, 40), 0);
  run.runToEnd();
}

}  // namespace
}  // namespace qrt::test
