// A fresh run draws from the generator's initial state, before any
// RANDSET: the generator is the run's own, whatever ran before it.
#include <gtest/gtest.h>

#include "tests/support/script.h"

namespace {

TEST(RandomStart, WithoutRandSetTheSequenceStartsAtStateOne) {
  {
    // Another game draws first, and seeds too.
    qrt::test::Script other;
    other.call("RAND");
    other.run("RANDSET", {other.integer(1234)});
    other.call("RAND");
    qrt::test::Game game(other);
    game.runToEnd();
  }
  qrt::test::Script s;
  const int r1 = s.call("RAND"), r2 = s.call("RAND"), r3 = s.call("RAND");
  qrt::test::Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(game.integer(r1), 41);
  EXPECT_EQ(game.integer(r2), 18467);
  EXPECT_EQ(game.integer(r3), 6334);
}

}  // namespace
