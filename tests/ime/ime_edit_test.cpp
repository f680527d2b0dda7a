// A game's edit line: the runtime edits the text from the player's keys
// and IME, the script draws it in segments with the composition at the
// caret, and reads the line the player commits with Enter.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/runtime.h"
#include "base/text_entry.h"
#include "tests/ime/ime_driver.h"

using namespace qrt::test;
using qrt::g_host;

namespace {

const std::string kKana = "\x82\xa9\x82\xc8";               // かな
const std::string kKyou = "\x8d\xa1\x93\xfa";               // 今日
const std::string kHa = "\x82\xcd";                         // は
const std::string kHare = "\x90\xb0\x82\xea";               // 晴れ

qrt::TextEntryState& entry() { return g_host.rt.text; }

using EditLine = ImeGame;

// Edit keys work only in edit mode; typing always does, and switching the
// mode off and on keeps the text.
TEST_F(EditLine, EditModeSwitchesTheKeysAndKeepsTheText) {
  Script s;
  const int one = s.integer(1);
  s.run("S@IMESETEDITMODE", {one});
  s.wait();
  const int before = s.callText("S@IMEGETEDITSTR", {one});
  const int beforeState = s.call("S@IMEGETEDITSTATE", {one});
  const int column = s.call("S@IMEGETEDITCOLUMN");
  s.run("S@IMESETEDITMODE", {s.integer(0)});
  const int off = s.call("S@IMEGETEDITSTR", {one});
  const int offState = s.call("S@IMEGETEDITSTATE", {one});
  s.run("S@IMESETEDITMODE", {s.integer(7)});
  s.wait();
  const int column2 = s.call("S@IMEGETEDITCOLUMN");
  s.run("S@IMESETEDITMODE", {one});
  const int line = s.callText("S@IMEGETEDITSTR", {one});
  s.wait();
  start(s);

  ASSERT_TRUE(step());
  type("abc");
  key(VK_LEFT);
  ASSERT_TRUE(step());
  EXPECT_EQ(text(before), "ab");
  EXPECT_EQ(value(beforeState), 1);
  EXPECT_EQ(value(column), 2);
  EXPECT_EQ(value(off), 0);        // no string object
  EXPECT_EQ(value(offState), 0);
  EXPECT_EQ(entry().editMode, 0);  // 7 changes nothing

  key(VK_HOME);                    // ignored
  type("d");                       // overwrites the 'c'
  ASSERT_TRUE(step());
  EXPECT_EQ(value(column2), 3);
  EXPECT_EQ(text(line), "abd");
  EXPECT_TRUE(game().boxes().empty());
}

// "abc" with the caret after the "a", and a composition of three clauses
// whose second is being converted: a | 今日 | は | 晴れ | bc.
TEST_F(EditLine, SegmentsPutTheCompositionAtTheCaret) {
  Script s;
  s.run("S@IMESETEDITMODE", {s.integer(1)});
  s.wait();
  s.run("S@IMEGETEDITSTR", {s.integer(0)});
  int segment[7], state[8];
  for (int n = 1; n <= 6; ++n) segment[n] = s.callText("S@IMEGETEDITSTR", {s.integer(n)});
  for (int n = -1; n <= 6; ++n) state[n + 1] = s.call("S@IMEGETEDITSTATE", {s.integer(n)});
  s.wait();
  const auto frame = s.here();
  int again[6], againState[6];
  for (int n = 1; n <= 5; ++n) {
    again[n] = s.callText("S@IMEGETEDITSTR", {s.integer(n)});
    againState[n] = s.call("S@IMEGETEDITSTATE", {s.integer(n)});
  }
  s.wait();
  s.jump(frame);
  start(s);

  ASSERT_TRUE(step());
  type("abc");
  key(VK_HOME);
  key(VK_RIGHT);
  ASSERT_TRUE(step());   // armed
  imeReportClauses({L"今日", L"は", L"晴れ"}, 2);
  ASSERT_TRUE(step());
  const std::string expected[] = {"", "a", kKyou, kHa, kHare, "bc", ""};
  for (int n = 1; n <= 6; ++n) EXPECT_EQ(text(segment[n]), expected[n]) << n;
  const int expectedState[] = {0, 0, 1, 2, 3, 2, 1, 0};   // -1 .. 6
  for (int i = 0; i < 8; ++i) EXPECT_EQ(value(state[i]), expectedState[i]) << i - 1;

  // Caret at the start: the first clause is segment 1.
  key(VK_HOME);
  ASSERT_TRUE(step());
  const std::string atStart[] = {"", kKyou, kHa, kHare, "abc", ""};
  const int atStartState[] = {0, 2, 3, 2, 1, 0};
  for (int n = 1; n <= 5; ++n) {
    EXPECT_EQ(text(again[n]), atStart[n]) << n;
    EXPECT_EQ(value(againState[n]), atStartState[n]) << n;
  }

  // Caret at the end: nothing follows the composition.
  key(VK_END);
  ASSERT_TRUE(step());
  const std::string atEnd[] = {"", "abc", kKyou, kHa, kHare, ""};
  const int atEndState[] = {0, 1, 2, 3, 2, 0};
  for (int n = 1; n <= 5; ++n) {
    EXPECT_EQ(text(again[n]), atEnd[n]) << n;
    EXPECT_EQ(value(againState[n]), atEndState[n]) << n;
  }
}

// The committed line is read once, without waiting; an empty line commits
// nothing to read.
TEST_F(EditLine, EnterCommitsTheLineForTheScript) {
  Script s;
  s.run("S@IMESETEDITMODE", {s.integer(1)});
  s.wait();
  const int line = s.callText("S@IMEGETEDITRESULT");
  const int again = s.call("S@IMEGETEDITRESULT");
  const int after = s.marker();
  const int column = s.call("S@IMEGETEDITCOLUMN");
  s.wait();
  const int empty = s.call("S@IMEGETEDITRESULT");
  s.wait();
  start(s);

  ASSERT_TRUE(step());
  type("hi");
  key(VK_RETURN);
  ASSERT_TRUE(step());
  EXPECT_EQ(text(line), "hi");
  EXPECT_EQ(value(again), 0);
  EXPECT_EQ(value(after), 1);
  EXPECT_EQ(value(column), 0);
  key(VK_RETURN);
  ASSERT_TRUE(step());
  EXPECT_EQ(value(empty), 0);
}

// The maximum length keeps committed IME text out of the line (it stays
// readable as the IME's result); a negative maximum is 0.
TEST_F(EditLine, MaximumLengthLimitsCommittedImeText) {
  Script s;
  const int zero = s.integer(0), one = s.integer(1);
  s.run("S@IMESETEDITMODE", {one});
  s.run("S@IMESETEDITLEN", {s.integer(-5)});
  s.run("S@IMEGETEDITSTR", {zero});
  const int column1 = s.call("S@IMEGETEDITCOLUMN");
  const int result1 = s.callText("S@IMEGETRESULT");
  s.run("S@IMEGETEDITSTR", {one});
  s.run("S@IMESETEDITLEN", {s.integer(4)});
  s.run("S@IMEGETEDITSTR", {zero});
  const int column2 = s.call("S@IMEGETEDITCOLUMN");
  const int line = s.callText("S@IMEGETEDITSTR", {one});
  s.wait();
  start(s);

  ASSERT_TRUE(step());   // armed
  EXPECT_EQ(entry().maxLength, 0);
  imeCompose(L"かな");
  imeComplete();
  ASSERT_TRUE(step());   // read, armed again
  EXPECT_EQ(value(column1), 0);
  EXPECT_EQ(text(result1), kKana);
  imeCompose(L"かな");
  imeComplete();
  ASSERT_TRUE(step());
  EXPECT_EQ(value(column2), 4);
  EXPECT_EQ(text(line), kKana);
}

}  // namespace
