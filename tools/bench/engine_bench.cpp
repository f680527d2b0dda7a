// Op-loop throughput of the engine: native blocks, FUNC calls, string ops
// and built-in dispatch, each against a plain C++ loop doing the same work.
//
// Every workload is a program image whose main routine runs a loop: the op
// under test, then one native block that counts and branches back. The
// loop with only the counting block gives the native-block rate; the cost
// of an op is the time per iteration minus that.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "tests/support/program.h"
#include "image/image_builder.h"
#include "tools/bench/clock.h"

using namespace qrt::img;

namespace {

using qrt::bench::now;

// Seconds to run a program image to its end through the real engine (the
// loops never yield, so this is one engine step).
double runImage(const std::vector<uint8_t>& file) {
  qrt::test::Program program(file);
  double start = now();
  program.runToEnd();
  return now() - start;
}

// main: setup ops, then `iterations` times: body ops + the counting block.
std::vector<uint8_t> loopImage(uint32_t iterations, const std::function<void(ImageBuilder&, Routine&)>& setup,
                               const std::function<void(Routine&)>& body) {
  ImageBuilder b;
  Routine& m = b.main();
  int counter = m.slot();
  setup(b, m);
  m.native([&](X86& x) {
    x.storeImm(counter, iterations);
    x.next();
  });
  Label loop = m.label();
  m.bind(loop);
  body(m);
  m.native([&](X86& x) { x.countDown(counter, loop); });
  m.end();
  return b.build();
}

volatile int g_sink;

__attribute__((noinline)) int plainAdd(int a, int b) { return a + b; }

struct Row {
  const char* name;
  double engineRate;   // ops per second, net of the counting block
  double plainRate;    // the same work in a plain C++ loop, per second
};

void print(const Row& r) {
  printf("%-34s %9.1f M/s   plain C++ %9.1f M/s   ratio %5.2f\n", r.name, r.engineRate / 1e6, r.plainRate / 1e6,
         r.plainRate / r.engineRate);
}

template <typename F>
double plainRate(uint32_t n, F work) {
  double start = now();
  for (uint32_t i = 0; i < n; ++i) work(i);
  return n / (now() - start);
}

}  // namespace

int main() {
  qrt::bench::warnWhenEmulated();
  const uint32_t n = 20000000;
  auto none = [](ImageBuilder&, Routine&) {};

  // The counting block alone: one native-block op per iteration.
  double tNative = runImage(loopImage(n, none, [](Routine&) {}));
  double nativeRate = n / tNative;
  double plainLoop = plainRate(n, [](uint32_t i) { g_sink = static_cast<int>(i); });
  print({"native block (count and branch)", nativeRate, plainLoop});

  {  // 100 blocks in a row that only store the next pc, then the counting block
    const uint32_t rounds = n / 100;
    double t = runImage(loopImage(rounds, none, [](Routine& m) {
      for (int i = 0; i < 100; ++i) m.native([](X86& x) { x.next(); });
    }));
    double rate = 101.0 * rounds / t;
    print({"native block (one store each)", rate,
           plainRate(n, [](uint32_t i) { g_sink = static_cast<int>(i); })});
  }

  auto net = [&](double seconds, uint32_t count) { return count / (seconds - tNative * count / n); };

  {  // FUNC call and return with two arguments
    int a = 0, b2 = 0, r = 0;
    Routine* add = nullptr;
    double t = runImage(loopImage(
        n,
        [&](ImageBuilder& b, Routine& m) {
          add = &b.func({Int, Int}, Int);
          Routine& f = *add;
          f.native([&](X86& x) {
            x.load(EAX, f.param(0));
            x.addSlot(EAX, f.param(1));
            x.store(kResultSlot, EAX);
            x.next();
          });
          f.ret();
          a = m.slot();
          b2 = m.slot();
          r = m.slot();
        },
        [&](Routine& m) { m.call(*add, r, {a, b2}); }));
    // The callee's own native block is part of the pair's cost.
    print({"FUNC call + return, 2 arguments", net(t, n),
           plainRate(n, [](uint32_t i) { g_sink = plainAdd(static_cast<int>(i), 1); })});
  }

  const std::string sixteen = "0123456789abcdef";
  {  // string store reusing the destination
    int src = 0, dst = 0;
    double t = runImage(loopImage(
        n, [&](ImageBuilder&, Routine& m) { src = m.constant(sixteen), dst = m.slot(); },
        [&](Routine& m) { m.store(dst, src); }));
    std::string s, from = sixteen;
    print({"string store (object reused)", net(t, n), plainRate(n, [&](uint32_t) {
             s = from;
             g_sink = static_cast<int>(s.size());
           })});
  }
  {  // join of two 16-byte strings
    int a = 0, b2 = 0, c = 0;
    double t = runImage(loopImage(
        n, [&](ImageBuilder&, Routine& m) { a = m.constant(sixteen), b2 = m.constant(sixteen), c = m.slot(); },
        [&](Routine& m) { m.join(a, b2, c); }));
    std::string s, x = sixteen, y = sixteen;
    print({"join of two 16-byte strings", net(t, n), plainRate(n, [&](uint32_t) {
             s.assign(x);
             s.append(y);
             g_sink = static_cast<int>(s.size());
           })});
  }
  {  // compare of two equal 16-byte strings
    int a = 0, b2 = 0, r = 0;
    double t = runImage(loopImage(
        n, [&](ImageBuilder&, Routine& m) { a = m.constant(sixteen), b2 = m.constant(sixteen), r = m.slot(); },
        [&](Routine& m) { m.compare(Equal, a, b2, r); }));
    std::string x = sixteen, y = sixteen;
    print({"compare of two 16-byte strings", net(t, n),
           plainRate(n, [&](uint32_t) { g_sink = strcmp(x.c_str(), y.c_str()); })});
  }
  {  // built-in dispatch: ABS (id 109, SS) and MID (id 126, MMSS)
    int v = 0, r = 0;
    double t = runImage(loopImage(
        n, [&](ImageBuilder&, Routine& m) { v = m.slot(), r = m.slot(); },
        [&](Routine& m) { m.command("ABS", r, {v}); }));
    double absRate = net(t, n);
    print({"built-in ABS", absRate, plainRate(n, [](uint32_t i) { g_sink = abs(static_cast<int>(i) - 5); })});
    printf("%-34s %9.2f native-block ops\n", "  cost of one ABS call", nativeRate / absRate);

    int text = 0, from = 0, count = 0;
    double tm = runImage(loopImage(
        n,
        [&](ImageBuilder&, Routine& m) {
          text = m.constant(sixteen), from = m.slot(), count = m.slot(), r = m.slot();
          m.native([&](X86& x) {
            x.storeImm(from, 2);
            x.storeImm(count, 8);
            x.next();
          });
        },
        [&](Routine& m) { m.command("MID", r, {text, from, count}); }));
    double midRate = net(tm, n);
    std::string s, x = sixteen;
    print({"built-in MID", midRate, plainRate(n, [&](uint32_t) {
             s.assign(x, 2, 8);
             g_sink = static_cast<int>(s.size());
           })});
    printf("%-34s %9.2f native-block ops\n", "  cost of one MID call", nativeRate / midRate);
  }
  return 0;
}
