// SYSEXIT and SYSEXITKEY as a player meets them: through the host's
// message loop, until the window closes.
#include <gtest/gtest.h>

#include <windows.h>

#include "base/runtime.h"
#include "tests/support/script.h"

namespace {

using qrt::test::Script;

// The rest of the game: wait for the next frame, for ever.
void waitForever(Script& s) {
  qrt::img::Label top = s.main().here();
  s.call("S@WAIT");
  s.main().native([&](qrt::img::X86& x) { x.next(top); });
}

TEST(ProgramControl, SysExitClosesTheWindowWithExitCodeZero) {
  Script s;
  s.call("S@WAIT");
  s.call("SYSEXIT");
  waitForever(s);
  const qrt::test::GameResult result = qrt::test::runGame(s.finish(), qrt::test::paced(10000));
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(result.boxes.empty());
}

// Keys arrive from thread timers, which the host's loop dispatches.
bool g_openAfterEscape = false;

VOID CALLBACK pressEscape(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  PostMessageW(qrt::g_host.window, WM_KEYDOWN, VK_ESCAPE, 0);
}

VOID CALLBACK pressQ(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_openAfterEscape = qrt::g_host.window && IsWindow(qrt::g_host.window);
  PostMessageW(qrt::g_host.window, WM_KEYDOWN, 'Q', 0);
}

TEST(ProgramControl, TheExitKeySetByTheProgramClosesTheWindow) {
  Script s;
  s.call("SYSEXITKEY", {s.integer('Q')});
  waitForever(s);
  g_openAfterEscape = false;
  const UINT_PTR escape = SetTimer(nullptr, 0, qrt::test::paced(300), pressEscape);
  const UINT_PTR q = SetTimer(nullptr, 0, qrt::test::paced(900), pressQ);
  const qrt::test::GameResult result = qrt::test::runGame(s.finish(), qrt::test::paced(10000));
  // Should the game have ended early, no key may reach a later test.
  KillTimer(nullptr, escape);
  KillTimer(nullptr, q);
  EXPECT_TRUE(g_openAfterEscape) << "Escape is no longer the exit key";
  EXPECT_FALSE(result.timedOut) << "Q should have closed the window";
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(result.boxes.empty());
  qrt::g_host.exitKey = VK_ESCAPE;
}

}  // namespace
