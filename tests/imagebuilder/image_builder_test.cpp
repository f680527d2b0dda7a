// The image builder must write exactly what the runtime reads: these tests
// decode the built bytes independently of the builder's own bookkeeping.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "image/image_builder.h"

namespace {

using namespace qrt::img;
using Bytes = std::vector<uint8_t>;

// The op stream start of routine r as the runtime finds it: descriptor via
// the routine table, constant count after the pairs, constant area sized by
// the length fields of its objects.
struct Decoded {
  uint32_t descriptor, constantCount, constantPairs, constantArea, firstOp;
};

Decoded decode(const Bytes& file, int r, bool hasPairs) {
  Decoded d{};
  d.descriptor = read32(file, 4 * r);
  uint32_t countAt = d.descriptor + 20;
  if (hasPairs) countAt = d.descriptor + 28 + 8 * read32(file, d.descriptor + 16);
  d.constantCount = read32(file, countAt);
  d.constantPairs = countAt + 4;
  d.constantArea = d.constantPairs + 8 * d.constantCount;
  uint32_t at = d.constantArea;
  for (uint32_t i = 0; i < d.constantCount; ++i) at += 16 + read32(file, at);
  d.firstOp = at;
  return d;
}

// Text of the constant bound to `slot`, or "" when none is.
std::string constantText(const Bytes& file, const Decoded& d, int32_t slot) {
  for (uint32_t i = 0; i < d.constantCount; ++i) {
    if (static_cast<int32_t>(read32(file, d.constantPairs + 8 * i)) != slot) continue;
    uint32_t obj = d.constantArea + read32(file, d.constantPairs + 8 * i + 4);
    return reinterpret_cast<const char*>(&file[kHeaderSize + obj + 16]);
  }
  return "";
}

std::vector<uint32_t> words(const Bytes& file, uint32_t at, int count) {
  std::vector<uint32_t> w;
  for (int i = 0; i < count; ++i) w.push_back(read32(file, at + 4 * i));
  return w;
}

Bytes codeOf(const Bytes& file, uint32_t at, size_t n) {
  return Bytes(file.begin() + kHeaderSize + at, file.begin() + kHeaderSize + at + n);
}

TEST(ImageLayout, HeaderAndDescriptorsOfEveryKind) {
  ImageBuilder b;
  b.setSingleInstance(true);
  Routine& m = b.main(0, 5);
  int hello = m.constant("hello");
  int empty = m.constant("");
  int kanji = m.constant("\x93\xfa\x96\x7b");  // cp932 bytes kept as given
  m.end();
  Routine& f = b.func({Int, {20, Str}}, Str);
  int fc = f.constant("abc");
  f.ret();
  int e = b.exfunc("tunelink.dll", "LoadDLL", Int, {Str, Int, Int});
  Bytes file = b.build();

  ASSERT_EQ(std::string(file.begin(), file.begin() + 22), std::string("QRT\x80" "040048(C) VELMORAK"));
  ASSERT_EQ(file.size(), kHeaderSize + b.imageSize());
  EXPECT_EQ(read32(file, 0), 12u) << "main follows a table of three entries";

  // Main: slot count covers the constants' slots, static size as given.
  Decoded dm = decode(file, 0, false);
  EXPECT_EQ(words(file, dm.descriptor, 6), (std::vector<uint32_t>{0, 0, 12, 5, 0, 3}));
  EXPECT_EQ(dm.firstOp - dm.constantArea, 16u * 3 + 6 + 1 + 5);
  EXPECT_EQ(dm.firstOp, b.firstOpOffset(0));
  EXPECT_EQ(read32(file, dm.firstOp), op::kEnd);
  EXPECT_EQ(constantText(file, dm, hello), "hello");
  EXPECT_EQ(constantText(file, dm, empty), "");
  EXPECT_EQ(constantText(file, dm, kanji), "\x93\xfa\x96\x7b");
  // A constant object: length = capacity = text + NUL, mark and link 0.
  EXPECT_EQ(words(file, dm.constantArea, 4), (std::vector<uint32_t>{6, 6, 0, 0}));

  // FUNC: k parameter pairs then the result pair {8, type}; n at +28+8k.
  Decoded df = decode(file, f.number(), true);
  EXPECT_EQ(df.descriptor, dm.firstOp + 4);
  EXPECT_EQ(words(file, df.descriptor, 10),
            (std::vector<uint32_t>{20, 21, 22, 0, 2, 9, Int, 20, Str, 8}));
  EXPECT_EQ(read32(file, df.descriptor + 40), static_cast<uint32_t>(Str));
  EXPECT_EQ(f.param(0), 9);
  EXPECT_EQ(f.param(1), 20);
  EXPECT_EQ(fc, 21) << "fresh slots avoid explicit parameter slots";
  EXPECT_EQ(df.constantCount, 1u);
  EXPECT_EQ(constantText(file, df, fc), "abc");
  EXPECT_EQ(read32(file, df.firstOp), op::kReturn);

  // EXFUNC: name slots at +0/+4, result pair first, then parameter types.
  Decoded de = decode(file, e, true);
  auto ew = words(file, de.descriptor, 5);
  EXPECT_EQ(ew[4], 3u);
  EXPECT_EQ(constantText(file, de, ew[0]), "tunelink.dll");
  EXPECT_EQ(constantText(file, de, ew[1]), "LoadDLL");
  EXPECT_EQ(read32(file, de.descriptor + 24), static_cast<uint32_t>(Int));
  for (int j = 0; j < 3; ++j)
    EXPECT_EQ(read32(file, de.descriptor + 32 + 8 * j), static_cast<uint32_t>(j == 0 ? Str : Int));
  EXPECT_EQ(de.firstOp + 4, b.imageSize()) << "one return op ends the image";
  EXPECT_EQ(read32(file, de.firstOp), op::kReturn);
}

TEST(ImageLayout, EscapeHatchesForBrokenImages) {
  ImageBuilder b;
  b.setVersion("999999");
  b.setTableGap(8);
  Routine& m = b.main(10, 0);
  m.constantWithPairOffset("x", 9, 0x7FFFFFF0);
  m.slot();  // slot 10: beyond the explicit count of 10
  m.store(9, 500);
  m.op(11);
  m.setDescriptorWord(16, 0xDEAD);
  Bytes file = b.build();
  EXPECT_EQ(std::string(file.begin() + 4, file.begin() + 10), "999999");
  EXPECT_EQ(file[3], 0x20);
  EXPECT_EQ(read32(file, 0), 12u);
  EXPECT_EQ(read32(file, 12 + 8), 10u) << "explicit slot count is written verbatim";
  EXPECT_EQ(read32(file, 12 + 16), 0xDEADu);
  EXPECT_EQ(read32(file, 12 + 28), 0x7FFFFFF0u);
  EXPECT_EQ(read32(file, b.firstOpOffset(0) + 24), 11u);

  // Truncating or patching the result is plain vector work.
  patch32(file, 0, 0x1000);
  EXPECT_EQ(read32(file, 0), 0x1000u);
  EXPECT_THROW(patch32(file, b.imageSize() - 2, 0), std::out_of_range);
}

TEST(OpEncoding, EveryOpWritesItsWords) {
  ImageBuilder b;
  Routine& m = b.main();
  Routine& f = b.func({Int}, Int);
  f.ret();
  int e = b.exfunc("a.dll", "f", Str, {Int});
  uint32_t at = m.position();
  m.call(f, 12, {13});
  m.builtin(42, 14, {15, 16});
  m.builtin(7, 0);
  m.store(17, 18, {.firstElement = true, .firstStatic = true, .elementOffset = 3});
  m.join(6, 7, 19, {.firstElement = true, .secondElement = true});
  m.compare(GreaterEq, 20, 21, 22, {.secondStatic = true});
  m.exfuncCall(e, 23, {24});
  m.enterMain();
  m.ret();
  m.end();
  Bytes file = b.build();
  uint32_t p = b.firstOpOffset(0) + at;
  std::vector<uint32_t> expected = {
      op::kCall, 1, 12, 13,
      op::kBuiltin, 42, p + 16 + 24, 14, 15, 16,  // next op = own offset + 12 + 4 * 3
      op::kBuiltin, 7, p + 40 + 16, 0,            // signature of one letter
      op::kStore, 0xA0, 17, 18, 3, kFirstStatic,
      op::kJoin, 0xA2, 6, 7, 19, 0,
      op::kCompare, 0x80, 0x2C, 20, 21, 22, kSecondStatic,
      op::kExternal, 2, 23, 24,
      op::kEnterMain, op::kReturn, op::kEnd};
  EXPECT_EQ(words(file, p, static_cast<int>(expected.size())), expected);
  EXPECT_EQ(p + 4 * expected.size(), read32(file, 4)) << "the next descriptor follows the last op";
  // Automatic slot count covers the highest plain frame slot named (24);
  // static operands are sized into the static area instead.
  EXPECT_EQ(read32(file, b.descriptorOffset(0) + 8), 25u);
  EXPECT_EQ(read32(file, b.descriptorOffset(0) + 12), 22u);
}

TEST(X86Encoding, InstructionsMatchTheirKnownEncodings) {
  ImageBuilder b;
  Routine& m = b.main();
  Label after = m.label();
  uint32_t start = m.position();
  m.native([&](X86& x) {
    x.load(EAX, 9);              // 8B 43 24
    x.store(128, ECX);           // 89 8B 00 02 00 00
    x.storeImm(10, 5);           // C7 43 28 05 00 00 00
    x.movImm(EDX, 0x12345678);   // BA 78 56 34 12
    x.add(EAX, ECX);             // 01 C8
    x.sub(EDX, ESI);             // 29 F2
    x.cmpImm(EAX, 10);           // 83 F8 0A
    x.cmpImm(EAX, 1000);         // 81 F8 E8 03 00 00
    x.imul(EAX, ECX);            // 0F AF C1
    x.imulImm(EAX, 3);           // 6B C0 03
    x.inc(ECX);                  // 41
    x.dec(EDX);                  // 4A
    x.loadStatic(EAX, 2);        // 8B 43 0C 8B 40 08
    x.storeStatic(1, ECX, EDX);  // 8B 53 0C 89 4A 04
    x.loadMem(EAX, ESP, 4);      // 8B 44 24 04
    x.loadMem(EAX, EBP, 0);      // 8B 45 00
    x.fld(9);                    // D9 43 24
    x.fadd(11);                  // D8 43 2C
    x.fstp(10);                  // D9 5B 28
    x.truth(Cond::L, EAX);       // 0F 9C C0 0F B6 C0 F7 D8
    x.next(after);               // C7 03 <offset> C3
  });
  m.bind(after);
  m.end();
  Bytes file = b.build();
  const Bytes expected = {
      0x02, 0, 0, 0,
      0x8B, 0x43, 0x24, 0x89, 0x8B, 0x00, 0x02, 0x00, 0x00, 0xC7, 0x43, 0x28, 0x05, 0, 0, 0,
      0xBA, 0x78, 0x56, 0x34, 0x12, 0x01, 0xC8, 0x29, 0xF2, 0x83, 0xF8, 0x0A,
      0x81, 0xF8, 0xE8, 0x03, 0x00, 0x00, 0x0F, 0xAF, 0xC1, 0x6B, 0xC0, 0x03, 0x41, 0x4A,
      0x8B, 0x43, 0x0C, 0x8B, 0x40, 0x08, 0x8B, 0x53, 0x0C, 0x89, 0x4A, 0x04,
      0x8B, 0x44, 0x24, 0x04, 0x8B, 0x45, 0x00,
      0xD9, 0x43, 0x24, 0xD8, 0x43, 0x2C, 0xD9, 0x5B, 0x28,
      0x0F, 0x9C, 0xC0, 0x0F, 0xB6, 0xC0, 0xF7, 0xD8,
      0xC7, 0x03};
  const uint32_t op = b.firstOpOffset(0) + start;
  EXPECT_EQ(codeOf(file, op, expected.size()), expected);
  const uint32_t exitOffset = b.offsetOf(after);
  EXPECT_EQ(read32(file, op + static_cast<uint32_t>(expected.size())), exitOffset);
  EXPECT_EQ(exitOffset, op + expected.size() + 5) << "the exit names the op right after the block";
  EXPECT_EQ(file[kHeaderSize + exitOffset - 1], 0xC3);
  EXPECT_EQ(read32(file, b.descriptorOffset(0) + 8), 129u) << "slot 128 is in the frame";
  EXPECT_EQ(read32(file, b.descriptorOffset(0) + 12), 3u) << "static slot 2 is in the area";
}

TEST(Labels, JumpsAndExitsResolveAcrossRoutines) {
  ImageBuilder b;
  Routine& m = b.main();
  Routine& f = b.func();
  Label inFunc = b.label();   // code inside f's block
  Label backInMain = b.label();  // an op of main
  uint32_t mainJmp = 0, funcExit = 0, funcJcc = 0;

  m.native([&](X86& x) {
    x.storeImm(9, 1);
    mainJmp = m.position();
    x.jmp(inFunc);  // forward into a later routine
  });
  m.bind(backInMain);
  m.end();

  f.native([&](X86& x) {
    x.bind(inFunc);
    x.load(EAX, 9);
    funcJcc = f.position();
    x.jcc(Cond::E, inFunc);  // backward, within the block
    funcExit = f.position();
    x.next(backInMain);
  });
  f.ret();
  Bytes file = b.build();

  const uint32_t target = b.offsetOf(inFunc);
  EXPECT_EQ(target, b.firstOpOffset(1) + 4);
  const uint32_t jmpAt = b.firstOpOffset(0) + mainJmp;
  EXPECT_EQ(file[kHeaderSize + jmpAt], 0xE9);
  EXPECT_EQ(read32(file, jmpAt + 1), target - (jmpAt + 5));
  const uint32_t jccAt = b.firstOpOffset(1) + funcJcc;
  EXPECT_EQ(codeOf(file, jccAt, 2), (Bytes{0x0F, 0x84}));
  EXPECT_EQ(static_cast<int32_t>(read32(file, jccAt + 2)), static_cast<int32_t>(target - (jccAt + 6)));
  const uint32_t exitAt = b.firstOpOffset(1) + funcExit;
  EXPECT_EQ(read32(file, exitAt + 2), b.offsetOf(backInMain));
  EXPECT_EQ(read32(file, b.offsetOf(backInMain)), op::kEnd);
}

TEST(Labels, MisuseIsReportedAtBuild) {
  {
    ImageBuilder b;
    Label never = b.label();
    b.main().native([&](X86& x) { x.next(never); });
    EXPECT_THROW(b.build(), std::logic_error);
  }
  {
    ImageBuilder b;
    Routine& m = b.main();
    Label opLabel = m.here();
    m.native([&](X86& x) { x.jmp(opLabel); });  // would run the op word as code
    EXPECT_THROW(b.build(), std::logic_error);
  }
  {
    ImageBuilder b;
    Routine& m = b.main();
    Label l = m.here();
    EXPECT_THROW(m.bind(l), std::logic_error);
    EXPECT_THROW(m.native([](X86& x) { x.storeImm(9, 1); }), std::logic_error)
        << "a block that falls off its end";
  }
}

TEST(GameFile, LinkExtractAndRelink) {
  ImageBuilder b;
  b.main().end();
  Bytes image = b.build();
  Bytes runtime(5000, 0x90);
  // Near misses that must not stop the scan: "QRT" without "VE", "VE" one short.
  std::memcpy(&runtime[100], "QRT 040048(C) XVELMORAK", 23);
  std::memcpy(&runtime[200], "QRTabcdefghijkV", 15);

  Bytes game = linkGame(runtime, image);
  ASSERT_EQ(game.size(), runtime.size() + image.size());
  EXPECT_EQ(findHeader(game).value_or(0), runtime.size());
  EXPECT_EQ(extractImage(game), image);

  // Moving a game onto another runtime keeps the image byte for byte.
  Bytes newer(7000, 0xCC);
  Bytes moved = linkGame(newer, extractImage(game));
  EXPECT_EQ(extractImage(moved), image);

  // Only bytes 0..2 and 14..15 identify a header.
  Bytes odd(image);
  std::memcpy(&odd[3], "\x01zzzzzzzzzz", 11);
  EXPECT_EQ(findHeader(odd).value_or(1), 0u);

  EXPECT_THROW(linkGame(game, image), std::runtime_error) << "a game is not a runtime";
  EXPECT_THROW(linkGame(runtime, Bytes(image.begin() + 1, image.end())), std::runtime_error);
  EXPECT_THROW(extractImage(runtime), std::runtime_error);
  EXPECT_FALSE(findHeader(Bytes(image.begin(), image.begin() + 15)));
}

}  // namespace
