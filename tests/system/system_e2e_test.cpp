// A game executable's message boxes, command line and instance check, as
// a player meets them: the boxes are real, answered with their default
// buttons, and the instance mutex is held by this process meanwhile.
#include <gtest/gtest.h>

#include <string>

#include "base/cp932.h"
#include "system/system.h"
#include "tests/e2e/harness.h"
#include "tests/support/script.h"

using namespace qrt::test;
using qrt::narrow932;

namespace {

// Shows `text` in a box with the given title (0: none), buttons and icon;
// returns the slot of the button pressed.
int box(Script& s, int text, int title, int buttons, int modal = 0, int icon = 1) {
  return s.call("S@MSG", {text, title, s.integer(buttons), s.integer(modal), s.integer(icon)});
}

int number(Script& s, int value) { return s.callText("STR", {value, s.integer(0)}); }

TEST(SystemGame, BoxesCommandLineAndInstanceCheckAcrossProcesses) {
  // A backslash would make the platform refuse the name.
  const std::string name = "qrt-e2e\\instance";
  Script holder;
  const int held = holder.text(name);
  const int first = holder.call("S@SYSACTCHK", {held});
  const int second = holder.call("S@SYSACTCHK", {held});
  holder.call("S@SYSACTCHK", {held});
  // Names longer than the object namespace takes, and a session namespace.
  const int longName = holder.text(std::string(300, 'q'));
  const int longFirst = holder.call("S@SYSACTCHK", {longName}), longSecond = holder.call("S@SYSACTCHK", {longName});
  const int local = holder.call("S@SYSACTCHK", {holder.text("Local\\qrt-e2e-session")});
  Game holding(holder);
  holding.runToEnd();
  EXPECT_EQ(holding.integer(first), 1);
  EXPECT_EQ(holding.integer(second), 0);
  EXPECT_EQ(holding.integer(longFirst), 1);
  EXPECT_EQ(holding.integer(longSecond), 0);
  EXPECT_EQ(holding.integer(local), 1);
  // Only each first check's handle is kept: asking again keeps no more.
  ASSERT_NE(qrt::systemRecord(), nullptr);
  EXPECT_EQ(qrt::systemRecord()->instanceMutexes.size(), 3u);

  Script s;
  const int ok = box(s, s.callText("S@PARAM"), s.noString(), 9);
  const int yes = box(s, s.callText("S@SYSPARM"), s.text(narrow932(L"題名")), 4, 1, 2);
  const int taken = s.call("S@SYSACTCHK", {s.text(name)});
  const int free = s.call("S@SYSACTCHK", {s.text("qrt-e2e\\other")});
  box(s, number(s, ok), s.text(""), 2, 0, 3);
  box(s, number(s, yes), s.noString(), 1, 0, 0);
  box(s, number(s, taken), s.noString(), 3);
  box(s, number(s, free), s.noString(), 5);

  qrt::e2e::ScratchFolder dir("system_game");
  const std::wstring game = dir.file(L"game.exe");
  qrt::img::writeFile(game, qrt::img::linkGame(qrt::img::readFile(qrt::e2e::hostFile(QRT_RUNTIME_EXE)), s.build()));
  qrt::e2e::RunOptions options;
  options.arguments = L"abc 日本";
  GameResult r = runGame(game, options);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_FALSE(r.timedOut);
  const struct {
    std::string title, text;
    int button;
  } expected[] = {
      {"Tessaly", narrow932(L"abc 日本"), IDOK},
      {narrow932(L"題名"), narrow932(L"abc 日"), IDYES},
      {"Tessaly", "1", IDOK},      // OK and Cancel
      {"Tessaly", "6", IDABORT},   // Abort, Retry and Ignore
      {"Tessaly", "0", IDRETRY},   // Retry and Cancel
      {"Tessaly", "1", IDYES},     // Yes, No and Cancel
  };
  ASSERT_EQ(r.boxes.size(), std::size(expected));
  for (size_t k = 0; k < r.boxes.size(); ++k) {
    EXPECT_EQ(r.boxes[k].title, expected[k].title) << k;
    EXPECT_EQ(r.boxes[k].text, expected[k].text) << k;
    EXPECT_EQ(r.boxes[k].button, expected[k].button) << k;
  }
}

}  // namespace
