// The keyboard as a game reads it: keys pressed through SendInput, seen by
// I@KEYBTN after I@KEYGET and as events by I@KEYGET2.
#include <gtest/gtest.h>

#include "base/runtime.h"
#include "input/input.h"
#include "tests/input/input_driver.h"
#include "tests/support/program.h"

using namespace qrt::test;
using qrt::g_host;

namespace {

constexpr int kDikA = 0x1E, kDikSpace = 0x39;

TEST(Keyboard, KeyDownThenUpThroughKeyBtn) {
  Script s;
  const int a = s.integer(kDikA), space = s.integer(kDikSpace);
  s.run("I@KEYGET");
  s.wait();
  s.run("I@KEYGET");
  const int aDown = s.call("I@KEYBTN", {a}), spaceDown = s.call("I@KEYBTN", {space});
  s.wait();
  s.run("I@KEYGET");
  const int aUp = s.call("I@KEYBTN", {a});
  Program p(s.build());
  activateMainWindow();
  ASSERT_TRUE(p.step());
  pressKey('A');
  settle();
  ASSERT_TRUE(p.step());
  releaseKey('A');
  settle();
  p.runToEnd();
  EXPECT_EQ(p.slot(aDown), 1u);
  EXPECT_EQ(p.slot(spaceDown), 0u);
  EXPECT_EQ(p.slot(aUp), 0u);
  EXPECT_TRUE(p.boxes().empty());
}

TEST(Keyboard, BufferedGivesDownThenUpThenNothing) {
  Script s;
  const int zero = s.integer(0), one = s.integer(1), two = s.integer(2);
  s.run("I@KEYGET2");
  s.wait();
  s.run("I@KEYGET2");
  const int firstKey = s.call("I@KEYBTN2", {zero}), firstKind = s.call("I@KEYBTN2", {one});
  const int firstTime = s.call("I@KEYBTN2", {two});
  s.run("I@KEYGET2");
  const int secondKey = s.call("I@KEYBTN2", {zero}), secondKind = s.call("I@KEYBTN2", {one});
  s.run("I@KEYGET2");
  const int thirdKey = s.call("I@KEYBTN2", {zero}), thirdKind = s.call("I@KEYBTN2", {one});
  const int thirdTime = s.call("I@KEYBTN2", {two});
  Program p(s.build());
  activateMainWindow();
  ASSERT_TRUE(p.step());
  tapKey('A');
  p.runToEnd();
  EXPECT_EQ(p.slot(firstKey), static_cast<uint32_t>(kDikA));
  EXPECT_EQ(p.slot(firstKind), 1u);
  EXPECT_NE(p.slot(firstTime), 0u);
  EXPECT_EQ(p.slot(secondKey), static_cast<uint32_t>(kDikA));
  EXPECT_EQ(p.slot(secondKind), 2u);
  EXPECT_EQ(p.slot(thirdKey), 0u);
  EXPECT_EQ(p.slot(thirdKind), 0u);
  EXPECT_EQ(p.slot(thirdTime), 0u);
  EXPECT_TRUE(p.boxes().empty());
}

// One device cannot give both forms: switching makes a new one, and the
// events the old one held are gone.
TEST(Keyboard, SwitchingFormsReplacesTheDevice) {
  Script s;
  const int zero = s.integer(0), a = s.integer(kDikA);
  s.run("I@KEYGET2");
  s.wait();
  s.run("I@KEYGET");
  const int held = s.call("I@KEYBTN", {a});
  s.run("I@KEYGET2");
  const int lost = s.call("I@KEYBTN2", {zero});
  s.wait();
  s.run("I@KEYGET2");
  const int fresh = s.call("I@KEYBTN2", {zero});
  Program p(s.build());
  activateMainWindow();
  ASSERT_TRUE(p.step());
  tapKey('A');
  ASSERT_TRUE(p.step());
  tapKey(VK_SPACE);
  p.runToEnd();
  EXPECT_EQ(p.slot(held), 0u);
  EXPECT_EQ(p.slot(lost), 0u);
  EXPECT_EQ(p.slot(fresh), static_cast<uint32_t>(kDikSpace));
  EXPECT_TRUE(p.boxes().empty());
}

// While another application is active the keys read as up, unless the
// script asked for background input.
TEST(Keyboard, RefusedWhileInactiveUnlessBackgroundModeTwo) {
  Script s;
  const int a = s.integer(kDikA);
  s.run("I@KEYGET");
  s.wait();
  int seen[3];
  for (int& slot : seen) {
    s.run("I@KEYGET");
    slot = s.call("I@KEYBTN", {a});
    s.wait();
  }
  Program p(s.build());
  activateMainWindow();
  ASSERT_TRUE(p.step());
  SendMessageW(g_host.window, WM_ACTIVATEAPP, FALSE, 0);
  ASSERT_EQ(g_host.rt.active, 0);
  pressKey('A');
  settle();
  for (int mode = 0; mode < 3; ++mode) {
    g_host.rt.background = static_cast<uint8_t>(mode);
    ASSERT_TRUE(p.step());
  }
  releaseKey('A');
  settle();
  g_host.rt.background = 0;
  EXPECT_EQ(p.slot(seen[0]), 0u);
  EXPECT_EQ(p.slot(seen[1]), 0u);
  EXPECT_EQ(p.slot(seen[2]), 1u);
}

// A switch to another application can take the devices' acquisition
// away: the next reads acquire them again and go on, instead of failing
// with 630 and ending the game.
TEST(Keyboard, ReadsGoOnAfterTheDevicesLostTheirAcquisition) {
  Script s;
  const int a = s.integer(kDikA), coarse = s.integer(0);
  s.run("I@KEYGET");
  s.run("I@MSGET", {coarse});
  s.wait();
  s.run("I@KEYGET");
  s.run("I@MSGET", {coarse});
  s.wait();
  s.run("I@KEYGET");
  const int down = s.call("I@KEYBTN", {a});
  s.wait();
  s.run("I@KEYGET2");
  const int reached = s.marker();
  Program p(s.build());
  activateMainWindow();
  ASSERT_TRUE(p.step());
  qrt::InputState& in = *qrt::input();
  in.keyboard->Unacquire();
  in.mouse->Unacquire();
  ASSERT_TRUE(p.step());
  pressKey('A');
  ASSERT_TRUE(p.step());
  releaseKey('A');
  // Away and back: the family hears it and acquires again.
  in.keyboard->Unacquire();
  SendMessageW(g_host.window, WM_ACTIVATEAPP, FALSE, 0);
  SendMessageW(g_host.window, WM_ACTIVATEAPP, TRUE, 0);
  p.runToEnd();
  EXPECT_EQ(p.slot(down), 1u);
  EXPECT_EQ(p.slot(reached), 1u);
  EXPECT_TRUE(p.boxes().empty());
}

// A bad key code or item is a parameter error naming the command; its
// failure value ends the program.
TEST(Keyboard, BadKeyCodeOrItemEndsTheProgram) {
  const struct {
    const char* command;
    int argument;
    const char* name;
  } cases[] = {{"I@KEYBTN", 256, "I@KEYBTN"}, {"I@KEYBTN", -1, "I@KEYBTN"}, {"I@KEYBTN2", 3, "I@KEYBTN2"}};
  for (const auto& c : cases) {
    Script s;
    const int edge = s.call("I@KEYBTN", {s.integer(255)});
    s.call(c.command, {s.integer(c.argument)});
    const int never = s.integer(9);
    Program p(s.build());
    p.runToEnd();
    EXPECT_TRUE(p.ended());
    EXPECT_EQ(p.slot(edge), 0u);
    EXPECT_EQ(p.slot(never), 0u) << c.name;
    ASSERT_EQ(p.boxCodes(), (std::vector<int>{660})) << c.name;
    EXPECT_NE(p.boxes()[0].text.find(c.name), std::string::npos);
  }
}

}  // namespace
