// Numbers and random numbers as a program computes them.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <ctime>

#include "tests/support/script.h"

namespace {

using qrt::test::Game;
using qrt::test::Script;

TEST(Numbers, IntegerFunctionsAtTheirEdges) {
  Script s;
  const int absNeg = s.call("ABS", {s.integer(-5)});
  const int absMin = s.call("ABS", {s.integer(INT_MIN)});
  const int sgnNeg = s.call("SGN", {s.integer(-9)});
  const int sgnZero = s.call("SGN", {s.integer(0)});
  const int sgnPos = s.call("SGN", {s.integer(INT_MAX)});
  const int maxNeg = s.call("MAX", {s.integer(-3), s.integer(-7)});
  const int maxPos = s.call("MAX", {s.integer(2), s.integer(8)});
  const int minNeg = s.call("MIN", {s.integer(-3), s.integer(-7)});
  const int minEdge = s.call("MIN", {s.integer(INT_MIN), s.integer(INT_MAX)});
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_TRUE(game.boxes().empty());
  EXPECT_EQ(game.integer(absNeg), 5);
  EXPECT_EQ(game.integer(absMin), INT_MIN) << "the most negative integer stays itself";
  EXPECT_EQ(game.integer(sgnNeg), -1);
  EXPECT_EQ(game.integer(sgnZero), 0);
  EXPECT_EQ(game.integer(sgnPos), 1);
  EXPECT_EQ(game.integer(maxNeg), -3);
  EXPECT_EQ(game.integer(maxPos), 8);
  EXPECT_EQ(game.integer(minNeg), -7);
  EXPECT_EQ(game.integer(minEdge), INT_MIN);
}

TEST(Numbers, RealFunctionsRoundToSinglePrecision) {
  Script s;
  const int absf = s.call("ABSF", {s.real(-2.5f)});
  const int absZero = s.call("ABSF", {s.real(-0.0f)});
  const int sgnf = s.call("SGNF", {s.real(-0.001f)});
  const int sgnfZero = s.call("SGNF", {s.real(-0.0f)});
  const int maxf = s.call("MAXF", {s.real(1.5f), s.real(-4.0f)});
  const int minf = s.call("MINF", {s.real(1.5f), s.real(-4.0f)});
  const int pow = s.call("POW", {s.real(2.0f), s.real(10.0f)});
  const int powNaN = s.call("POW", {s.real(-8.0f), s.real(1.0f / 3.0f)});
  const int exp = s.call("EXP", {s.real(1.0f)});
  const int log = s.call("LOG", {s.real(1.0f)});
  const int logZero = s.call("LOG", {s.real(0.0f)});
  const int log10 = s.call("LOG10", {s.real(1000.0f)});
  const int sqrt = s.call("SQRT", {s.real(2.0f)});
  const int sqrtNeg = s.call("SQRT", {s.real(-1.0f)});
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(game.real(absf), 2.5f);
  EXPECT_EQ(game.slot(absZero), 0u) << "positive zero";
  EXPECT_EQ(game.integer(sgnf), -1);
  EXPECT_EQ(game.integer(sgnfZero), 0);
  EXPECT_EQ(game.real(maxf), 1.5f);
  EXPECT_EQ(game.real(minf), -4.0f);
  EXPECT_EQ(game.real(pow), 1024.0f);
  EXPECT_TRUE(std::isnan(game.real(powNaN)));
  EXPECT_EQ(game.real(exp), static_cast<float>(std::exp(1.0)));
  EXPECT_EQ(game.real(log), 0.0f);
  EXPECT_TRUE(std::isinf(game.real(logZero)) && game.real(logZero) < 0);
  EXPECT_EQ(game.real(log10), 3.0f);
  EXPECT_EQ(game.real(sqrt), static_cast<float>(std::sqrt(2.0)));
  EXPECT_TRUE(std::isnan(game.real(sqrtNeg)));
}

TEST(Numbers, AnglesAreDegreesWithTheTenDigitPi) {
  Script s;
  const int sin90 = s.call("SIN", {s.real(90.0f)});
  const int sin180 = s.call("SIN", {s.real(180.0f)});
  const int cos0 = s.call("COS", {s.real(0.0f)});
  const int cos60 = s.call("COS", {s.real(60.0f)});
  const int tan45 = s.call("TAN", {s.real(45.0f)});
  const int atan1 = s.call("ATAN", {s.real(1.0f)});
  const int asin1 = s.call("ASIN", {s.real(1.0f)});
  const int acosNeg = s.call("ACOS", {s.real(-1.0f)});
  const int asinOut = s.call("ASIN", {s.real(2.0f)});
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(game.real(sin90), 1.0f);
  // With full-precision pi this would be about 1e-16; the ten-digit value
  // leaves 8.98e-11, which single precision shows.
  EXPECT_NEAR(game.real(sin180), 8.9793e-11f, 1e-14f);
  EXPECT_EQ(game.real(cos0), 1.0f);
  EXPECT_NEAR(game.real(cos60), 0.5f, 1e-6f);
  EXPECT_NEAR(game.real(tan45), 1.0f, 1e-6f);
  EXPECT_EQ(game.real(atan1), 45.0f);
  EXPECT_EQ(game.real(asin1), 90.0f);
  EXPECT_EQ(game.real(acosNeg), 180.0f);
  EXPECT_TRUE(std::isnan(game.real(asinOut)));
}

TEST(Random, SeededSequenceAndRealDraws) {
  Script s;
  s.call("RANDSET", {s.integer(1)});
  const int r1 = s.call("RAND"), r2 = s.call("RAND"), r3 = s.call("RAND");
  s.call("RANDSET", {s.integer(7)});
  const int r7 = s.call("RAND");
  // Seeds whose next draw is 32767 and 0: RANDF reaches both ends.
  s.call("RANDSET", {s.integer(static_cast<int32_t>(4028364353u))});
  const int one = s.call("RANDF");
  s.call("RANDSET", {s.integer(static_cast<int32_t>(2708534849u))});
  const int zero = s.call("RANDF");
  s.call("RANDSET", {s.integer(1)});
  const int half = s.call("RANDF");  // 41 / 32767
  Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(game.integer(r1), 41);
  EXPECT_EQ(game.integer(r2), 18467);
  EXPECT_EQ(game.integer(r3), 6334);
  EXPECT_EQ(game.integer(r7), 61);
  EXPECT_EQ(game.real(one), 1.0f);
  EXPECT_EQ(game.real(zero), 0.0f);
  EXPECT_EQ(game.real(half), static_cast<float>(41 / 32767.0));
}

TEST(Random, SeedZeroTakesTheCalendarTime) {
  Script s;
  s.call("RANDSET", {s.integer(0)});
  const int draw = s.call("RAND");
  const uint32_t before = static_cast<uint32_t>(std::time(nullptr));
  Game game(s);
  EXPECT_FALSE(game.step());
  const uint32_t after = static_cast<uint32_t>(std::time(nullptr));
  bool matched = false;
  for (uint32_t t = before; t <= after; ++t) {
    const uint32_t state = t * 214013u + 2531011u;
    matched = matched || game.integer(draw) == static_cast<int32_t>((state >> 16) & 0x7fff);
  }
  EXPECT_TRUE(matched) << game.integer(draw);
}

}  // namespace
