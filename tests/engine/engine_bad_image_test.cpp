// Broken images end with error 601 and never read outside the image or a
// frame; faults inside native code end with a box instead of a crash.
#include <gtest/gtest.h>

#include "tests/support/program.h"
#include "base/vocabulary.h"
#include "image/image_builder.h"

using namespace qrt::img;
using qrt::test::Program;

namespace {

std::vector<int> runBroken(ImageBuilder& b) {
  Program p(b.build());
  p.runToEnd(10);
  EXPECT_TRUE(p.ended());
  return p.boxCodes();
}

std::vector<int> runBroken(const std::vector<uint8_t>& file) {
  Program p(file);
  p.runToEnd(10);
  EXPECT_TRUE(p.ended());
  return p.boxCodes();
}

const std::vector<int> k601{601};

TEST(BadImage, InvalidOpCodes) {
  for (uint32_t code : {5u, 6u, 11u, 0xFFu}) {
    ImageBuilder b;
    b.main().op(code);
    b.main().end();
    EXPECT_EQ(runBroken(b), k601) << "op " << code;
  }
  // Only the low byte of the op word counts.
  ImageBuilder b;
  Routine& m = b.main();
  m.op(0x12345600);  // op 0
  EXPECT_TRUE(runBroken(b).empty());
}

TEST(BadImage, RoutineNumbersOutsideTheImage) {
  ImageBuilder b;
  Routine& m = b.main();
  m.call(100000, 0, {});
  m.end();
  EXPECT_EQ(runBroken(b), k601);

  ImageBuilder c;
  Routine& mc = c.main();
  mc.exfuncCall(0x7FFFFFFF, 0, {});
  mc.end();
  EXPECT_EQ(runBroken(c), k601);
}

TEST(BadImage, SlotNumbersBeyondTheFrame) {
  {  // call argument
    ImageBuilder b;
    Routine& m = b.main();
    Routine& f = b.func({Int}, Int);
    f.ret();
    m.setSlotCount(12);
    m.call(f, 0, {500});
    m.end();
    EXPECT_EQ(runBroken(b), k601);
  }
  {  // call result slot
    ImageBuilder b;
    Routine& m = b.main();
    Routine& f = b.func({}, Int);
    f.ret();
    m.setSlotCount(12);
    m.call(f, 40, {});
    m.end();
    EXPECT_EQ(runBroken(b), k601);
  }
  {  // string store destination
    ImageBuilder b;
    Routine& m = b.main();
    m.setSlotCount(12);
    int c = m.constant("x", 10);
    m.store(1000, c);
    m.end();
    EXPECT_EQ(runBroken(b), k601);
  }
  {  // element index read from the frame points outside it
    ImageBuilder b;
    Routine& m = b.main();
    m.setSlotCount(12);
    int c = m.constant("x", 10);
    m.native([&](X86& x) {
      x.storeImm(kElement1Slot, 5000);
      x.next();
    });
    m.store(kElement1Slot, c, {.firstElement = true});
    m.end();
    EXPECT_EQ(runBroken(b), k601);
  }
  {  // static operand in a program without a static area
    ImageBuilder b;
    Routine& m = b.main(12, 0);
    int c = m.constant("x", 10);
    m.store(0, c, {.firstStatic = true});
    m.end();
    EXPECT_EQ(runBroken(b), k601);
  }
  {  // built-in argument
    ImageBuilder b;
    Routine& m = b.main();
    m.setSlotCount(12);
    m.builtin(qrt::commandId("ABS"), 9, {3000});
    m.end();
    EXPECT_EQ(runBroken(b), k601);
  }
  {  // a FUNC whose parameter pair names a slot beyond its frame
    ImageBuilder b;
    Routine& m = b.main();
    Routine& f = b.func({Param(900, Int)}, Int, 12);
    f.ret();
    int a = m.slot();
    m.call(f, 0, {a});
    m.end();
    EXPECT_EQ(runBroken(b), k601);
  }
}

// Slots 1, 2, 3 and 5 hold the engine's own links (caller frame, caller's
// result slot, static area, string list). An op that would write a value
// there, by name or through an element index, is refused before it runs,
// since the engine would later follow that value as a pointer.
TEST(BadImage, OpsThatWouldWriteTheEnginesOwnSlots) {
  for (int reserved : {1, 2, 3, 5}) {
    SCOPED_TRACE(reserved);
    std::vector<ImageBuilder> images(7);
    {  // built-in result
      Routine& m = images[0].main();
      int v = m.slot();
      m.command("ABS", reserved, {v});
      m.end();
    }
    {  // string store, named and through an element index
      Routine& m = images[1].main();
      m.store(reserved, m.constant("x"));
      m.end();
      Routine& e = images[2].main();
      int c = e.constant("x");
      e.native([&](X86& x) {
        x.storeImm(kElement1Slot, static_cast<uint32_t>(reserved));
        x.next();
      });
      e.store(kElement1Slot, c, {.firstElement = true});
      e.end();
    }
    {  // join and compare results
      Routine& m = images[3].main();
      int a = m.constant("a");
      m.join(a, a, reserved);
      m.end();
      Routine& k = images[4].main();
      int b = k.constant("b");
      k.compare(Equal, b, b, reserved);
      k.end();
    }
    {  // a FUNC's result slot in its caller, and a parameter bound to its own
      Routine& m = images[5].main();
      Routine& f = images[5].func({}, Int);
      f.ret();
      m.call(f, reserved, {});
      m.end();
      Routine& n = images[6].main();
      Routine& g = images[6].func({Param(reserved, Int)}, Int);
      g.ret();
      int arg = n.slot();
      n.call(g, 0, {arg});
      n.end();
    }
    for (size_t i = 0; i < images.size(); ++i) EXPECT_EQ(runBroken(images[i]), k601) << "image " << i;
  }
  // 0 still discards a built-in's result.
  ImageBuilder b;
  Routine& m = b.main();
  int v = m.slot();
  m.command("ABS", 0, {v});
  m.end();
  Program p(b.build());
  p.runToEnd();
  EXPECT_TRUE(p.boxes().empty());
}

// Whatever a native block leaves in the engine's own slots, the end of the
// program (frames and their strings released) ends in a box, not a crash.
TEST(BadImage, ACorruptStringListAtTheEndIsABoxNotACrash) {
  ImageBuilder b;
  Routine& m = b.main();
  m.native([&](X86& x) {
    x.storeImm(5, 0x00000010);   // a string list that leads nowhere
    x.next();
  });
  m.command("S@WAIT", 0);
  m.end();
  auto* p = new Program(b.build());
  p->step();
  qrt::test::clearRecordedBoxes();
  delete p;   // the host shuts down with the frame still live
  ASSERT_EQ(qrt::test::recordedBoxes().size(), 1u);
  EXPECT_EQ(qrt::test::recordedBoxes()[0].code, 601);
}

TEST(BadImage, UnknownStringModesAndComparisonCodes) {
  ImageBuilder b;
  Routine& m = b.main();
  int c = m.constant("x"), v = m.slot();
  m.store(0x81, v, c, 0, 0);
  m.end();
  EXPECT_EQ(runBroken(b), k601);

  ImageBuilder d;
  Routine& md = d.main();
  int a = md.constant("x"), r = md.slot();
  md.compare(0x31, a, a, r);
  md.end();
  EXPECT_EQ(runBroken(d), k601);
}

TEST(BadImage, ConstantsOutsideTheImage) {
  ImageBuilder b;
  Routine& m = b.main();
  m.constantWithPairOffset("x", 10, 0x7FFFFFF0);
  m.end();
  EXPECT_EQ(runBroken(b), k601);

  ImageBuilder c;
  Routine& mc = c.main();
  mc.constantObject(10, "abc", 0x10000000, 4);  // length field far beyond the image
  mc.end();
  EXPECT_EQ(runBroken(c), k601);
}

TEST(BadImage, TruncatedOpsAndProgramCountersOutsideTheImage) {
  {  // a call op cut off by the end of the image
    ImageBuilder b;
    Routine& m = b.main();
    m.op(1);
    std::vector<uint8_t> file = b.build();
    EXPECT_EQ(runBroken(file), k601);
  }
  {  // a native block sending the pc far away
    ImageBuilder b;
    Routine& m = b.main();
    m.native([&](X86& x) {
      x.storeImm(0, 0x40000000);
      x.ret();
    });
    m.end();
    EXPECT_EQ(runBroken(b), k601);
  }
  {  // an image with nothing after its header
    ImageBuilder b;
    b.main().end();
    std::vector<uint8_t> file = b.build();
    file.resize(kHeaderSize + 2);
    EXPECT_EQ(runBroken(file).size(), 1u);
  }
}

TEST(BadImage, FaultsInNativeCodeEndWithABox) {
  ImageBuilder b;
  Routine& m = b.main();
  m.native([&](X86& x) {
    x.movImm(EAX, 0);
    x.loadMem(EAX, EAX, 0);  // read address 0
    x.next();
  });
  m.end();
  EXPECT_EQ(runBroken(b), k601);

  // The engine stays usable for the next program.
  ImageBuilder ok;
  Routine& mo = ok.main();
  int s = mo.slot();
  mo.native([&](X86& x) {
    x.storeImm(s, 3);
    x.next();
  });
  mo.end();
  Program p(ok.build());
  p.runToEnd();
  EXPECT_TRUE(p.boxes().empty());
  EXPECT_EQ(p.slot(s), 3u);
}

}  // namespace
