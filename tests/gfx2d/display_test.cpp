// The display device as a game meets it: G@SETUP shapes the window and
// hands out the screen surface, G@FLIP presents, the mode list, and a
// device that comes back after a reset with every handle still working.
#include <gtest/gtest.h>

#include "base/runtime.h"
#include "tests/gfx2d/gfx_support.h"

namespace qrt::test {
namespace {

TEST(Display, SetupMakesTheClientAreaExactAndYieldsTheScreenSurface) {
  GfxScript s(640, 480);
  int again = s.call("G@SETUP", {s.integer(640), s.integer(480), s.integer(16), s.integer(1)});
  int count = s.call("G@DISPMODECOUNT");
  int past = s.call("G@DISPMODEGET", {count, s.integer(0)});
  int badItem = s.call("G@DISPMODEGET", {s.integer(0), s.integer(4)});
  int width0 = s.call("G@DISPMODEGET", {s.integer(0), s.integer(0)});
  int bits0 = s.call("G@DISPMODEGET", {s.integer(0), s.integer(2)});
  Game run(s);

  ASSERT_TRUE(run.step());   // G@SETUP yields on success
  DisplayState& d = displayState();
  IDirect3DDevice9* device = d.device.Get();
  ASSERT_NE(device, nullptr);
  RECT client{};
  GetClientRect(g_host.window, &client);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480);
  EXPECT_EQ(d.backBufferDesc.Width, 640u);
  EXPECT_EQ(d.backBufferDesc.Height, 480u);
  EXPECT_EQ(d.windowMode, 1);
  EXPECT_EQ(d.clientWidth, 640);
  // Cleared to opaque black.
  EXPECT_EQ(screenPixels().at(320, 240), 0xFF000000u);

  ASSERT_TRUE(run.step());   // the second G@SETUP yields too
  run.runToEnd();
  EXPECT_TRUE(run.boxCodes().empty());
  EXPECT_NE(run.integer(s.screen), 0);
  EXPECT_EQ(run.integer(again), run.integer(s.screen));
  EXPECT_EQ(d.device.Get(), device);
  EXPECT_GT(run.integer(count), 0);
  EXPECT_EQ(run.integer(past), -1);
  EXPECT_EQ(run.integer(badItem), -1);
  EXPECT_GT(run.integer(width0), 0);
  EXPECT_TRUE(run.integer(bits0) == 16 || run.integer(bits0) == 24 || run.integer(bits0) == 32);
}

TEST(Display, WindowModeOtherThanZeroOrOneIsRefusedWithoutADevice) {
  Script s;
  s.call("G@SETUP", {s.integer(320), s.integer(240), s.integer(32), s.integer(2)});
  Game run(s);
  run.runToEnd();
  EXPECT_EQ(run.boxCodes(), std::vector<int>{660});
  EXPECT_FALSE(displayState().direct3d);
}

// Mode 256 is mode 0: a full screen of the desktop's size, a pop-up window
// without its cursor.
TEST(Display, FullScreenFromTheLowEightBitsOfTheMode) {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  Script s;
  int screen = s.call("G@SETUP", {s.integer(width), s.integer(height), s.integer(32), s.integer(256)});
  s.call("G@CHRCLEAR", {screen, s.integer(0), s.integer(0), s.integer(255)});
  s.call("S@WAIT");
  s.call("G@FLIP");
  Game run(s);
  ASSERT_TRUE(run.step());
  ASSERT_TRUE(run.step());
  DisplayState& d = displayState();
  EXPECT_EQ(d.windowMode, 0);
  EXPECT_FALSE(d.present.Windowed);
  EXPECT_EQ(d.backBufferDesc.Width, static_cast<UINT>(width));
  EXPECT_EQ(d.backBufferDesc.Height, static_cast<UINT>(height));
  EXPECT_TRUE(GetWindowLongW(g_host.window, GWL_STYLE) & WS_POPUP);
  EXPECT_EQ(screenPixels().at(width - 1, height - 1), 0xFF0000FFu);
  CURSORINFO cursor{sizeof cursor};
  GetCursorInfo(&cursor);
  EXPECT_FALSE(cursor.flags & CURSOR_SHOWING);
  run.runToEnd();
  EXPECT_TRUE(run.boxCodes().empty());
  ShowCursor(TRUE);
}

TEST(Display, OnlyTheLowEightBitsOfTheModeCount) {
  // 257 is window mode 1, so this stays a window the test bed can show.
  Script s;
  int screen = s.call("G@SETUP", {s.integer(200), s.integer(100), s.integer(32), s.integer(257)});
  Game run(s);
  run.runToEnd();
  EXPECT_TRUE(run.boxCodes().empty());
  EXPECT_NE(run.integer(screen), 0);
  EXPECT_EQ(displayState().windowMode, 1);
}

TEST(Display, CommandsNeedingTheDeviceStopBeforeSetup) {
  Script s;
  s.call("G@CHRMAKE", {s.integer(8), s.integer(8), s.integer(0)});
  Game run(s);
  run.runToEnd();
  ASSERT_EQ(run.boxCodes(), std::vector<int>{615});
  EXPECT_NE(run.boxes()[0].text.find("G@CHRMAKE"), std::string::npos);
}

TEST(Display, FontBeforeSetupIsRefusedAndColourIsNot) {
  Script s;
  int marker = s.slot();
  s.call("G@COLOR", {s.integer(1), s.integer(2), s.integer(3)});
  s.mark(marker, 1);
  s.call("G@FONT", {s.integer(20), s.integer(400), s.integer(0), s.integer(3), s.noString()});
  s.mark(marker, 2);
  Game run(s);
  run.runToEnd();
  EXPECT_EQ(run.boxCodes(), std::vector<int>{660});
  EXPECT_EQ(run.integer(marker), 1);   // G@FONT's failure ends the program
  EXPECT_EQ(displayState().textColour, 0xFF010203u);
}

TEST(Display, FlipPresentsAndOpensTheNextScene) {
  GfxScript s;
  s.call("G@CHRCLEAR", {s.screen, s.integer(0), s.integer(0), s.integer(255)});
  s.call("G@FLIP");
  s.call("G@FLIP");
  Game run(s);
  ASSERT_TRUE(run.step());
  ASSERT_TRUE(run.step());
  EXPECT_EQ(displayState().inScene, 1);
  EXPECT_EQ(displayState().perFrame, 0);
  ASSERT_TRUE(run.step());
  run.runToEnd();
  EXPECT_TRUE(run.boxCodes().empty());
}

// A reset needs every default-pool resource gone first; afterwards the
// same handles draw again: loaded images come back from their files, made
// surfaces come back empty, the font still prints.
TEST(Display, SurfacesSurviveADeviceReset) {
  const std::string dir = scratchFolder("reset");
  const std::string file = dir + "\\red.bmp";
  writeBmp(file, 8, 8, std::vector<uint32_t>(64, 0xFFFF0000));
  GfxScript s;
  int red = s.call("G@CHRLOAD", {s.text(file), s.noString()});
  int made = s.call("G@CHRMAKE", {s.integer(16), s.integer(16), s.integer(0)});
  s.call("G@CHRCLEAR", {made, s.integer(0), s.integer(255), s.integer(0)});
  s.call("G@PRINT", {s.screen, s.integer(0), s.integer(0), s.text("x")});
  s.call("S@WAIT");
  // After the reset: draw the loaded image at (10,10)-(17,17).
  s.call("G@CHRRECT", {s.screen, s.integer(10), s.integer(10), s.integer(17), s.integer(17)});
  s.call("G@CHRCOPY", {red, s.screen, s.integer(0), s.real(1), s.real(0)});
  s.call("G@PRINT", {s.screen, s.integer(100), s.integer(100), s.text("y")});
  s.call("S@WAIT");
  Game run(s);
  ASSERT_TRUE(run.step());
  ASSERT_TRUE(run.step());

  DisplayState& d = displayState();
  ASSERT_TRUE(recoverDevice(d));
  EXPECT_FALSE(d.resourcesLost);
  ASSERT_TRUE(run.step());
  EXPECT_TRUE(run.boxCodes().empty());
  Pixels screen = screenPixels();
  EXPECT_EQ(screen.boxOf(0xFF0000), (std::vector<int>{10, 10, 17, 17}));
  int lit = 0;   // the font came back too
  for (int y = 100; y < 126; ++y)
    for (int x = 100; x < 130; ++x) lit += (screen.at(x, y) & 0xFF) > 0x80;
  EXPECT_GT(lit, 10);
  Pixels madePixels = surfacePixels(static_cast<uint32_t>(run.integer(made)));
  EXPECT_EQ(madePixels.at(3, 3), 0u);   // its old green is gone, not stale
  run.runToEnd();
}

}  // namespace
}  // namespace qrt::test
