// Calls, returns and the life of a program, through real images.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "base/runtime.h"
#include "tests/support/program.h"
#include "image/image_builder.h"

using namespace qrt::img;
using qrt::test::Program;

namespace {

// FUNC add(a, b) = a + b, used by several tests.
Routine& addFunction(ImageBuilder& b) {
  Routine& add = b.func({Int, Int}, Int);
  add.native([&](X86& x) {
    x.load(EAX, add.param(0));
    x.addSlot(EAX, add.param(1));
    x.store(kResultSlot, EAX);
    x.next();
  });
  add.ret();
  return add;
}

TEST(Calls, IntegerRealAndDiscardedResults) {
  ImageBuilder b;
  Routine& m = b.main();
  Routine& add = addFunction(b);
  Routine& half = b.func({Int}, Int);  // returns a real: 1.5
  half.native([&](X86& x) {
    x.storeImm(kResultSlot, realBits(1.5f));
    x.next();
  });
  half.ret();
  int a = m.slot(), c = m.slot(), sum = m.slot(), real = m.slot(), untouched = m.slot();
  m.native([&](X86& x) {
    x.storeImm(a, 40);
    x.storeImm(c, 2);
    x.storeImm(untouched, 7);
    x.next();
  });
  m.call(add, sum, {a, c});
  m.call(half, real, {a});
  m.call(add, 0, {a, c});  // result slot 0: discarded
  m.end();

  Program p(b.build());
  p.runToEnd();
  EXPECT_TRUE(p.ended());
  EXPECT_EQ(p.slot(sum), 42u);
  EXPECT_EQ(p.slot(real), realBits(1.5f));
  EXPECT_EQ(p.slot(untouched), 7u);
  EXPECT_TRUE(p.boxes().empty());
}

TEST(Calls, ArgumentOperandZeroPassesZero) {
  ImageBuilder b;
  Routine& m = b.main();
  Routine& add = addFunction(b);
  int a = m.slot(), sum = m.slot();
  m.native([&](X86& x) {
    x.storeImm(a, 5);
    x.storeImm(sum, 99);
    x.next();
  });
  m.call(add, sum, {a, 0});
  m.end();
  Program p(b.build());
  p.runToEnd();
  EXPECT_EQ(p.slot(sum), 5u);
}

// depth(n) = n == 0 ? 0 : depth(n - 1) + 1. Calls are not machine
// recursion, so 100 000 nested activations only cost heap frames.
TEST(Calls, HundredThousandNestedCalls) {
  ImageBuilder b;
  Routine& m = b.main();
  Routine& depth = b.func({Int}, Int);
  int n = depth.param(0), less = depth.slot(), inner = depth.slot();
  Label done = depth.label();
  depth.native([&](X86& x) {
    Label deeper = depth.label();
    x.load(EAX, n);
    x.cmpImm(EAX, 0);
    x.jcc(Cond::NE, deeper);
    x.storeImm(kResultSlot, 0);
    x.next(done);
    x.bind(deeper);
    x.dec(EAX);
    x.store(less, EAX);
    x.next();
  });
  depth.call(depth, inner, {less});
  depth.native([&](X86& x) {
    x.load(EAX, inner);
    x.inc(EAX);
    x.store(kResultSlot, EAX);
    x.next();
  });
  depth.bind(done);
  depth.ret();

  int count = m.slot(), result = m.slot();
  m.native([&](X86& x) {
    x.storeImm(count, 100000);
    x.next();
  });
  m.call(depth, result, {count});
  m.end();

  Program p(b.build());
  p.runToEnd();
  EXPECT_TRUE(p.ended());
  EXPECT_EQ(p.slot(result), 100000u);
  EXPECT_TRUE(p.boxes().empty());
}

TEST(Program, EndsWhenMainRunsOffItsEndOp) {
  ImageBuilder b;
  Routine& m = b.main();
  int s = m.slot();
  m.native([&](X86& x) {
    x.storeImm(s, 1);
    x.next();
  });
  m.end();
  Program p(b.build());
  EXPECT_FALSE(p.step());
  EXPECT_EQ(p.slot(s), 1u);
  EXPECT_TRUE(p.boxes().empty());
}

TEST(Program, ReturnOpInMainEndsLikeTheEndOp) {
  ImageBuilder b;
  b.main().ret();
  Program p(b.build());
  EXPECT_FALSE(p.step());
  EXPECT_TRUE(p.boxes().empty());
}

TEST(Program, RunsThroughTheHostLoopAndClosesWithExitCodeZero) {
  ImageBuilder b;
  Routine& m = b.main();
  Routine& add = addFunction(b);
  int a = m.slot(), sum = m.slot();
  m.native([&](X86& x) {
    x.storeImm(a, 1);
    x.next();
  });
  m.call(add, sum, {a, a});
  m.end();
  qrt::test::GameResult r = qrt::test::runGame(b.build());
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.boxes.empty());
}

// A box's modal loop may deliver the window's close while the command that
// raised it is still running; the step must finish before anything it uses
// is released.
void closeWindowDuringBox() {
  PostMessageW(qrt::g_host.window, WM_CLOSE, 0, 0);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    DispatchMessageW(&msg);
  }
}

TEST(Program, AWindowClosedDuringABoxEndsTheProgramAfterTheCommand) {
  ImageBuilder b;
  Routine& m = b.main();
  int bogus = m.slot(), after = m.slot();
  m.native([&](X86& x) {
    x.storeImm(bogus, 12345);
    x.next();
  });
  m.command("REDIMFREE", 0, {bogus});  // of an unknown block: box 660, the command returns
  m.native([&](X86& x) {
    x.storeImm(after, 1);
    x.next();
  });
  m.command("S@WAIT", 0);
  m.end();
  qrt::test::GameResult r = qrt::test::runGame(b.build(), qrt::test::paced(10000), closeWindowDuringBox);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0);
  ASSERT_EQ(r.boxes.size(), 1u);
  EXPECT_EQ(r.boxes[0].code, 660);
  EXPECT_EQ(qrt::engineState(), nullptr);
}

// The stepping rule: while another application is active and the program
// is not in background mode, no step runs; activation resumes it. The other
// application is a window of another thread (activation within one thread
// never changes the application).
struct Stepping {
  std::thread other;
  DWORD otherThread = 0;
  uint32_t counts[4] = {};
  int tick = 0;
};
Stepping g_stepping;

uint32_t framesSoFar() { return qrt::engineState() ? qrt::engineState()->staticFirst[0] : 0; }

void otherApplication(DWORD* threadId) {
  *threadId = GetCurrentThreadId();
  HWND w = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                           nullptr, nullptr, nullptr);
  SetForegroundWindow(w);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  DestroyWindow(w);
}

VOID CALLBACK steppingTimer(HWND, UINT, UINT_PTR id, DWORD) {
  Stepping& s = g_stepping;
  s.counts[s.tick] = framesSoFar();
  switch (s.tick++) {
    case 0:  // running: another application takes the activation
      s.other = std::thread(otherApplication, &s.otherThread);
      break;
    case 1:  // inactive for a while
      break;
    case 2:  // the game is activated again
      SetForegroundWindow(qrt::g_host.window);
      break;
    default:
      KillTimer(nullptr, id);
      PostMessageW(qrt::g_host.window, WM_CLOSE, 0, 0);
  }
}

TEST(Program, IsFrozenWhileAnotherApplicationIsActive) {
  ImageBuilder b;
  Routine& m = b.main();
  int frames = m.staticSlot();
  Label frame = m.here();
  m.native([&](X86& x) {  // count frames in static slot 0
    x.loadStatic(EAX, frames);
    x.inc(EAX);
    x.storeStatic(frames, EAX, ECX);
    x.next();
  });
  m.command("S@WAIT", 0);
  m.native([&](X86& x) { x.next(frame); });
  g_stepping = Stepping{};
  UINT_PTR timer = SetTimer(nullptr, 0, qrt::test::paced(300), steppingTimer);
  qrt::test::GameResult r = qrt::test::runGame(b.build(), qrt::test::paced(10000));
  KillTimer(nullptr, timer);
  if (g_stepping.other.joinable()) {
    PostThreadMessageW(g_stepping.otherThread, WM_QUIT, 0, 0);
    g_stepping.other.join();
  }
  EXPECT_FALSE(r.timedOut);
  const uint32_t* c = g_stepping.counts;
  EXPECT_GT(c[0], 0u);         // ran while active
  EXPECT_LE(c[2], c[1] + 1);   // at most the frame in flight while inactive
  EXPECT_GT(c[3], c[2] + 10);  // runs again once activated
}

}  // namespace
