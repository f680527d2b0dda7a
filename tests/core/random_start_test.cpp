// A fresh process draws from the generator's initial state, before any
// RANDSET: this runs alone so that no other program has drawn first.
#include <gtest/gtest.h>

#include "tests/core/script.h"

namespace {

TEST(RandomStart, WithoutRandSetTheSequenceStartsAtStateOne) {
  qrt::test::Script s;
  const int r1 = s.call("RAND"), r2 = s.call("RAND"), r3 = s.call("RAND");
  qrt::test::Game game(s);
  EXPECT_FALSE(game.step());
  EXPECT_EQ(game.integer(r1), 41);
  EXPECT_EQ(game.integer(r2), 18467);
  EXPECT_EQ(game.integer(r3), 6334);
}

}  // namespace
