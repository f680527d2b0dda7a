#include "tests/net/example_message.h"

#include <gtest/gtest.h>

namespace qrt::test {

void pushExample(Script& s, int user) {
  s.run("P@PUSHINT", {user, s.integer(1)});
  s.run("P@PUSHINT", {user, s.integer(-2)});
  s.run("P@PUSHSTR", {user, s.text("ab")});
  s.run("P@PUSHSTR", {user, s.text("")});
}

ExampleTaken takeExample(Script& s, int user) {
  ExampleTaken t;
  t.ints = s.call("P@RECVINT", {user});
  t.strings = s.call("P@RECVSTR", {user});
  t.pop1 = s.call("P@POPINT", {user});
  t.pop2 = s.call("P@POPINT", {user});
  t.pop3 = s.call("P@POPINT", {user});
  t.text1 = s.callText("P@POPSTR", {user});
  t.text2 = s.callText("P@POPSTR", {user});
  t.text3 = s.call("P@POPSTR", {user});
  return t;
}

void expectExample(Game& game, const ExampleTaken& t) {
  EXPECT_EQ(game.integer(t.ints), 2);
  EXPECT_EQ(game.integer(t.strings), 2);
  EXPECT_EQ(game.integer(t.pop1), 1);
  EXPECT_EQ(game.integer(t.pop2), -2);
  EXPECT_EQ(game.integer(t.pop3), 0);
  EXPECT_EQ(game.text(t.text1), "ab");
  EXPECT_EQ(game.text(t.text2), "");
  EXPECT_EQ(game.slot(t.text3), 0u);   // no string at all
}

}  // namespace qrt::test
