// The demo's controls, played: arrow keys and the mouse move the sprite.
#include <gtest/gtest.h>

#include "base/runtime.h"
#include "tests/input/input_driver.h"
#include "tests/support/program.h"
#include "tools/mkdemo/demo_input.h"

using namespace qrt::test;
using namespace qrt::img;
using qrt::g_host;

namespace {


struct Demo {
  std::vector<uint8_t> image;
  qrt::demo::Player player;
};

// G@SETUP 640 x 480 in a window, then every frame: the controls, S@WAIT.
Demo controlsOnly() {
  Script s;
  s.call("G@SETUP", {s.integer(640), s.integer(480), s.integer(32), s.integer(1)});
  const qrt::demo::Player p = qrt::demo::declarePlayer(s.main(), 100, 200);
  Label frame = s.here();
  qrt::demo::movePlayer(s.main(), p, {.width = 640, .height = 480, .spriteSize = 32});
  s.wait();
  s.jump(frame);
  return {s.build(), p};
}

TEST(DemoControls, ArrowKeysAndTheMouseMoveTheSprite) {
  Demo demo = controlsOnly();
  Program p(demo.image);
  activateMainWindow();
  ASSERT_TRUE(p.step());  // G@SETUP
  const POINT inside = [] {
    POINT pt{320, 240};
    ClientToScreen(g_host.window, &pt);
    return pt;
  }();
  SetCursorPos(inside.x, inside.y);
  settle();
  ASSERT_TRUE(p.step());
  EXPECT_EQ(p.slot(demo.player.x), 100u);
  EXPECT_EQ(p.slot(demo.player.y), 200u);

  pressKey(VK_RIGHT);
  settle();
  ASSERT_TRUE(p.step());
  ASSERT_TRUE(p.step());
  releaseKey(VK_RIGHT);
  pressKey(VK_UP);
  settle();
  ASSERT_TRUE(p.step());
  releaseKey(VK_UP);
  settle();
  ASSERT_TRUE(p.step());
  EXPECT_EQ(p.slot(demo.player.x), 108u);
  EXPECT_EQ(p.slot(demo.player.y), 196u);

  // Held left button: the sprite's centre is at the cursor.
  mouseButton(MOUSEEVENTF_LEFTDOWN);
  settle();
  ASSERT_TRUE(p.step());
  mouseButton(MOUSEEVENTF_LEFTUP);
  settle();
  EXPECT_EQ(p.slot(demo.player.x), 320u - 16);
  EXPECT_EQ(p.slot(demo.player.y), 240u - 16);

  // Held against the edge, it stays on the screen.
  pressKey(VK_LEFT);
  settle();
  for (int i = 0; i < 90; ++i) ASSERT_TRUE(p.step());
  releaseKey(VK_LEFT);
  settle();
  EXPECT_EQ(p.slot(demo.player.x), 0u);
  EXPECT_TRUE(p.boxes().empty());
}

}  // namespace
