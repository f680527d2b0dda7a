// Game controllers. The test machine has none, so a read gives the neutral
// controller; what a real controller reports is put into the captured
// state directly to check how the queries read it.
#include <gtest/gtest.h>

#include <cstring>

#include "base/runtime.h"
#include "input/input.h"
#include "tests/input/input_driver.h"
#include "tests/support/program.h"

using namespace qrt::test;
using qrt::g_host;

namespace {

constexpr uint32_t kCentre = 0x8000;

TEST(Joystick, NoControllerReadsNeutral) {
  Script s;
  const int pad = s.integer(0);
  const int got = s.call("I@JOYGET", {pad});
  s.wait();
  const int again = s.call("I@JOYGET", {pad});  // enumerates again: still none
  int analog[12], digital[12];
  for (int k = 0; k < 12; ++k) {
    const int value = s.integer(k);
    analog[k] = s.call("I@JOYAPOS", {pad, value});
    digital[k] = s.call("I@JOYDPOS", {pad, value});
  }
  const int any = s.call("I@JOYBTN", {pad, s.integer(0)});
  const int last = s.call("I@JOYBTN", {pad, s.integer(32)});
  Program p(s.build());
  activateMainWindow();
  std::memset(&qrt::input()->captured.joysticks[0], 0x11, sizeof(DIJOYSTATE));
  p.runToEnd();
  EXPECT_EQ(p.slot(got), 0u);
  EXPECT_EQ(p.slot(again), 0u);
  for (int k = 0; k < 12; ++k) {
    EXPECT_EQ(p.slot(analog[k]), kCentre) << k;
    // Centred axes point nowhere; 32768 is no hat direction either.
    EXPECT_EQ(static_cast<int32_t>(p.slot(digital[k])), k < 8 ? 0 : -1) << k;
  }
  EXPECT_EQ(p.slot(any), 0u);
  EXPECT_EQ(p.slot(last), 0u);
  EXPECT_TRUE(p.boxes().empty());
}

TEST(Joystick, QueriesReadTheCapturedController) {
  Script s;
  const int n = s.integer(3);
  int analog[12], digital[12];
  for (int k = 0; k < 12; ++k) {
    const int value = s.integer(k);
    analog[k] = s.call("I@JOYAPOS", {n, value});
    digital[k] = s.call("I@JOYDPOS", {n, value});
  }
  const int any = s.call("I@JOYBTN", {n, s.integer(0)});
  const int first = s.call("I@JOYBTN", {n, s.integer(1)});
  const int last = s.call("I@JOYBTN", {n, s.integer(32)});
  Program p(s.build());
  DIJOYSTATE& pad = qrt::input()->captured.joysticks[3];
  pad = DIJOYSTATE{};
  pad.lX = 100;            // the failure value of I@JOYAPOS
  pad.lY = 0x1FFF;         // just a push up
  pad.lZ = 0x2000;         // not yet
  pad.lRx = 0xE000;
  pad.lRy = 0xE001;        // just a push
  pad.rglSlider[1] = 99;
  pad.rgdwPOV[0] = 0;
  pad.rgdwPOV[1] = 27000;
  pad.rgdwPOV[2] = 4500;   // a diagonal has no single direction
  pad.rgdwPOV[3] = 0xFFFFFFFF;
  pad.rgbButtons[31] = 0x80;

  p.runToEnd();
  EXPECT_EQ(p.slot(analog[0]), 101u);
  EXPECT_EQ(p.slot(analog[1]), 0x1FFFu);
  EXPECT_EQ(p.slot(analog[7]), 99u);
  const int32_t expected[12] = {-1, -1, 0, 0, 1, -1, -1, -1, 0, 3, -1, -1};
  for (int k = 0; k < 12; ++k) EXPECT_EQ(static_cast<int32_t>(p.slot(digital[k])), expected[k]) << k;
  EXPECT_EQ(p.slot(any), 1u);
  EXPECT_EQ(p.slot(first), 0u);
  EXPECT_EQ(p.slot(last), 1u);
  EXPECT_TRUE(p.boxes().empty());
}

TEST(Joystick, InactiveReadStoresNeutralAndSucceeds) {
  Script s;
  const int n = s.integer(2);
  const int got = s.call("I@JOYGET", {n});
  const int x = s.call("I@JOYAPOS", {n, s.integer(0)});
  Program p(s.build());
  std::memset(&qrt::input()->captured.joysticks[2], 0, sizeof(DIJOYSTATE));
  SendMessageW(g_host.window, WM_ACTIVATEAPP, FALSE, 0);
  p.runToEnd();
  EXPECT_EQ(p.slot(got), 1u);
  EXPECT_EQ(p.slot(x), kCentre);
}

// A bad controller number is reported and read as "not read" (I@JOYGET)
// or -1, and the game goes on; a bad value or button number gives 100,
// which ends it.
TEST(Joystick, BadNumbersAreParameterErrors) {
  {
    Script s;
    const int bad = s.integer(16), zero = s.integer(0);
    const int got = s.call("I@JOYGET", {bad});
    const int analog = s.call("I@JOYAPOS", {bad, zero});
    const int digital = s.call("I@JOYDPOS", {s.integer(-1), zero});
    const int after = s.integer(7);
    Program p(s.build());
    p.runToEnd();
    EXPECT_EQ(p.slot(got), 0u);
    EXPECT_EQ(static_cast<int32_t>(p.slot(analog)), -1);
    EXPECT_EQ(static_cast<int32_t>(p.slot(digital)), -1);
    EXPECT_EQ(p.slot(after), 7u);
    EXPECT_EQ(p.boxCodes(), (std::vector<int>{660, 660, 660}));
  }
  const struct {
    const char* command;
    int first, second;
  } ending[] = {{"I@JOYAPOS", 0, 12}, {"I@JOYDPOS", 0, -1}, {"I@JOYBTN", 0, 33}, {"I@JOYBTN", 16, 0}};
  for (const auto& c : ending) {
    Script s;
    s.call(c.command, {s.integer(c.first), s.integer(c.second)});
    const int never = s.integer(9);
    Program p(s.build());
    p.runToEnd();
    EXPECT_TRUE(p.ended());
    EXPECT_EQ(p.slot(never), 0u) << c.command;
    EXPECT_EQ(p.boxCodes(), (std::vector<int>{660})) << c.command;
  }
}

}  // namespace
