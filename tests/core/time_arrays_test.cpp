// Dates, the millisecond clock, and arrays made by REDIM.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include "base/cp932.h"
#include "base/runtime.h"
#include "engine/engine.h"
#include "tests/support/script.h"

namespace {

using qrt::test::Game;
using qrt::test::Script;

constexpr uint32_t kReached = 0x600D;

TEST(Time, GetDateGivesLocalOrUtcFields) {
  Script s;
  int local[8], utc[8];
  for (int field = 0; field < 8; ++field) {
    local[field] = s.call("GETDATE", {s.integer(field), s.integer(1)});
    utc[field] = s.call("GETDATE", {s.integer(field), s.integer(0)});
  }
  const int beyond = s.call("GETDATE", {s.integer(8), s.integer(1)});
  const int negative = s.call("GETDATE", {s.integer(-1), s.integer(0)});
  SYSTEMTIME lt, st;
  GetLocalTime(&lt);
  GetSystemTime(&st);
  Game game(s);
  EXPECT_FALSE(game.step());
  // A minute boundary between the two readings is possible but rare;
  // compare what cannot change within a second.
  EXPECT_EQ(game.integer(local[0]), lt.wYear);
  EXPECT_EQ(game.integer(local[1]), lt.wMonth);
  EXPECT_EQ(game.integer(local[2]), lt.wDayOfWeek) << "0 is Sunday";
  EXPECT_EQ(game.integer(local[3]), lt.wDay);
  EXPECT_EQ(game.integer(local[4]), lt.wHour);
  EXPECT_EQ(game.integer(utc[2]), st.wDayOfWeek);
  EXPECT_EQ(game.integer(utc[3]), st.wDay);
  EXPECT_EQ(game.integer(utc[4]), st.wHour);
  for (int field : {5, 6}) {
    EXPECT_GE(game.integer(local[field]), 0);
    EXPECT_LE(game.integer(local[field]), 59);
  }
  EXPECT_GE(game.integer(local[7]), 0);
  EXPECT_LE(game.integer(local[7]), 999);
  EXPECT_EQ(game.integer(beyond), 0);
  EXPECT_EQ(game.integer(negative), 0);
}

TEST(Time, SysTimeReadsTheMillisecondClockAndRaisesTheTimerOnce) {
  Script s;
  const int first = s.call("SYSTIME");
  const int second = s.call("SYSTIME");
  const DWORD before = timeGetTime();
  Game game(s);
  EXPECT_FALSE(game.step());
  const DWORD after = timeGetTime();
  EXPECT_LE(game.slot(first) - before, after - before);
  EXPECT_LE(game.slot(second) - game.slot(first), after - before);
  ASSERT_NE(qrt::engineState(), nullptr);
  TIMECAPS caps;
  ASSERT_EQ(timeGetDevCaps(&caps, sizeof caps), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_EQ(qrt::engineState()->timer.periodMin, static_cast<int32_t>(caps.wPeriodMin));
  EXPECT_EQ(qrt::engineState()->timer.periodMax, static_cast<int32_t>(caps.wPeriodMax));
}

TEST(Arrays, RedimGivesZeroedSlotsThatCompiledCodeAddresses) {
  Script s;
  const int array = s.call("REDIM", {s.integer(4)});
  const int empty = s.call("REDIM", {s.integer(0)});
  // The program writes element 2 through the address, as compiled code does.
  s.main().native([&](qrt::img::X86& x) {
    x.load(qrt::img::EAX, array);
    x.movImm(qrt::img::ECX, 77);
    x.storeMem(qrt::img::EAX, 8, qrt::img::ECX);
    x.next();
  });
  Game game(s);
  EXPECT_FALSE(game.step());
  ASSERT_NE(game.slot(array), 0u);
  const auto* slots = reinterpret_cast<const int32_t*>(game.slot(array));
  EXPECT_EQ(slots[0], 0);
  EXPECT_EQ(slots[1], 0);
  EXPECT_EQ(slots[2], 77);
  EXPECT_EQ(slots[3], 0);
  EXPECT_NE(game.slot(empty), 0u);
  EXPECT_NE(game.slot(empty), game.slot(array));
}

TEST(Arrays, RedimThatCannotAllocateEndsWithoutABox) {
  for (int count : {-1, 0x40000000, INT32_MAX}) {
    Script s;
    const int reached = s.slot();
    s.call("REDIM", {s.integer(count)});
    s.mark(reached, kReached);
    Game game(s);
    EXPECT_FALSE(game.step()) << count;
    EXPECT_NE(game.slot(reached), kReached) << count;
    EXPECT_TRUE(game.boxes().empty()) << count;
  }
}

TEST(Arrays, RedimFreeReleasesOnlyLiveArrays) {
  Script s;
  const int reached = s.slot();
  const int array = s.call("REDIM", {s.integer(16)});
  s.call("REDIMFREE", {array});
  s.call("REDIMFREE", {s.noString()});
  // Freeing twice, or freeing what REDIM never made, must not touch the
  // heap: it is reported and the program goes on.
  s.call("REDIMFREE", {array});
  s.call("REDIMFREE", {s.integer(0x12345678)});
  s.mark(reached, kReached);
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(game.slot(reached), kReached);
  ASSERT_EQ(game.boxes().size(), 2u);
  EXPECT_EQ(game.boxes()[0].text,
            qrt::narrow932(L"QV0660\n\nREDIMFREEに指定したひとつ以上のパラメータが正しくありません"));
}

}  // namespace
