// The mouse as a game reads it in its three modes: coarse movement, the
// cursor on the screen, and the cursor on the logical screen; in full
// screen a virtual cursor and wheel built from the movements.
#include <gtest/gtest.h>

#include "gfx2d/display.h"
#include "base/runtime.h"
#include "tests/input/input_driver.h"
#include "tests/support/program.h"

using namespace qrt::test;
using qrt::g_host;

namespace {


struct Position {
  int x, y, z;
};

// MSGET(mode) and the three axes, read into fresh slots.
struct MouseRead {
  int x, y, z;
  Position in(Program& p) const {
    return {static_cast<int32_t>(p.slot(x)), static_cast<int32_t>(p.slot(y)),
            static_cast<int32_t>(p.slot(z))};
  }
};

MouseRead readMouse(Script& s, int modeSlot) {
  s.run("I@MSGET", {modeSlot});
  return {s.call("I@MSPOS", {s.integer(0)}), s.call("I@MSPOS", {s.integer(1)}),
          s.call("I@MSPOS", {s.integer(2)})};
}

POINT clientToScreen(int x, int y) {
  POINT p{x, y};
  ClientToScreen(g_host.window, &p);
  return p;
}

void resizeClient(int width, int height) {
  RECT r{0, 0, width, height};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(g_host.window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(g_host.window, GWL_EXSTYLE)));
  SetWindowPos(g_host.window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER);
  settle();
}

TEST(Mouse, ModeZeroGivesMovementInSixtyFourths) {
  PlainMouse plain;
  Script s;
  const int mode = s.integer(0);
  s.run("I@MSGET", {mode});
  s.wait();
  const MouseRead right = readMouse(s, mode);
  s.wait();
  const MouseRead left = readMouse(s, mode);
  s.wait();
  const MouseRead still = readMouse(s, mode);
  Program p(s.build());
  activateMainWindow();
  SetCursorPos(512, 384);
  settle();
  ASSERT_TRUE(p.step());
  moveMouse(640, 130);
  settle();
  ASSERT_TRUE(p.step());
  moveMouse(-100, -63);
  settle();
  ASSERT_TRUE(p.step());
  p.runToEnd();
  const Position r = right.in(p), l = left.in(p), n = still.in(p);
  EXPECT_EQ(r.x, 10);
  EXPECT_EQ(r.y, 2);
  EXPECT_EQ(r.z, 0);
  // Truncated toward zero, not rounded down.
  EXPECT_EQ(l.x, -1);
  EXPECT_EQ(l.y, 0);
  EXPECT_EQ(n.x, 0);
  EXPECT_EQ(n.y, 0);
  EXPECT_TRUE(p.boxes().empty());
}

TEST(Mouse, ModeOneInAWindowIsTheScreenPosition) {
  Script s;
  const int mode = s.integer(1);
  const MouseRead at = readMouse(s, mode);
  Program p(s.build());
  activateMainWindow();
  SetCursorPos(300, 200);
  settle();
  p.runToEnd();
  const Position r = at.in(p);
  EXPECT_EQ(r.x, 300);
  EXPECT_EQ(r.y, 200);
  EXPECT_EQ(r.z, 0);
}

// Before G@SETUP there is no logical screen and the client size is 0: the
// client position is given as it is instead of dividing by zero.
TEST(Mouse, ModeTwoBeforeSetupIsTheClientPosition) {
  Script s;
  const int mode = s.integer(2);
  const MouseRead at = readMouse(s, mode);
  Program p(s.build());
  activateMainWindow();
  const POINT target = clientToScreen(30, 40);
  SetCursorPos(target.x, target.y);
  settle();
  p.runToEnd();
  const Position r = at.in(p);
  EXPECT_EQ(r.x, 30);
  EXPECT_EQ(r.y, 40);
  EXPECT_TRUE(p.boxes().empty());
}

// A 320 x 240 game in a window stretched to 640 x 480: positions come back
// on the game's own screen, clamped to it.
TEST(Mouse, ModeTwoScalesAWindowTwiceTheLogicalSize) {
  Script s;
  const int width = s.integer(320), height = s.integer(240), depth = s.integer(32), window = s.integer(1);
  // G@SETUP hands control back by itself.
  const int screen = s.call("G@SETUP", {width, height, depth, window});
  const int mode = s.integer(2);
  const MouseRead edge = readMouse(s, mode);
  s.wait();
  const MouseRead middle = readMouse(s, mode);
  s.wait();
  const MouseRead outside = readMouse(s, mode);
  Program p(s.build());
  activateMainWindow();
  ASSERT_TRUE(p.step());
  ASSERT_NE(p.slot(screen), 0u) << "G@SETUP failed";
  resizeClient(640, 480);
  ASSERT_EQ(qrt::display()->clientWidth, 640);
  ASSERT_EQ(qrt::display()->clientHeight, 480);
  POINT target = clientToScreen(639, 479);
  SetCursorPos(target.x, target.y);
  settle();
  ASSERT_TRUE(p.step());
  target = clientToScreen(321, 241);
  SetCursorPos(target.x, target.y);
  settle();
  ASSERT_TRUE(p.step());
  target = clientToScreen(-20, 700);
  SetCursorPos(target.x, target.y);
  settle();
  p.runToEnd();
  const Position e = edge.in(p), m = middle.in(p), o = outside.in(p);
  EXPECT_EQ(e.x, 319);
  EXPECT_EQ(e.y, 239);
  EXPECT_EQ(m.x, 160);
  EXPECT_EQ(m.y, 120);
  EXPECT_EQ(o.x, 0);
  EXPECT_EQ(o.y, 239);
  EXPECT_TRUE(p.boxes().empty());
}

// Full screen hides and captures the system cursor; the game gets a
// virtual one, built from movements and held inside its screen.
TEST(Mouse, FullScreenVirtualCursorIsClampedAndTheWheelAddsUp) {
  PlainMouse plain;
  Script s;
  const int mode = s.integer(1);
  s.run("I@MSGET", {mode});
  s.wait();
  const MouseRead farLeft = readMouse(s, mode);
  s.wait();
  const MouseRead back = readMouse(s, mode);
  s.wait();
  const MouseRead farDown = readMouse(s, mode);
  Program p(s.build());
  activateMainWindow();
  // The screen as G@SETUP leaves it in full screen, without taking the
  // test machine's display.
  qrt::display()->width = 320;
  qrt::display()->height = 240;
  qrt::display()->windowMode = 0;
  SetCursorPos(512, 384);
  settle();
  ASSERT_TRUE(p.step());
  moveMouse(-500, 30);
  turnWheel(WHEEL_DELTA);
  settle();
  ASSERT_TRUE(p.step());
  moveMouse(10, 5);
  turnWheel(WHEEL_DELTA);
  settle();
  ASSERT_TRUE(p.step());
  moveMouse(0, 900);
  turnWheel(-3 * WHEEL_DELTA);
  settle();
  p.runToEnd();
  qrt::display()->windowMode = -1;
  const Position l = farLeft.in(p), b = back.in(p), d = farDown.in(p);
  EXPECT_EQ(l.x, 0);
  EXPECT_EQ(l.y, 30);
  EXPECT_EQ(l.z, WHEEL_DELTA);
  // Back to the right at once: the clamp does not keep the overshoot.
  EXPECT_EQ(b.x, 10);
  EXPECT_EQ(b.y, 35);
  EXPECT_EQ(b.z, 2 * WHEEL_DELTA);
  EXPECT_EQ(d.x, 10);
  EXPECT_EQ(d.y, 239);
  EXPECT_EQ(d.z, -WHEEL_DELTA);
}

TEST(Mouse, ButtonsFollowTheDevice) {
  Script s;
  const int mode = s.integer(0), left = s.integer(0), right = s.integer(1);
  s.run("I@MSGET", {mode});
  s.wait();
  s.run("I@MSGET", {mode});
  const int leftDown = s.call("I@MSBTN", {left}), rightDown = s.call("I@MSBTN", {right});
  s.wait();
  s.run("I@MSGET", {mode});
  const int leftUp = s.call("I@MSBTN", {left});
  Program p(s.build());
  activateMainWindow();
  // Over the game's own window: a click elsewhere would activate another.
  const POINT inside = clientToScreen(20, 20);
  SetCursorPos(inside.x, inside.y);
  settle();
  ASSERT_TRUE(p.step());
  mouseButton(MOUSEEVENTF_LEFTDOWN);
  settle();
  ASSERT_TRUE(p.step());
  mouseButton(MOUSEEVENTF_LEFTUP);
  settle();
  p.runToEnd();
  EXPECT_EQ(p.slot(leftDown), 1u);
  EXPECT_EQ(p.slot(rightDown), 0u);
  EXPECT_EQ(p.slot(leftUp), 0u);
}

// While inactive (background mode 0) mode 0 reads no movement and no
// button; modes 1 and 2 keep the last position.
TEST(Mouse, InactiveReadsNeutral) {
  Script s;
  const int zero = s.integer(0), one = s.integer(1);
  const MouseRead first = readMouse(s, one);
  s.wait();
  const MouseRead kept = readMouse(s, one);
  const int button = s.call("I@MSBTN", {zero});
  const MouseRead coarse = readMouse(s, zero);
  Program p(s.build());
  activateMainWindow();
  const POINT inside = clientToScreen(20, 20);
  SetCursorPos(inside.x, inside.y);
  settle();
  ASSERT_TRUE(p.step());
  SendMessageW(g_host.window, WM_ACTIVATEAPP, FALSE, 0);
  SetCursorPos(inside.x + 5, inside.y + 5);
  mouseButton(MOUSEEVENTF_LEFTDOWN);
  settle();
  p.runToEnd();
  mouseButton(MOUSEEVENTF_LEFTUP);
  settle();
  EXPECT_EQ(first.in(p).x, inside.x);
  EXPECT_EQ(kept.in(p).x, inside.x);
  EXPECT_EQ(kept.in(p).y, inside.y);
  EXPECT_EQ(p.slot(button), 0u);
  EXPECT_EQ(coarse.in(p).x, 0);
  EXPECT_EQ(coarse.in(p).y, 0);
}

TEST(Mouse, BadModeAxisOrButtonEndsTheProgram) {
  const struct {
    const char* command;
    int argument;
    const char* name;
  } cases[] = {{"I@MSGET", 3, "I@MSGET"}, {"I@MSGET", -1, "I@MSGET"},
               {"I@MSPOS", 3, "I@MSPOS"}, {"I@MSBTN", 8, "I@MSBTN"}};
  for (const auto& c : cases) {
    Script s;
    s.call(c.command, {s.integer(c.argument)});
    const int never = s.integer(9);
    Program p(s.build());
    p.runToEnd();
    EXPECT_TRUE(p.ended());
    EXPECT_EQ(p.slot(never), 0u) << c.name;
    ASSERT_EQ(p.boxCodes(), (std::vector<int>{660})) << c.name;
    EXPECT_NE(p.boxes()[0].text.find(c.name), std::string::npos);
  }
}

}  // namespace
