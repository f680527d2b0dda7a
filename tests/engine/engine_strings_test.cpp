// String values: ownership across calls, the store rule, join, compare and
// the temporary ring.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/engine.h"
#include "tests/support/program.h"
#include "image/image_builder.h"

using namespace qrt::img;
using qrt::test::Program;

namespace {

const qrt::StringObject* object(uint32_t slot) { return reinterpret_cast<const qrt::StringObject*>(slot); }

TEST(StringOwnership, CalleeStringsAreFreedAndTheCallerGetsItsOwnCopy) {
  ImageBuilder b;
  Routine& m = b.main();
  // make(): builds "abc" + "def" in its own frame, plus a scratch string,
  // and returns the joined one.
  Routine& make = b.func({}, Str);
  int abc = make.constant("abc"), def = make.constant("def"), scratch = make.slot();
  make.store(scratch, abc);
  make.join(abc, def, kResultSlot);
  make.ret();
  int r1 = m.slot(), r2 = m.slot();
  m.call(make, r1);
  m.call(make, r2);
  m.end();

  Program p(b.build());
  p.runToEnd();
  ASSERT_TRUE(p.boxes().empty());
  EXPECT_EQ(p.text(r1), "abcdef");
  EXPECT_EQ(p.text(r2), "abcdef");
  EXPECT_NE(p.slot(r1), p.slot(r2));
  // Only the caller's two copies are still alive: both callees' strings
  // (two each) were freed on return.
  EXPECT_EQ(p.engine().liveStrings, 2);
  auto* f = p.frame();
  EXPECT_EQ(object(p.slot(r1))->mark, static_cast<int32_t>(reinterpret_cast<uintptr_t>(f)));
}

TEST(StringOwnership, StaticStringsSurviveReturns) {
  ImageBuilder b;
  Routine& m = b.main();
  int st = m.staticSlot();
  Routine& keep = b.func({}, Int);
  int text = keep.constant("kept");
  keep.store(st, text, {.firstStatic = true});
  keep.ret();
  int copy = m.slot();
  m.call(keep, 0);
  m.store(copy, st, {.secondStatic = true});
  m.end();

  Program p(b.build());
  p.runToEnd();
  ASSERT_TRUE(p.boxes().empty());
  EXPECT_STREQ(object(p.staticSlot(st))->text(), "kept");
  EXPECT_EQ(p.text(copy), "kept");
}

TEST(StringStore, MissingStringsEmptyInPlaceOrLeaveTheSlotEmpty) {
  ImageBuilder b;
  Routine& m = b.main();
  int hello = m.constant("hello"), owned = m.slot(), never = m.slot(), missing = m.slot(), alias = m.slot();
  m.store(owned, hello);
  m.store(owned, missing);  // own object: emptied in place
  m.store(never, missing);  // empty slot: stays 0
  m.native([&](X86& x) {   // alias now holds the constant itself
    x.load(EAX, hello);
    x.store(alias, EAX);
    x.next();
  });
  m.store(alias, missing);  // someone else's object: never emptied
  m.end();

  Program p(b.build());
  p.runToEnd();
  ASSERT_TRUE(p.boxes().empty());
  ASSERT_NE(p.slot(owned), 0u);
  EXPECT_EQ(object(p.slot(owned))->length, 1);
  EXPECT_EQ(p.slot(never), 0u);
  EXPECT_EQ(p.slot(alias), 0u);
  EXPECT_EQ(p.text(hello), "hello");
}

TEST(StringStore, ReassigningSimilarTextsReusesTheObject) {
  ImageBuilder b;
  Routine& m = b.main();
  int one = m.constant("one"), two = m.constant("two"), v = m.slot();
  m.store(v, one);
  m.store(v, two);
  m.store(v, one);
  m.store(v, v);
  m.end();
  Program p(b.build());
  p.runToEnd();
  EXPECT_EQ(p.text(v), "one");
  EXPECT_EQ(p.engine().stringAllocations, 1);
  EXPECT_EQ(p.engine().liveStrings, 1);
}

TEST(StringStore, ConstantsAndTemporariesAreNeverReusedAsDestinations) {
  ImageBuilder b;
  Routine& m = b.main();
  int c = m.constant("constant text"), longer = m.constant("a longer text than before"), v = m.slot();
  m.native([&](X86& x) {  // v starts out holding the constant itself
    x.load(EAX, c);
    x.store(v, EAX);
    x.next();
  });
  m.store(v, longer);
  m.end();
  Program p(b.build());
  p.runToEnd();
  EXPECT_EQ(p.text(c), "constant text");
  EXPECT_EQ(p.text(v), "a longer text than before");
  EXPECT_NE(p.slot(v), p.slot(c));
}

TEST(StringJoin, MissingAndEmptyOperandsAndSelfJoins) {
  ImageBuilder b;
  Routine& m = b.main();
  int ab = m.constant("ab"), empty = m.constant(""), missing = m.slot(), both = m.slot(), left = m.slot(),
      self = m.slot(), tail = m.slot();
  m.join(missing, missing, both);
  m.join(ab, empty, left);
  m.store(self, ab);
  m.join(self, self, self);  // "abab"
  m.store(tail, ab);
  m.join(ab, tail, tail);    // "ab" + "ab", destination is the second operand
  m.end();
  Program p(b.build());
  p.runToEnd();
  ASSERT_TRUE(p.boxes().empty());
  ASSERT_NE(p.slot(both), 0u);
  EXPECT_EQ(object(p.slot(both))->length, 1);
  EXPECT_EQ(p.text(left), "ab");
  EXPECT_EQ(p.text(self), "abab");
  EXPECT_EQ(object(p.slot(self))->length, 5);
  EXPECT_EQ(p.text(tail), "abab");
}

TEST(StringJoin, GrowingAStringInALoopKeepsOneObject) {
  ImageBuilder b;
  Routine& m = b.main();
  int x = m.constant("x"), s = m.slot(), i = m.slot();
  Label loop = m.label();
  m.native([&](X86& a) {
    a.storeImm(i, 0);
    a.next();
  });
  m.bind(loop);
  m.join(s, x, s);
  m.native([&](X86& a) {
    a.load(EAX, i);
    a.inc(EAX);
    a.store(i, EAX);
    a.cmpImm(EAX, 500);
    Label again = m.label();
    a.jcc(Cond::L, again);
    a.next();
    a.bind(again);
    a.next(loop);
  });
  m.end();
  Program p(b.build());
  p.runToEnd();
  EXPECT_EQ(p.text(s), std::string(500, 'x'));
  EXPECT_EQ(p.engine().liveStrings, 1);
}

TEST(StringCompare, EveryComparisonCode) {
  struct Case {
    const char* a;
    const char* b;
    int32_t code;
    uint32_t expected;
  };
  const Case cases[] = {
      {"b", "a", Greater, 0xFFFFFFFF}, {"a", "b", Greater, 0},         {"a", "b", Less, 0xFFFFFFFF},
      {"a", "a", Less, 0},             {"a", "a", GreaterEq, 0xFFFFFFFF}, {"a", "b", GreaterEq, 0},
      {"a", "a", LessEq, 0xFFFFFFFF},  {"b", "a", LessEq, 0},           {"a", "b", NotEq, 0xFFFFFFFF},
      {"a", "a", NotEq, 0},            {"a", "a", Equal, 0xFFFFFFFF},   {"a", "ab", Equal, 0},
      {"", "a", Less, 0xFFFFFFFF},     {"a", "", Greater, 0xFFFFFFFF},  {"", "", Equal, 0xFFFFFFFF},
      {"a", "a", Never, 0},
      // Double-byte characters compare whole: 0x82A0 ("あ") after 'z'.
      {"\x82\xA0", "z", Greater, 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    ImageBuilder b;
    Routine& m = b.main();
    int a = m.constant(c.a), bb = m.constant(c.b), r = m.slot();
    m.native([&](X86& x) {
      x.storeImm(r, 12345);
      x.next();
    });
    m.compare(c.code, a, bb, r);
    m.end();
    Program p(b.build());
    p.runToEnd();
    EXPECT_EQ(p.slot(r), c.expected) << "'" << c.a << "' " << std::hex << c.code << " '" << c.b << "'";
  }
}

TEST(StringCompare, MissingEqualsEmptyAndNeverLeavesEmptyOperandsAlone) {
  ImageBuilder b;
  Routine& m = b.main();
  int empty = m.constant(""), a = m.constant("a"), missing = m.slot(), eq = m.slot(), never = m.slot();
  m.native([&](X86& x) {
    x.storeImm(never, 777);
    x.next();
  });
  m.compare(Equal, missing, empty, eq);
  m.compare(Never, missing, a, never);
  m.end();
  Program p(b.build());
  p.runToEnd();
  EXPECT_EQ(p.slot(eq), 0xFFFFFFFFu);
  EXPECT_EQ(p.slot(never), 777u);
}

TEST(StringCompare, ElementOperandsReadTheirIndexFromSlotsSixAndSeven) {
  ImageBuilder b;
  Routine& m = b.main();
  int first = m.constant("same"), second = m.constant("same"), r = m.slot();
  m.native([&](X86& x) {
    x.storeImm(kElement1Slot, static_cast<uint32_t>(first));
    x.storeImm(kElement2Slot, static_cast<uint32_t>(second));
    x.next();
  });
  m.compare(Equal, kElement1Slot, kElement2Slot, r, {.firstElement = true, .secondElement = true});
  m.end();
  Program p(b.build());
  p.runToEnd();
  EXPECT_TRUE(p.boxes().empty());
  EXPECT_EQ(p.slot(r), 0xFFFFFFFFu);
}

TEST(TemporaryRing, TheEleventhTemporaryReplacesTheFirst) {
  ImageBuilder b;
  b.main().end();
  Program p(b.build());
  qrt::EngineState& e = p.engine();
  qrt::StringObject* first = qrt::temporaryText(e, "first", 5, 1);
  ASSERT_NE(first, nullptr);
  for (int i = 0; i < 9; ++i) qrt::temporaryText(e, "other", 5, 1);
  EXPECT_STREQ(first->text(), "first");
  qrt::StringObject* eleventh = qrt::temporaryText(e, "again", 5, 1);
  EXPECT_EQ(eleventh, first);
  EXPECT_STREQ(first->text(), "again");
  EXPECT_EQ(eleventh->mark, -1);
}

}  // namespace
