// Op 3 as a program meets it: unknown ids, argument operand 0, the
// requires-setup check, result checks ending or not ending the program,
// the ring of temporaries, and the commands that yield or end.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include <vector>

#include "engine/commands.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "base/runtime.h"
#include "engine/call.h"
#include "host/families.h"
#include "tests/support/script.h"

namespace {

using qrt::test::Game;
using qrt::test::Script;

constexpr uint32_t kReached = 0x600D;

TEST(Dispatch, IdsOutsideTheTableEndWithTheInternalErrorBox) {
  for (int id : {0, 231, 0x7FFFFFFF}) {
    Script s;
    const int reached = s.slot();
    s.callId(id, 0);
    s.mark(reached, kReached);
    Game game(s);
    EXPECT_FALSE(game.step()) << id;
    EXPECT_NE(game.slot(reached), kReached) << id;
    ASSERT_EQ(game.boxes().size(), 1u) << id;
    EXPECT_EQ(game.boxes()[0].code, 601);
    EXPECT_EQ(game.boxes()[0].text, qrt::runtimeMessage(601));
  }
}

TEST(Dispatch, ArgumentOperandZeroPassesZero) {
  Script s;
  // Operand 0 must not read frame slot 0 (the program counter).
  const int larger = s.call("MAX", {s.noString(), s.integer(-5)});
  const int length = s.call("LENG", {s.noString()});
  const int blanks = s.call("LSET", {s.noString(), s.integer(3)});
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_TRUE(game.boxes().empty());
  EXPECT_EQ(game.integer(larger), 0);
  EXPECT_EQ(game.integer(length), 0);
  EXPECT_EQ(game.text(blanks), "   ");
}

TEST(Dispatch, RequiresSetupCommandBeforeSetupNamesItself) {
  Script s;
  const int reached = s.slot();
  const int x = s.real(1.0f);
  s.call("G3@CAMERASETEYE", {x, x, x});
  s.mark(reached, kReached);
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_NE(game.slot(reached), kReached);
  ASSERT_EQ(game.boxes().size(), 1u);
  EXPECT_EQ(game.boxes()[0].code, 615);
  EXPECT_EQ(game.boxes()[0].text,
            qrt::narrow932(L"QV0615\n\nG3@CAMERASETEYEがG@SETUPの動作前に実行されました"));
}

TEST(Dispatch, FailureValueOfTheResultCheckEndsTheProgramSilently) {
  // MID (check 2) fails on 0: no string gives 0 without a box.
  Script ends;
  const int before = ends.slot(), after = ends.slot();
  const int result = ends.slot();
  ends.mark(result, 0x1234);
  ends.mark(before, kReached);
  ends.callInto("MID", result, {ends.noString(), ends.integer(1), ends.integer(1)});
  ends.mark(after, kReached);
  {
    Game game(ends);
    EXPECT_FALSE(game.step());
    EXPECT_EQ(game.slot(before), kReached);
    EXPECT_NE(game.slot(after), kReached);
    EXPECT_EQ(game.slot(result), 0x1234u) << "a failed result is not stored";
    EXPECT_TRUE(game.boxes().empty());
  }

  // REDIM (check 1) with an impossible size ends the same way.
  Script redim;
  const int reached = redim.slot();
  redim.call("REDIM", {redim.integer(-1)});
  redim.mark(reached, kReached);
  Game game2(redim);
  EXPECT_FALSE(game2.step());
  EXPECT_NE(game2.slot(reached), kReached);
  EXPECT_TRUE(game2.boxes().empty());
}

TEST(Dispatch, EachResultCheckEndsOnlyOnItsOwnFailureValue) {
  struct Case {
    const char* command;
    std::vector<int32_t> args;
    int32_t returns;
    bool ends;
  };
  // Argument errors of the input commands return fixed values, which makes
  // every kind of check reachable.
  const Case cases[] = {
      {"CHR", {256}, 0, true},              // check 1: 0
      {"CHR", {66}, 1, false},
      {"I@JOYBTN", {0, 99}, 100, true},     // check 3: 100
      {"I@JOYAPOS", {99, 0}, -1, false},    //   -1 is no failure here
      {"I@KEYBTN", {256}, -1, true},        // check 4: -1
      {"I@KEYBTN", {30}, 0, false},
      {"I@MSBTN", {8}, 32767, true},        // check 5: 32767
      {"I@MSPOS", {3}, 32767, true},
      {"I@MSBTN", {0}, 0, false},
  };
  for (const Case& c : cases) {
    Script s;
    const int reached = s.slot();
    std::vector<int> args;
    for (int32_t a : c.args) args.push_back(s.integer(a));
    const int result = s.call(c.command, args);
    s.mark(reached, kReached);
    Game game(s);
    EXPECT_FALSE(game.step());
    EXPECT_EQ(game.slot(reached) == kReached, !c.ends) << c.command << " " << c.args[0];
    if (!c.ends && c.returns != 1) {
      EXPECT_EQ(game.integer(result), c.returns) << c.command;
    }
  }
}

TEST(Dispatch, ACommandThatReportsButReturnsNoFailureValueGoesOn) {
  // ASC has check 4 (-1); its error returns 0, so the program continues.
  Script s;
  const int code = s.slot(), reached = s.slot();
  s.mark(code, 0x55);
  s.callInto("ASC", code, {s.text("")});
  s.mark(reached, kReached);
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(game.slot(reached), kReached);
  EXPECT_EQ(game.integer(code), 0);
  ASSERT_EQ(game.boxes().size(), 1u);
  EXPECT_EQ(game.boxes()[0].text,
            qrt::narrow932(L"QV0660\n\nASCに指定したひとつ以上のパラメータが正しくありません"));
}

TEST(Dispatch, ACommandWithoutAResultNeverWritesASlot) {
  // Even when the op names a result slot, an N command leaves it alone.
  Script s;
  const int target = s.slot();
  s.mark(target, 0xABCDEF);
  s.callInto("RANDSET", target, {s.integer(7)});
  s.callInto("SYSEXITKEY", target, {s.integer(0x1B)});
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(game.slot(target), 0xABCDEFu);
}

TEST(Dispatch, UnbuiltFamiliesEndWithTheInternalErrorBox) {
  // Prefer a placeholder row without a result check: the placeholder must
  // stop the program even where no returned value would.
  int id = 0;
  qrt::bindCommands();
  for (const qrt::CommandInfo& row : qrt::kCommands) {
    if (row.id == 0 || qrt::g_host.rt.handlers[row.id] || (row.flags & 0xff) != 0) continue;
    if (id == 0 || (row.flags & 0xff00) == 0) id = row.id;
  }
  if (id == 0) GTEST_SKIP() << "every family is built";
  const char* signature = qrt::kCommands[id].signature;
  Script s;
  const int reached = s.slot();
  std::vector<int> args;
  for (const char* p = signature + 1; *p; ++p) args.push_back(s.integer(0));
  s.callId(id, signature[0] == 'N' ? 0 : s.slot(), args);
  s.mark(reached, kReached);
  Game game(s);
  EXPECT_FALSE(game.step()) << qrt::kCommands[id].name;
  EXPECT_NE(game.slot(reached), kReached);
  ASSERT_EQ(game.boxes().size(), 1u);
  EXPECT_EQ(game.boxes()[0].code, 601);
}

// A handler that throws (out of memory, or anything else) ends the program
// with a box naming the command, instead of the exception leaving the op
// loop through the fault guard and ending the process.
TEST(Dispatch, AnExceptionInAHandlerEndsTheProgramWithABox) {
  const struct {
    qrt::CommandHandler handler;
    int code;
  } cases[] = {
      {[](qrt::Call&) -> int32_t { throw std::bad_alloc(); }, 620},
      {[](qrt::Call&) -> int32_t { throw std::runtime_error("no"); }, 601},
  };
  for (const auto& c : cases) {
    Script s;
    const int reached = s.slot();
    s.call("ABS", {s.integer(-2)});
    s.mark(reached, kReached);
    Game game(s);
    qrt::g_host.rt.handlers[qrt::commandId("ABS")] = c.handler;
    EXPECT_FALSE(game.step());
    EXPECT_NE(game.slot(reached), kReached);
    ASSERT_EQ(game.boxCodes(), std::vector<int>{c.code});
    if (c.code == 620) {
      EXPECT_NE(game.boxes()[0].text.find("ABS"), std::string::npos);
    }
  }
}

TEST(Dispatch, TheEleventhTemporaryReplacesTheFirst) {
  Script s;
  // STR always asks for the same room, so the reused object stays put.
  const int first = s.call("STR", {s.integer(1111), s.integer(10)});
  int tenth = 0;
  for (int i = 1; i < 10; ++i) tenth = s.call("STR", {s.integer(i), s.integer(10)});
  // The tenth temporary taken so far is still intact; the eleventh reuses
  // the first one's object.
  const int eleventh = s.call("STR", {s.integer(4242), s.integer(10)});
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(game.text(tenth), "9");
  EXPECT_EQ(game.slot(eleventh), game.slot(first));
  EXPECT_EQ(game.text(first), "4242");
}

TEST(Dispatch, WaitYieldsToTheMessageLoopBetweenSteps) {
  Script s;
  const int progress = s.slot();
  s.mark(progress, 1);
  s.call("S@WAIT");
  s.mark(progress, 2);
  s.call("S@WAIT");
  s.mark(progress, 3);
  Game game(s);
  EXPECT_TRUE(game.step());
  EXPECT_EQ(game.slot(progress), 1u);
  EXPECT_TRUE(game.step());
  EXPECT_EQ(game.slot(progress), 2u);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(game.slot(progress), 3u);
  EXPECT_TRUE(game.boxes().empty());
}

TEST(Dispatch, SysExitEndsTheProgramAtOnceWithoutABox) {
  Script s;
  const int reached = s.slot();
  s.call("SYSEXIT");
  s.mark(reached, kReached);
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_NE(game.slot(reached), kReached);
  EXPECT_TRUE(game.boxes().empty());
}

TEST(Dispatch, SysExitKeySetsTheKeyTheWindowClosesOn) {
  const int saved = qrt::g_host.exitKey;
  Script s;
  s.call("SYSEXITKEY", {s.integer(0x51)});  // Q
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(qrt::g_host.exitKey, 0x51);
  qrt::g_host.exitKey = saved;
}

}  // namespace
