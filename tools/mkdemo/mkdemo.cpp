// mkdemo: writes the demo game's program image.
//
//   mkdemo <image file>
//   qrtlink link qrtrun.exe <image file> demo.exe
//
// The demo exercises the engine core the way compiled scripts do: a counting
// loop in native code, a FUNC called with two arguments, string assignment,
// joining and comparison, and a clean end. It checks its own results; a
// wrong one stops it on an invalid op, which the runtime reports in a box.
#include <cstdio>
#include <exception>

#include "tools/imagebuilder/image_builder.h"

namespace {

using namespace qrt::img;

std::vector<uint8_t> demoImage() {
  ImageBuilder b;
  Routine& m = b.main();

  // FUNC WEIGHT(A, B) = A * 3 + B
  Routine& weight = b.func({Int, Int}, Int);
  weight.native([&](X86& x) {
    x.load(EAX, weight.param(0));
    x.imulImm(EAX, 3);
    x.addSlot(EAX, weight.param(1));
    x.store(kResultSlot, EAX);
    x.next();
  });
  weight.ret();

  const int i = m.slot(), total = m.slot(), weighted = m.slot();
  const int hello = m.constant("Hello"), comma = m.constant(", world");
  const int expected = m.constant("Hello, world");
  const int greeting = m.slot(), message = m.slot(), same = m.slot();
  Label failed = m.label();

  // TOTAL = 0: FOR I = 0 TO 9: TOTAL = TOTAL + I: NEXT
  m.native([&](X86& x) {
    x.storeImm(i, 0);
    x.storeImm(total, 0);
    Label loop = x.here();
    x.load(EAX, total);
    x.addSlot(EAX, i);
    x.store(total, EAX);
    x.load(ECX, i);
    x.inc(ECX);
    x.store(i, ECX);
    x.cmpImm(ECX, 10);
    x.jcc(Cond::L, loop);
    x.next();
  });

  // WEIGHTED = WEIGHT(TOTAL, I)    ' 45 * 3 + 10 = 145
  m.call(weight, weighted, {total, i});

  // GREETING$ = "Hello": MESSAGE$ = GREETING$ + ", world"
  m.store(greeting, hello);
  m.join(greeting, comma, message);
  // SAME = (MESSAGE$ = "Hello, world")
  m.compare(Equal, message, expected, same);

  m.native([&](X86& x) {
    x.load(EAX, weighted);
    x.cmpImm(EAX, 145);
    Label bad = x.label();
    x.jcc(Cond::NE, bad);
    x.load(EAX, same);
    x.cmpImm(EAX, -1);
    x.jcc(Cond::NE, bad);
    x.next();
    x.bind(bad);
    x.next(failed);
  });
  m.end();

  m.bind(failed);
  m.op(op::kInvalid);
  return b.build();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: mkdemo <image file>\n", stderr);
    return 2;
  }
  try {
    writeFile(argv[1], demoImage());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mkdemo: %s\n", e.what());
    return 1;
  }
  return 0;
}
