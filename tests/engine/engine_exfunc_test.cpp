// EXFUNC: functions of outside DLLs, through the in-tree test DLL.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/catalogue.h"
#include "base/errors.h"
#include "base/runtime.h"
#include "engine/exfunc.h"
#include "tests/support/program.h"
#include "image/image_builder.h"

using namespace qrt::img;
using qrt::test::Program;

namespace {

constexpr const char* kDll = "qrttestdll.dll";

int cachedDllCount() {
  int n = 0;
  for (qrt::DllNode* d = qrt::g_host.rt.dllCache; d; d = d->next) ++n;
  return n;
}

TEST(Exfunc, ArgumentsArePushedFirstOperandFirst) {
  ImageBuilder b;
  Routine& m = b.main();
  int digits = b.exfunc(kDll, "Digits3", Int, {Int, Int, Int});
  int one = m.slot(), two = m.slot(), three = m.slot(), r = m.slot();
  m.native([&](X86& x) {
    x.storeImm(one, 1);
    x.storeImm(two, 2);
    x.storeImm(three, 3);
    x.next();
  });
  m.exfuncCall(digits, r, {one, two, three});
  m.end();
  Program p(b.build());
  p.runToEnd();
  ASSERT_TRUE(p.boxes().empty());
  // The function's first parameter receives the last operand.
  EXPECT_EQ(p.slot(r), 321u);
}

TEST(Exfunc, StringsAreWrittenBackAndResultsCopiedIntoTemporaries) {
  ImageBuilder b;
  Routine& m = b.main();
  int shorten = b.exfunc(kDll, "Shorten", Int, {Str});
  int greeting = b.exfunc(kDll, "Greeting", Str, {Int});
  int noText = b.exfunc(kDll, "NoText", Str, {});
  int length = b.exfunc(kDll, "TextLength", Int, {Str});
  int source = m.constant("hello world"), v = m.slot(), n = m.slot(), g = m.slot(), none = m.slot(),
      missing = m.slot(), len = m.slot(), discarded = m.slot();
  m.store(v, source);
  m.exfuncCall(shorten, 0, {v});
  m.native([&](X86& x) {
    x.storeImm(n, 7);
    x.storeImm(len, 99);
    x.next();
  });
  m.exfuncCall(greeting, g, {n});
  m.exfuncCall(noText, none, {});
  m.exfuncCall(length, len, {missing});  // no string: an empty text, not address 16
  m.exfuncCall(greeting, 0, {n});        // result slot 0: discarded, pc intact
  m.native([&](X86& x) {
    x.storeImm(discarded, 1);
    x.next();
  });
  m.end();
  Program p(b.build());
  p.runToEnd();
  ASSERT_TRUE(p.boxes().empty());
  EXPECT_EQ(p.text(v), "hi");
  EXPECT_EQ(reinterpret_cast<const qrt::StringObject*>(p.slot(v))->length, 3);
  EXPECT_EQ(p.text(g), "hello 7");
  EXPECT_EQ(reinterpret_cast<const qrt::StringObject*>(p.slot(g))->mark, -1);
  EXPECT_EQ(p.text(none), "");
  EXPECT_EQ(p.slot(len), 0u);
  EXPECT_EQ(p.slot(discarded), 1u);
}

TEST(Exfunc, CallerCleansFunctionsDoNotCorruptTheStack) {
  ImageBuilder b;
  Routine& m = b.main();
  int sum = b.exfunc(kDll, "CallerCleans", Int, {Int, Int, Int});
  int a = m.slot(), r = m.slot(), i = m.slot();
  Label loop = m.label();
  m.native([&](X86& x) {
    x.storeImm(a, 1);
    x.storeImm(i, 0);
    x.next();
  });
  m.bind(loop);
  m.exfuncCall(sum, r, {a, a, a});
  m.native([&](X86& x) {
    Label again = m.label();
    x.load(EAX, i);
    x.inc(EAX);
    x.store(i, EAX);
    x.cmpImm(EAX, 1000);
    x.jcc(Cond::L, again);
    x.next();
    x.bind(again);
    x.next(loop);
  });
  m.end();
  Program p(b.build());
  p.runToEnd();
  EXPECT_TRUE(p.boxes().empty());
  EXPECT_EQ(p.slot(r), 3u);
  EXPECT_EQ(p.slot(i), 1000u);
}

TEST(Exfunc, EachDllIsLoadedOncePerRun) {
  ImageBuilder b;
  Routine& m = b.main();
  int first = b.exfunc(kDll, "AttachCount", Int, {});
  int again = b.exfunc(kDll, "Digits3", Int, {Int, Int, Int});
  int other = b.exfunc("qrttestdll2.dll", "AttachCount", Int, {});
  int r1 = m.slot(), r2 = m.slot(), r3 = m.slot();
  m.exfuncCall(first, r1);
  m.exfuncCall(again, r2, {0, 0, 0});
  m.exfuncCall(first, r1);
  m.exfuncCall(other, r3);
  m.end();
  Program p(b.build());
  p.runToEnd();
  ASSERT_TRUE(p.boxes().empty());
  EXPECT_EQ(cachedDllCount(), 2);
  EXPECT_EQ(p.slot(r1), 1u);
  EXPECT_EQ(p.slot(r3), 1u);
}

std::string composed(int code, const char* name) {
  std::string message = qrt::runtimeMessage(code);
  size_t comma = message.find(',');
  return message.substr(0, comma) + name + message.substr(comma + 1);
}

TEST(Exfunc, MissingDllAndMissingFunctionNameThemselves) {
  {
    ImageBuilder b;
    Routine& m = b.main();
    int f = b.exfunc("no-such-library.dll", "Anything", Int, {});
    m.exfuncCall(f, 0);
    m.end();
    Program p(b.build());
    EXPECT_FALSE(p.step());
    ASSERT_EQ(p.boxCodes(), std::vector<int>{760});
    EXPECT_EQ(p.boxes()[0].text, composed(760, "no-such-library.dll"));
  }
  {
    ImageBuilder b;
    Routine& m = b.main();
    int f = b.exfunc(kDll, "NoSuchFunction", Int, {});
    m.exfuncCall(f, 0);
    m.end();
    Program p(b.build());
    EXPECT_FALSE(p.step());
    ASSERT_EQ(p.boxCodes(), std::vector<int>{761});
    EXPECT_EQ(p.boxes()[0].text, composed(761, "NoSuchFunction"));
  }
}

TEST(Exfunc, AFaultInsideTheDllEndsTheProgramWithABox) {
  ImageBuilder b;
  Routine& m = b.main();
  int f = b.exfunc(kDll, "Fault", Int, {Int});
  m.exfuncCall(f, 0, {0});
  m.end();
  Program p(b.build());
  EXPECT_FALSE(p.step());
  EXPECT_EQ(p.boxCodes(), std::vector<int>{601});
}

}  // namespace
