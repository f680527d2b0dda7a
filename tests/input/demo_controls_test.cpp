// The demo's controls (examples/demo/player.qrs), played: arrow keys and
// the mouse move the rocket; and its scene (scene.qrs): a right click on
// the house tints it.
#include <gtest/gtest.h>

#include "base/runtime.h"
#include "tests/e2e/harness.h"
#include "tests/input/input_driver.h"
#include "tests/support/compiled_script.h"
#include "tests/support/program.h"

using namespace qrt::test;
using qrt::g_host;

namespace {

// G@SETUP 640 x 480 in a window, then every frame: the controls, S@WAIT.
const char kControlsOnly[] = R"(
#INCLUDE "player.qrs"
G@SETUP 640, 480, 32, 1
startPlayer(100, 200)
LOOP
  movePlayer(640, 480)
  S@WAIT
ENDLOOP
)";

TEST(DemoControls, ArrowKeysAndTheMouseMoveTheSprite) {
  const CompiledScript demo = compileScript(kControlsOnly, QRT_DEMO_DIR);
  const int x = demo.slotOf("playerX"), y = demo.slotOf("playerY");
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
  EXPECT_EQ(p.staticSlot(x), 100u);
  EXPECT_EQ(p.staticSlot(y), 200u);

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
  EXPECT_EQ(p.staticSlot(x), 108u);
  EXPECT_EQ(p.staticSlot(y), 196u);

  // Held left button: the sprite's centre is at the cursor.
  mouseButton(MOUSEEVENTF_LEFTDOWN);
  settle();
  ASSERT_TRUE(p.step());
  mouseButton(MOUSEEVENTF_LEFTUP);
  settle();
  EXPECT_EQ(p.staticSlot(x), 320u - 16);
  EXPECT_EQ(p.staticSlot(y), 240u - 16);

  // Held against the edge, it stays on the screen.
  pressKey(VK_LEFT);
  settle();
  for (int i = 0; i < 90; ++i) ASSERT_TRUE(p.step());
  releaseKey(VK_LEFT);
  settle();
  EXPECT_EQ(p.staticSlot(x), 0u);
  EXPECT_TRUE(p.boxes().empty());
}

// The demo's house, picked: a right click on it tints it, one beside it
// does not, the next one on it takes the tint away.
TEST(DemoScene, ARightClickOnTheHouseTintsIt) {
  const CompiledScript demo = compileScript(R"(
#INCLUDE "player.qrs"
#INCLUDE "scene.qrs"
G@SETUP 640, 480, 32, 1
makeScene("demo_model.x")
startPlayer(100, 200)
LOOP
  G3@RENDER 0, 0
  movePlayer(640, 480)
  updateScene()
  S@WAIT
ENDLOOP
)", QRT_DEMO_DIR);
  // The model is read from the demo's own folder.
  SetCurrentDirectoryW(qrt::e2e::hostFile(QRT_DEMO_DIR).c_str());
  const int tinted = demo.slotOf("tinted");
  Program p(demo.image);
  activateMainWindow();
  ASSERT_TRUE(p.step());   // G@SETUP
  ASSERT_TRUE(p.step());   // the scene drawn once: its matrices are there
  auto clickAt = [&](int x, int y) {
    POINT pt{x, y};
    ClientToScreen(g_host.window, &pt);
    SetCursorPos(pt.x, pt.y);
    settle();
    mouseButton(MOUSEEVENTF_RIGHTDOWN);
    EXPECT_TRUE(p.step());
    mouseButton(MOUSEEVENTF_RIGHTUP);
    EXPECT_TRUE(p.step());
    return static_cast<int32_t>(p.staticSlot(tinted));
  };
  // The walls stand about 165, 348 on the screen, 60 pixels wide.
  EXPECT_EQ(clickAt(560, 120), 0);
  EXPECT_EQ(clickAt(165, 350), -1);
  EXPECT_EQ(clickAt(165, 350), 0);
  EXPECT_TRUE(p.boxes().empty());
}

}  // namespace
