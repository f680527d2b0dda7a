// The demo's controls, played: arrow keys and the mouse move the sprite.
#include <gtest/gtest.h>

#include "base/runtime.h"
#include "tests/input/input_driver.h"
#include "tests/support/program.h"
#include "tools/mkdemo/demo_input.h"
#include "tools/mkdemo/demo_scene.h"

#include <filesystem>
#include <fstream>

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

// The demo's house, picked: a right click on it tints it, one beside it
// does not, the next one on it takes the tint away.
TEST(DemoScene, ARightClickOnTheHouseTintsIt) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "qrt_demo_scene";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "demo_model.x", std::ios::binary) << qrt::demo::demoModel();
  SetCurrentDirectoryW(dir.wstring().c_str());
  Script s;
  s.call("G@SETUP", {s.integer(640), s.integer(480), s.integer(32), s.integer(1)});
  const qrt::demo::Scene scene = qrt::demo::declareScene(s.main(), s.text("demo_model.x"));
  const qrt::demo::Player player = qrt::demo::declarePlayer(s.main(), 100, 200);
  Label frame = s.here();
  qrt::demo::renderScene(s.main());
  qrt::demo::movePlayer(s.main(), player, {.width = 640, .height = 480, .spriteSize = 32});
  qrt::demo::updateScene(s.main(), scene, player.mouseX, player.mouseY);
  s.wait();
  s.jump(frame);
  Program p(s.build());
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
    return p.slot(scene.tinted);
  };
  // The walls stand about 165, 348 on the screen, 60 pixels wide.
  EXPECT_EQ(clickAt(560, 120), 0u);
  EXPECT_EQ(clickAt(165, 350), 1u);
  EXPECT_EQ(clickAt(165, 350), 0u);
  EXPECT_TRUE(p.boxes().empty());
}

}  // namespace
