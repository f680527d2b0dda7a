// Surface copies on the screen, read back as pixels: where each variant
// puts the quad, how mirrors, reversed rectangles, rotation and scale move
// it, how modulation and blending tint it, and how depth hides it.
#include <gtest/gtest.h>

#include "tests/gfx2d/gfx_support.h"

namespace qrt::test {
namespace {

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00;

// Pictures written as files and loaded without a colour key.
struct Pictures {
  std::string dir = scratchFolder("copy");
  std::string solid(const char* name, int w, int h, uint32_t rgb) {
    std::string path = dir + "\\" + name + ".bmp";
    writeBmp(path, w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h, 0xFF000000 | rgb));
    return path;
  }
  // Left half red, right half blue.
  std::string leftRight(int w, int h) {
    std::vector<uint32_t> p(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) p[static_cast<size_t>(y) * w + x] = 0xFF000000 | (x < w / 2 ? kRed : kBlue);
    std::string path = dir + "\\lr" + std::to_string(w) + "x" + std::to_string(h) + ".bmp";
    writeBmp(path, w, h, p);
    return path;
  }
  // Top half red, bottom half blue.
  std::string topBottom(int w, int h) {
    std::vector<uint32_t> p(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) p[static_cast<size_t>(y) * w + x] = 0xFF000000 | (y < h / 2 ? kRed : kBlue);
    std::string path = dir + "\\tb.bmp";
    writeBmp(path, w, h, p);
    return path;
  }
};

// A script whose loads keep black opaque, and a helper that sets a
// surface's rectangle.
struct CopyScript : GfxScript {
  CopyScript() { call("G@CHRLOADCKEY", {integer(-1), integer(-1), integer(-1)}); }
  int load(const std::string& path) { return call("G@CHRLOAD", {text(path), noString()}); }
  void rect(int surface, int l, int t, int r, int b) {
    call("G@CHRRECT", {surface, integer(l), integer(t), integer(r), integer(b)});
  }
  void copy(const char* command, std::vector<int> args) { call(command, args); }
};

// Runs the script to its first S@WAIT after G@SETUP and returns the screen.
Pixels drawnScreen(Game& run) {
  run.step();
  run.step();
  EXPECT_TRUE(run.boxCodes().empty());
  return screenPixels();
}

TEST(Copies, FixedFittedAndCentredPlacement) {
  Pictures pics;
  CopyScript s;
  int red = s.load(pics.solid("red32", 32, 32, kRed));
  int blue = s.load(pics.solid("blue32", 32, 32, kBlue));
  int green = s.load(pics.solid("green32", 32, 32, kGreen));
  // Fixed size from the screen rectangle's top-left corner: (100,50), 32x32.
  s.rect(s.screen, 100, 50, 0, 0);
  s.copy("G@CHRCOPYF", {red, s.screen, s.integer(0), s.real(1), s.real(0)});
  // Fitted: stretched over the screen rectangle.
  s.rect(s.screen, 10, 120, 69, 139);
  s.copy("G@CHRCOPY", {blue, s.screen, s.integer(0), s.real(1), s.real(0)});
  // Centred on (240, 180) at scale 2: it stays centred.
  s.copy("G@CHRCOPYC", {green, s.screen, s.integer(240), s.integer(180), s.integer(0), s.real(2), s.real(0)});
  s.call("S@WAIT");
  Game run(s);
  Pixels p = drawnScreen(run);
  EXPECT_EQ(p.boxOf(kRed), (std::vector<int>{100, 50, 131, 81}));
  EXPECT_EQ(p.boxOf(kBlue), (std::vector<int>{10, 120, 69, 139}));
  EXPECT_EQ(p.boxOf(kGreen), (std::vector<int>{209, 149, 272, 212}));
  run.runToEnd();
}

TEST(Copies, ScaleAtOrBelowZeroDrawsAtOneAndScaleGrowsFromTheTopLeft) {
  Pictures pics;
  CopyScript s;
  int red = s.load(pics.solid("red16", 16, 16, kRed));
  int blue = s.load(pics.solid("blue16", 16, 16, kBlue));
  int green = s.load(pics.solid("green16", 16, 16, kGreen));
  s.rect(s.screen, 10, 10, 0, 0);
  s.copy("G@CHRCOPYF", {red, s.screen, s.integer(0), s.real(0), s.real(0)});
  s.rect(s.screen, 40, 10, 0, 0);
  s.copy("G@CHRCOPYF", {blue, s.screen, s.integer(0), s.real(-3), s.real(0)});
  s.rect(s.screen, 100, 100, 0, 0);
  s.copy("G@CHRCOPYF", {green, s.screen, s.integer(0), s.real(3), s.real(0)});
  s.call("S@WAIT");
  Game run(s);
  Pixels p = drawnScreen(run);
  EXPECT_EQ(p.boxOf(kRed), (std::vector<int>{10, 10, 25, 25}));
  EXPECT_EQ(p.boxOf(kBlue), (std::vector<int>{40, 10, 55, 25}));
  EXPECT_EQ(p.boxOf(kGreen), (std::vector<int>{100, 100, 147, 147}));
  run.runToEnd();
}

TEST(Copies, MirrorCodesAndReversedRectangles) {
  Pictures pics;
  CopyScript s;
  int lr = s.load(pics.leftRight(32, 32));
  int tb = s.load(pics.topBottom(32, 32));
  int lr2 = s.load(pics.leftRight(32, 32));   // same texture, own rectangle
  // Row 1: fitted, normal -> red left; mirror code 2 -> blue left.
  s.rect(s.screen, 0, 0, 31, 31);
  s.copy("G@CHRCOPY", {lr, s.screen, s.integer(0), s.real(1), s.real(0)});
  s.rect(s.screen, 40, 0, 71, 31);
  s.copy("G@CHRCOPY", {lr, s.screen, s.integer(2), s.real(1), s.real(0)});
  // Reversed source rectangle: mirrors a fitted copy ...
  s.rect(lr2, 31, 0, 0, 31);
  s.rect(s.screen, 80, 0, 111, 31);
  s.copy("G@CHRCOPY", {lr2, s.screen, s.integer(0), s.real(1), s.real(0)});
  // ... cancels out in a fixed-size copy, and mirror 2 on top mirrors it.
  // The reversed width also reaches left of the destination's corner.
  s.rect(s.screen, 151, 0, 0, 0);
  s.copy("G@CHRCOPYF", {lr2, s.screen, s.integer(0), s.real(1), s.real(0)});
  s.rect(s.screen, 191, 0, 0, 0);
  s.copy("G@CHRCOPYF", {lr2, s.screen, s.integer(2), s.real(1), s.real(0)});
  // Reversed destination rectangle always mirrors.
  s.rect(s.screen, 231, 0, 200, 31);
  s.copy("G@CHRCOPY", {lr, s.screen, s.integer(0), s.real(1), s.real(0)});
  // Row 2: mirror code 1 turns the picture upside down; 3 does both.
  s.rect(s.screen, 0, 40, 31, 71);
  s.copy("G@CHRCOPY", {tb, s.screen, s.integer(1), s.real(1), s.real(0)});
  s.rect(s.screen, 40, 40, 71, 71);
  s.copy("G@CHRCOPY", {tb, s.screen, s.integer(3), s.real(1), s.real(0)});
  s.call("S@WAIT");
  Game run(s);
  Pixels p = drawnScreen(run);
  auto leftIs = [&](int x, uint32_t rgb) {
    EXPECT_EQ(p.rgb(x + 4, 16), rgb) << "copy at x=" << x;
    EXPECT_EQ(p.rgb(x + 27, 16), rgb == kRed ? kBlue : kRed) << "copy at x=" << x;
  };
  leftIs(0, kRed);
  leftIs(40, kBlue);
  leftIs(80, kBlue);
  leftIs(120, kRed);
  leftIs(160, kBlue);
  leftIs(200, kBlue);
  EXPECT_EQ(p.rgb(119, 16), 0u);
  EXPECT_EQ(p.rgb(192, 16), 0u);
  EXPECT_EQ(p.rgb(16, 44), kBlue);
  EXPECT_EQ(p.rgb(16, 67), kRed);
  EXPECT_EQ(p.rgb(56, 44), kBlue);
  run.runToEnd();
}

TEST(Copies, RotationTurnsClockwiseAboutTheQuadsCentre) {
  Pictures pics;
  CopyScript s;
  int lr = s.load(pics.leftRight(32, 16));
  s.rect(s.screen, 100, 50, 0, 0);
  s.copy("G@CHRCOPYF", {lr, s.screen, s.integer(0), s.real(1), s.real(90)});
  // Centred and doubled, turned half way round: the centre stays put.
  s.copy("G@CHRCOPYC", {lr, s.screen, s.integer(240), s.integer(160), s.integer(0), s.real(2), s.real(180)});
  s.call("S@WAIT");
  Game run(s);
  Pixels p = drawnScreen(run);
  // 32x16 about (116, 58): 16 wide and 32 tall, the left half now on top.
  // The second copy lies right of x = 200; look at the first alone.
  Pixels left = p;
  for (int y = 0; y < p.height; ++y)
    for (int x = 180; x < p.width; ++x) left.argb[static_cast<size_t>(y) * p.width + x] = 0;
  std::vector<int> red = left.boxOf(kRed), blue = left.boxOf(kBlue);
  ASSERT_NE(red[0], -1);
  ASSERT_NE(blue[0], -1);
  EXPECT_NEAR(red[0], 108, 1);
  EXPECT_NEAR(red[2], 123, 1);
  EXPECT_NEAR(red[1], 42, 1);
  EXPECT_NEAR(blue[3], 73, 1);
  EXPECT_LT(red[3], blue[1] + 1);
  // Half a turn: red on the right, centred on (240, 160), 64x32.
  EXPECT_EQ(p.rgb(215, 160), kBlue);
  EXPECT_EQ(p.rgb(265, 160), kRed);
  EXPECT_EQ(p.rgb(240 - 34, 160), 0u);
  EXPECT_NE(p.rgb(240 - 30, 160), 0u);
  EXPECT_NE(p.rgb(240 + 30, 160), 0u);
  EXPECT_EQ(p.rgb(240 + 34, 160), 0u);
  run.runToEnd();
}

TEST(Copies, SourceRectangleOutsideTheSurfaceDrawsNothingAndSucceeds) {
  Pictures pics;
  CopyScript s;
  int red = s.load(pics.solid("red8", 8, 8, kRed));
  s.rect(red, 0, 0, 8, 7);
  s.rect(s.screen, 10, 10, 0, 0);
  s.copy("G@CHRCOPYF", {red, s.screen, s.integer(0), s.real(1), s.real(0)});
  // An outside rectangle wins over a bad mirror code: still no error.
  s.copy("G@CHRCOPYF", {red, s.screen, s.integer(9), s.real(1), s.real(0)});
  s.call("S@WAIT");
  Game run(s);
  Pixels p = drawnScreen(run);
  EXPECT_EQ(p.count(kRed), 0);
  run.runToEnd();
}

TEST(Copies, BadSourcesAndMirrorCodesAre660) {
  Pictures pics;
  const std::string red = pics.solid("red4", 4, 4, kRed);
  {
    CopyScript s;
    s.copy("G@CHRCOPY", {s.screen, s.screen, s.integer(0), s.real(1), s.real(0)});
    Game run(s);
    run.runToEnd();
    ASSERT_EQ(run.boxCodes(), std::vector<int>{660});
    EXPECT_NE(run.boxes()[0].text.find("G@CHRCOPY"), std::string::npos);
  }
  {
    CopyScript s;
    int r = s.load(red);
    s.copy("G@CHRCOPYC2", {r, s.screen, s.integer(5), s.integer(5), s.real(0), s.integer(4), s.real(1), s.real(0)});
    Game run(s);
    run.runToEnd();
    ASSERT_EQ(run.boxCodes(), std::vector<int>{660});
    EXPECT_NE(run.boxes()[0].text.find("G@CHRCOPYC2"), std::string::npos);
  }
  {
    CopyScript s;
    int r = s.load(red);
    s.copy("G@CHRCOPYF", {r, s.integer(77), s.integer(0), s.real(1), s.real(0)});
    Game run(s);
    run.runToEnd();
    EXPECT_EQ(run.boxCodes(), std::vector<int>{660});
  }
}

// A copy without the blend flag takes both alpha arguments from the
// modulation colour; the next copy with the flag must see its texture's
// alpha again, so a colour-keyed corner shows the background.
TEST(Copies, TextureAlphaCountsAgainAfterACopyWithoutTheBlendFlag) {
  Pictures pics;
  CopyScript s;
  int half = s.call("G@CHRMAKE", {s.integer(16), s.integer(16), s.integer(0)});
  s.call("G@CHRCLEAR", {half, s.integer(255), s.integer(255), s.integer(255)});
  s.call("G@CHRCOLORA", {half, s.integer(255), s.integer(255), s.integer(255), s.integer(128)});
  s.call("G@CHRLOADCKEY", {s.integer(0), s.integer(0), s.integer(0)});
  std::vector<uint32_t> keyed(16, 0xFF00FF00);
  keyed[0] = 0xFF000000;
  writeBmp(pics.dir + "\\keyed.bmp", 4, 4, keyed);
  int k = s.load(pics.dir + "\\keyed.bmp");
  s.call("G@CHRCLEAR", {s.screen, s.integer(50), s.integer(50), s.integer(50)});
  s.rect(s.screen, 60, 0, 0, 0);
  s.copy("G@CHRCOPYF", {half, s.screen, s.integer(0), s.real(1), s.real(0)});
  s.rect(s.screen, 100, 0, 0, 0);
  s.copy("G@CHRCOPYF", {k, s.screen, s.integer(0), s.real(1), s.real(0)});
  s.call("S@WAIT");
  Game run(s);
  Pixels p = drawnScreen(run);
  EXPECT_EQ(p.rgb(100, 0), 0x323232u);   // keyed corner: the background
  EXPECT_EQ(p.rgb(101, 0), kGreen);
  run.runToEnd();
}

// Without the blend flag the modulation alpha counts twice (128/255 squared
// is about a quarter); with it, texel alpha times modulation alpha.
TEST(Copies, ModulationAlphaSquaredWithoutTheBlendFlag) {
  CopyScript s;
  int plainWhite = s.call("G@CHRMAKE", {s.integer(16), s.integer(16), s.integer(0)});
  int blendWhite = s.call("G@CHRMAKE", {s.integer(16), s.integer(16), s.integer(1)});
  int tinted = s.call("G@CHRMAKE", {s.integer(16), s.integer(16), s.integer(0)});
  for (int h : {plainWhite, blendWhite, tinted})
    s.call("G@CHRCLEAR", {h, s.integer(255), s.integer(255), s.integer(255)});
  s.call("G@CHRCOLORA", {plainWhite, s.integer(255), s.integer(255), s.integer(255), s.integer(128)});
  s.call("G@CHRCOLORA", {blendWhite, s.integer(255), s.integer(255), s.integer(255), s.integer(128)});
  s.call("G@CHRCOLORA", {tinted, s.integer(255), s.integer(0), s.integer(0), s.integer(255)});
  s.rect(s.screen, 0, 0, 0, 0);
  s.copy("G@CHRCOPYF", {plainWhite, s.screen, s.integer(0), s.real(1), s.real(0)});
  s.rect(s.screen, 20, 0, 0, 0);
  s.copy("G@CHRCOPYF", {blendWhite, s.screen, s.integer(0), s.real(1), s.real(0)});
  s.rect(s.screen, 40, 0, 0, 0);
  s.copy("G@CHRCOPYF", {tinted, s.screen, s.integer(0), s.real(1), s.real(0)});
  s.call("S@WAIT");
  Game run(s);
  Pixels p = drawnScreen(run);
  const int quarter = static_cast<int>(p.at(5, 5) & 0xFF);
  const int half = static_cast<int>(p.at(25, 5) & 0xFF);
  EXPECT_NEAR(quarter, 64, 3);   // 255 * (128/255)^2
  EXPECT_NEAR(half, 128, 3);     // 255 * 255/255 * 128/255
  EXPECT_EQ(p.rgb(45, 5), kRed);
  run.runToEnd();
}

TEST(Copies, DepthCopiesHideBehindNearerOnesUntilAClear) {
  Pictures pics;
  CopyScript s;
  int red = s.load(pics.solid("dred", 32, 32, kRed));
  int blue = s.load(pics.solid("dblue", 32, 32, kBlue));
  int green = s.load(pics.solid("dgreen", 32, 32, kGreen));
  s.rect(s.screen, 100, 50, 0, 0);
  s.copy("G@CHRCOPYF2", {red, s.screen, s.real(0.2f), s.integer(0), s.real(1), s.real(0)});
  s.rect(s.screen, 116, 66, 0, 0);
  s.copy("G@CHRCOPYF2", {blue, s.screen, s.real(0.5f), s.integer(0), s.real(1), s.real(0)});
  // Depth 0 copies always draw, whatever was there.
  s.copy("G@CHRCOPYC", {green, s.screen, s.integer(200), s.integer(60), s.integer(0), s.real(1), s.real(0)});
  s.call("S@WAIT");
  s.call("G@CHRCLEAR", {s.screen, s.integer(0), s.integer(0), s.integer(0)});
  s.rect(s.screen, 100, 50, 0, 0);
  s.copy("G@CHRCOPYF2", {blue, s.screen, s.real(0.5f), s.integer(0), s.real(1), s.real(0)});
  s.call("S@WAIT");
  Game run(s);
  Pixels p = drawnScreen(run);
  EXPECT_EQ(p.rgb(120, 70), kRed);    // overlap: the nearer red stays
  EXPECT_EQ(p.rgb(140, 90), kBlue);   // outside the overlap blue shows
  EXPECT_EQ(p.rgb(200, 60), kGreen);
  run.step();
  Pixels after = screenPixels();
  EXPECT_EQ(after.rgb(110, 60), kBlue);   // the clear reset the depth too
  run.runToEnd();
}

TEST(Copies, CopiesIntoAMadeSurfaceUseItsOwnRectangleAndDepth) {
  Pictures pics;
  CopyScript s;
  int red = s.load(pics.solid("sred", 8, 8, kRed));
  int blue = s.load(pics.solid("sblue", 8, 8, kBlue));
  int canvas = s.call("G@CHRMAKE", {s.integer(40), s.integer(30), s.integer(0)});
  s.call("G@CHRCLEAR", {canvas, s.integer(0), s.integer(0), s.integer(0)});
  s.rect(canvas, 4, 4, 0, 0);
  s.copy("G@CHRCOPYF2", {red, canvas, s.real(0.1f), s.integer(0), s.real(1), s.real(0)});
  s.copy("G@CHRCOPYF2", {blue, canvas, s.real(0.9f), s.integer(0), s.real(1), s.real(0)});
  s.call("S@WAIT");
  Game run(s);
  run.step();
  run.step();
  ASSERT_TRUE(run.boxCodes().empty());
  Pixels p = surfacePixels(run.integer(canvas));
  EXPECT_EQ(p.boxOf(kRed), (std::vector<int>{4, 4, 11, 11}));
  EXPECT_EQ(p.count(kBlue), 0);
  EXPECT_EQ(screenPixels().count(kRed), 0);   // the screen is untouched
  run.runToEnd();
}

}  // namespace
}  // namespace qrt::test
