// qrtlink dump and check over images made by the builder. Every image the
// checker faults is also run, so the check and the engine agree on what a
// broken image is.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/vocabulary.h"
#include "tests/support/program.h"
#include "image/image_builder.h"
#include "tools/imagetools/check.h"
#include "tools/imagetools/dump.h"
#include "tools/imagetools/image_view.h"

namespace {

using namespace qrt::img;
using qrt::imgtools::Finding;
using qrt::imgtools::hex8;

qrt::imgtools::LoadedImage load(const std::vector<uint8_t>& file) { return *qrt::imgtools::loadImage(file); }

std::string listed(const qrt::imgtools::CheckResult& r) {
  std::string s;
  for (const Finding& f : r.findings) s += hex8(f.at) + " " + f.text + "\n";
  return s;
}

TEST(ImageTools, DumpShowsRoutinesConstantsCommandsAndDlls) {
  ImageBuilder b;
  b.setSingleInstance(true);
  Routine& m = b.main();
  Routine& triple = b.func({Int, Int}, Int);  // of its second argument
  triple.native([&](X86& x) {
    x.load(ECX, triple.param(1));
    x.imulImm(ECX, 3);
    x.store(kResultSlot, ECX);
    x.next();
  });
  triple.ret();
  const int dll = b.exfunc("tunelink.dll", "LoadDLL", Int, {Str, Int});
  const int count = m.slot(), sum = m.slot(), r = m.slot(), joined = m.slot();
  const int japanese = m.constant("\x93\xfa\x96\x7b\x8c\xea");  // cp932
  m.native([&](X86& x) {
    x.storeImm(count, 3);
    x.next();
  });
  Label loop = m.here();
  m.call(triple, sum, {count, count});
  m.command("ABS", r, {sum});
  m.native([&](X86& x) { x.countDown(count, loop); });
  m.exfuncCall(dll, r, {japanese, count});
  m.join(japanese, japanese, joined);
  m.end();
  const auto file = b.build();

  const std::string dump = qrt::imgtools::dumpImage(load(file));
  const auto s = [](int slot) { return std::to_string(slot); };
  for (const std::string& expected : std::vector<std::string>{
           std::string("\"QRT\\x80040048(C) VELMORAK\""),
           std::string("flag byte 0x80: one running copy per executable path"),
           "routine 0: main, descriptor at " + hex8(b.descriptorOffset(0)),
           "slot " + s(japanese) + " = \"日本語\"",
           "call routine 1(slot " + s(count) + ", slot " + s(count) + ") -> slot " + s(sum),
           "ABS(S " + s(sum) + ") -> S " + s(r),
           std::string("dec eax"),
           std::string(" 6B C9 03 "), std::string("imul ecx, ecx, 3\n"),
           std::string("mov [ebx+0x20], ecx  ; slot 8"),
           "next op " + hex8(b.offsetOf(loop)),
           "join slot " + s(joined) + " <- slot " + s(japanese) + " + slot " + s(japanese) + "=\"日本語\"",
           std::string("routine 1: FUNC"),
           std::string("parameters 2: slot 9 int, slot 10 int; result int in slot 8"),
           std::string("routine 2: EXFUNC \"tunelink.dll\" \"LoadDLL\""),
           std::string("\"tunelink.dll\" (ship it beside the game): \"LoadDLL\""),
       })
    EXPECT_NE(dump.find(expected), std::string::npos) << expected << "\nin\n" << dump;
  EXPECT_EQ(dump.find("not reached"), std::string::npos) << dump;

  const auto result = qrt::imgtools::checkImage(load(file).view());
  EXPECT_TRUE(result.findings.empty()) << listed(result);
  EXPECT_EQ(result.routines, 3u);
}

// Where the checker must point: an op (bound label) or a descriptor field.
struct Where {
  Label op;
  int descriptorOf = -1;
  uint32_t plus = 0;
};

struct Case {
  const char* says;
  std::function<void(ImageBuilder&, Where&)> make;
};

TEST(ImageTools, CheckReportsWhatTheEngineRefusesWithItsPosition) {
  const Case cases[] = {
      {"op 5 is invalid", [](ImageBuilder& b, Where& w) { w.op = b.main().here(), b.main().op(5); }},
      {"refuses the routine's descriptor", [](ImageBuilder& b, Where& w) { w.op = b.main().here(), b.main().call(100000, 0); }},
      {"result slot 1 is one of the engine's own",
       [](ImageBuilder& b, Where& w) {
         Routine& m = b.main();
         const int v = m.slot();
         w.op = m.here();
         m.command("ABS", 1, {v});
       }},
      {"argument 1 slot 3000 lies beyond the frame",
       [](ImageBuilder& b, Where& w) {
         b.main().setSlotCount(12);  // the builder would grow the frame to cover 3000
         w.op = b.main().here();
         b.main().builtin(qrt::commandId("ABS"), 9, {3000});
       }},
      {"X: slot 1000 lies beyond the frame",
       [](ImageBuilder& b, Where& w) {
         Routine& m = b.main();
         m.setSlotCount(12);
         const int c = m.constant("x", 10);
         w.op = m.here();
         m.store(1000, c);
       }},
      {"names the static area, but the main routine has none",
       [](ImageBuilder& b, Where& w) {
         Routine& m = b.main(12, 0);
         const int c = m.constant("x", 10);
         w.op = m.here();
         m.store(0, c, {.firstStatic = true});
       }},
      {"mode 0x81 is not one of",
       [](ImageBuilder& b, Where& w) {
         Routine& m = b.main();
         const int c = m.constant("x"), v = m.slot();
         w.op = m.here();
         m.store(0x81, v, c, 0, 0);
       }},
      {"comparison code 0x31",
       [](ImageBuilder& b, Where& w) {
         Routine& m = b.main();
         const int a = m.constant("x"), r = m.slot();
         w.op = m.here();
         m.compare(0x31, a, a, r);
       }},
      {"names slot 900, beyond its frame",
       [](ImageBuilder& b, Where& w) {
         Routine& f = b.func({Param(900, Int)}, Int, 12);
         f.ret();
         const int a = b.main().slot();
         w.op = b.main().here();
         b.main().call(f, 0, {a});
       }},
      {"no constant of the routine holds its DLL name",
       [](ImageBuilder& b, Where& w) {
         Routine& f = b.func({}, Int);
         f.ret();
         w.op = b.main().here();
         b.main().exfuncCall(f.number(), 0);
       }},
      {"the next op, at 40000000, lies outside the image",
       [](ImageBuilder& b, Where& w) {
         w.op = b.main().here();
         w.plus = 4;  // the exit instruction, first in the block
         b.main().native([](X86& x) {
           x.storeImm(0, 0x40000000);
           x.ret();
         });
       }},
      {"the op is cut off by the end of the image", [](ImageBuilder& b, Where& w) { w.op = b.main().here(), b.main().op(1); }},
      {"outside the constant area",
       [](ImageBuilder& b, Where& w) {
         b.main().constantWithPairOffset("x", 10, 0x7FFFFFF0);
         w.descriptorOf = 0;
         w.plus = 24;  // the first constant pair
       }},
      {"slot count 5 is outside 9..",
       [](ImageBuilder& b, Where& w) {
         b.main(5, 0);
         w.descriptorOf = 0;
         w.plus = 8;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    ImageBuilder b;
    Where w;
    c.make(b, w);
    b.main().end();
    const auto file = b.build();
    const uint32_t at = (w.descriptorOf >= 0 ? b.descriptorOffset(w.descriptorOf) : b.offsetOf(w.op)) + w.plus;

    const auto result = qrt::imgtools::checkImage(load(file).view());
    ASSERT_EQ(result.faults(), 1u) << listed(result);
    const Finding& f = result.findings.front();
    EXPECT_EQ(f.severity, Finding::Severity::Fault);
    EXPECT_EQ(hex8(f.at), hex8(at)) << f.text;
    EXPECT_NE(f.text.find(c.says), std::string::npos) << f.text;

    qrt::test::Program p(file);
    p.runToEnd(10);
    EXPECT_EQ(p.boxCodes(), std::vector<int>{601});
  }
}

// A broken routine that nothing calls never stops the game: check notes it
// and finds no fault, and the engine runs the program to its end.
TEST(ImageTools, CheckNotesWhatNoCallReaches) {
  ImageBuilder b;
  Routine& unused = b.func({}, Int, 5);
  unused.op(5);
  Routine& called = b.func({}, Int);
  called.ret();
  b.main().call(called, 0);
  b.main().end();
  const auto file = b.build();
  const auto result = qrt::imgtools::checkImage(load(file).view());
  EXPECT_EQ(result.faults(), 0u) << listed(result);
  ASSERT_FALSE(result.findings.empty());
  EXPECT_NE(result.findings.front().text.find("never called: "), std::string::npos) << listed(result);
  qrt::test::Program p(file);
  p.runToEnd(10);
  EXPECT_TRUE(p.boxCodes().empty());
}

}  // namespace
