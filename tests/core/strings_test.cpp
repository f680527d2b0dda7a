// String built-ins: byte-based on cp932 text, results from the ring.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <string>

#include "base/cp932.h"
#include "tests/support/script.h"

namespace {

using qrt::test::Game;
using qrt::test::Script;

constexpr uint32_t kReached = 0x600D;
const char kNihon[] = "\x93\xfa\x96\x7b";  // two double-byte characters

std::string badArgumentBox(const wchar_t* name) {
  return qrt::narrow932((L"QV0660\n\n" + std::wstring(name) + L"に指定したひとつ以上のパラメータが正しくありません").c_str());
}

TEST(Strings, MidCutsBytes) {
  Script s;
  const int abcde = s.text("ABCDE");
  const int tail = s.call("MID", {abcde, s.integer(2), s.integer(10)});
  const int past = s.call("MID", {abcde, s.integer(6), s.integer(1)});
  const int startZero = s.call("MID", {abcde, s.integer(0), s.integer(2)});
  const int noCount = s.call("MID", {abcde, s.integer(1), s.integer(0)});
  const int huge = s.call("MID", {abcde, s.integer(3), s.integer(INT_MAX)});
  const int middle = s.call("MID", {abcde, s.integer(2), s.integer(3)});
  const int empty = s.call("MID", {s.text(""), s.integer(1), s.integer(1)});
  const int halves = s.call("MID", {s.text(kNihon), s.integer(2), s.integer(2)});
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_TRUE(game.boxes().empty());
  EXPECT_EQ(game.text(tail), "BCDE");
  EXPECT_EQ(game.lengthField(tail), 5);
  EXPECT_EQ(game.text(past), "");
  EXPECT_EQ(game.lengthField(past), 1);
  EXPECT_EQ(game.text(startZero), "");
  EXPECT_EQ(game.text(noCount), "");
  EXPECT_EQ(game.text(huge), "CDE");
  EXPECT_EQ(game.text(middle), "BCD");
  EXPECT_TRUE(game.isString(empty)) << "an empty text is not a failure";
  EXPECT_EQ(game.text(empty), "");
  EXPECT_EQ(game.text(halves), "\xfa\x96") << "double-byte characters are not kept whole";
}

TEST(Strings, LsetFitsToAWidthWithoutPadding) {
  Script s;
  const int cut = s.call("LSET", {s.text("ABCDE"), s.integer(3)});
  const int shorter = s.call("LSET", {s.text("AB"), s.integer(5)});
  const int blanks = s.call("LSET", {s.noString(), s.integer(3)});
  const int emptyText = s.call("LSET", {s.text(""), s.integer(3)});
  const int zero = s.call("LSET", {s.text("ABC"), s.integer(0)});
  const int negative = s.call("LSET", {s.text("ABC"), s.integer(-5)});
  const int negativeNone = s.call("LSET", {s.noString(), s.integer(INT_MIN)});
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_TRUE(game.boxes().empty());
  EXPECT_EQ(game.text(cut), "ABC");
  EXPECT_EQ(game.lengthField(cut), 4);
  EXPECT_EQ(game.text(shorter), "AB");
  EXPECT_EQ(game.lengthField(shorter), 3);
  EXPECT_EQ(game.text(blanks), "   ");
  EXPECT_EQ(game.text(emptyText), "");
  EXPECT_EQ(game.text(zero), "");
  // A negative width is an empty field, not a wild write.
  EXPECT_EQ(game.text(negative), "");
  EXPECT_EQ(game.lengthField(negative), 1);
  EXPECT_EQ(game.text(negativeNone), "");
}

TEST(Strings, AnArgumentThatIsTheNextRingEntryIsReadBeforeItIsReused) {
  // The ring hands out the oldest of ten temporaries next. A command given
  // that very temporary must still see its text.
  Script s;
  const int number = s.call("STR", {s.integer(12345), s.integer(10)});
  for (int i = 0; i < 9; ++i) s.call("CHR", {s.integer('a' + i)});
  const int fitted = s.slot();
  s.main().store(fitted, s.call("LSET", {number, s.integer(100)}));  // a variable keeps it
  const int again = s.call("STR", {s.integer(67890), s.integer(10)});
  for (int i = 0; i < 9; ++i) s.call("CHR", {s.integer('a' + i)});
  const int part = s.call("MID", {again, s.integer(2), s.integer(3)});
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(game.text(fitted), "12345");
  EXPECT_EQ(game.text(part), "789");
}

TEST(Strings, ChrAndAscWorkOnSingleBytes) {
  Script s;
  const int letter = s.call("CHR", {s.integer('A')});
  const int nul = s.call("CHR", {s.integer(0)});
  const int high = s.call("CHR", {s.integer(0x82)});
  const int asc = s.call("ASC", {s.text("ABC")});
  const int lead = s.call("ASC", {s.text(kNihon)});
  const int fromChr = s.call("ASC", {letter});
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_TRUE(game.boxes().empty());
  EXPECT_EQ(game.text(letter), "A");
  EXPECT_EQ(game.lengthField(letter), 2);
  EXPECT_EQ(game.text(nul), "");
  EXPECT_EQ(game.lengthField(nul), 2) << "CHR(0) keeps length 2";
  EXPECT_EQ(game.text(high), "\x82");
  EXPECT_EQ(game.integer(asc), 'A');
  EXPECT_EQ(game.integer(lead), 0x93) << "bytes read as 0..255";
  EXPECT_EQ(game.integer(fromChr), 'A');
}

TEST(Strings, AscOfNothingReportsAndGoesOn) {
  Script s;
  const int reached = s.slot();
  const int none = s.call("ASC", {s.noString()});
  const int empty = s.call("ASC", {s.text("")});
  s.mark(reached, kReached);
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(game.slot(reached), kReached);
  EXPECT_EQ(game.integer(none), 0);
  EXPECT_EQ(game.integer(empty), 0);
  ASSERT_EQ(game.boxes().size(), 2u);
  EXPECT_EQ(game.boxes()[0].text, badArgumentBox(L"ASC"));
}

TEST(Strings, ChrOutsideAByteEndsTheProgram) {
  for (int n : {256, -1, INT_MIN}) {
    Script s;
    const int reached = s.slot();
    s.call("CHR", {s.integer(n)});
    s.mark(reached, kReached);
    Game game(s);
    EXPECT_FALSE(game.step());
    EXPECT_NE(game.slot(reached), kReached) << n;
    ASSERT_EQ(game.boxes().size(), 1u) << n;
    EXPECT_EQ(game.boxes()[0].text, badArgumentBox(L"CHR"));
  }
}

TEST(Strings, StrWritesIntegersInAnyBase) {
  Script s;
  const int hexMinus = s.call("STR", {s.integer(-1), s.integer(16)});
  const int baseZero = s.call("STR", {s.integer(255), s.integer(0)});
  const int negative = s.call("STR", {s.integer(-255), s.integer(10)});
  const int lowest = s.call("STR", {s.integer(INT_MIN), s.integer(10)});
  const int binary = s.call("STR", {s.integer(-1), s.integer(2)});
  const int octal = s.call("STR", {s.integer(-10), s.integer(8)});
  const int base36 = s.call("STR", {s.integer(35), s.integer(36)});
  const int zero = s.call("STR", {s.integer(0), s.integer(2)});
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_TRUE(game.boxes().empty());
  EXPECT_EQ(game.text(hexMinus), "ffffffff");
  EXPECT_EQ(game.text(baseZero), "255");
  EXPECT_EQ(game.text(negative), "-255");
  EXPECT_EQ(game.text(lowest), "-2147483648");
  EXPECT_EQ(game.text(binary), std::string(32, '1'));
  EXPECT_EQ(game.text(octal), "37777777766");
  EXPECT_EQ(game.text(base36), "z");
  EXPECT_EQ(game.lengthField(base36), 2);
  EXPECT_EQ(game.text(zero), "0");
}

TEST(Strings, StrRefusesABaseWithoutDigits) {
  for (int base : {1, 37, -16, INT_MIN}) {
    Script s;
    const int reached = s.slot();
    s.call("STR", {s.integer(100), s.integer(base)});
    s.mark(reached, kReached);
    Game game(s);
    EXPECT_FALSE(game.step()) << base;
    EXPECT_NE(game.slot(reached), kReached) << base;
    ASSERT_EQ(game.boxes().size(), 1u) << base;
    EXPECT_EQ(game.boxes()[0].text, badArgumentBox(L"STR"));
  }
}

TEST(Strings, StrfUsesSixDecimalsAndIgnoresItsSecondArgument) {
  Script s;
  const int half = s.call("STRF", {s.real(1.5f), s.integer(99)});
  const int quarter = s.call("STRF", {s.real(-0.25f), s.integer(0)});
  const int tenth = s.call("STRF", {s.real(0.1f), s.integer(-3)});
  const int big = s.call("STRF", {s.real(1e10f), s.integer(2)});
  const int largest = s.call("STRF", {s.real(FLT_MAX), s.integer(2)});
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(game.text(half), "1.500000");
  EXPECT_EQ(game.text(quarter), "-0.250000");
  EXPECT_EQ(game.text(tenth), "0.100000");
  EXPECT_EQ(game.text(big), "10000000000.000000");
  EXPECT_EQ(game.text(largest), "340282346638528859811704183484516925440.000000");
  EXPECT_EQ(game.lengthField(largest), 47);
}

TEST(Strings, AtoiAndAtofReadLeadingNumbers) {
  Script s;
  const int signedTail = s.call("ATOI", {s.text("  -42abc")});
  const int plus = s.call("ATOI", {s.text("+7")});
  const int blanks = s.call("ATOI", {s.text("\t\n 12")});
  const int empty = s.call("ATOI", {s.text("")});
  const int none = s.call("ATOI", {s.noString()});
  const int hex = s.call("ATOI", {s.text("0x1F")});
  const int spaced = s.call("ATOI", {s.text("- 5")});
  const int tooBig = s.call("ATOI", {s.text("99999999999")});
  const int tooSmall = s.call("ATOI", {s.text("-99999999999")});
  const int exponent = s.call("ATOF", {s.text(" 2.5e1")});
  const int letters = s.call("ATOF", {s.text("abc")});
  const int tenth = s.call("ATOF", {s.text("0.1")});
  const int trailing = s.call("ATOF", {s.text("-3.75xyz")});
  const int nothing = s.call("ATOF", {s.noString()});
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(game.integer(signedTail), -42);
  EXPECT_EQ(game.integer(plus), 7);
  EXPECT_EQ(game.integer(blanks), 12);
  EXPECT_EQ(game.integer(empty), 0);
  EXPECT_EQ(game.integer(none), 0);
  EXPECT_EQ(game.integer(hex), 0);
  EXPECT_EQ(game.integer(spaced), 0);
  EXPECT_EQ(game.integer(tooBig), INT_MAX);
  EXPECT_EQ(game.integer(tooSmall), INT_MIN);
  EXPECT_EQ(game.real(exponent), 25.0f);
  EXPECT_EQ(game.real(letters), 0.0f);
  EXPECT_EQ(game.real(tenth), 0.1f);
  EXPECT_EQ(game.real(trailing), -3.75f);
  EXPECT_EQ(game.real(nothing), 0.0f);
}

TEST(Strings, LengCountsBytes) {
  Script s;
  const int ascii = s.call("LENG", {s.text("ABCDE")});
  const int kanji = s.call("LENG", {s.text(kNihon)});
  const int empty = s.call("LENG", {s.text("")});
  const int none = s.call("LENG", {s.noString()});
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(game.integer(ascii), 5);
  EXPECT_EQ(game.integer(kanji), 4);
  EXPECT_EQ(game.integer(empty), 0);
  EXPECT_EQ(game.integer(none), 0);
}

}  // namespace
