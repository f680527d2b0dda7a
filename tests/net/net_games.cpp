#include "tests/net/net_games.h"

#include <gtest/gtest.h>

namespace qrt::test {

void await(Script& s, const char* command, int into, const std::vector<int>& args, int frames) {
  s.loopUntil(frames, into, [&] {
    s.callInto(command, into, args);
    s.wait();
  });
}

int userMake(Script& s, int port, const char* key) {
  return s.call("P@USERMAKE", {s.text("127.0.0.1"), s.integer(port), s.text(key), s.integer(0)});
}

void pushExample(Script& s, int user) {
  s.run("P@PUSHINT", {user, s.integer(1)});
  s.run("P@PUSHINT", {user, s.integer(-2)});
  s.run("P@PUSHSTR", {user, s.text("ab")});
  s.run("P@PUSHSTR", {user, s.text("")});
}

std::vector<int> takeExample(Script& s, int user) {
  std::vector<int> t;
  for (const char* command : {"P@RECVINT", "P@RECVSTR", "P@POPINT", "P@POPINT", "P@POPINT"})
    t.push_back(s.call(command, {user}));
  t.push_back(s.callText("P@POPSTR", {user}));
  t.push_back(s.callText("P@POPSTR", {user}));
  t.push_back(s.call("P@POPSTR", {user}));
  return t;
}

void expectExample(Game& game, const std::vector<int>& taken) {
  EXPECT_EQ(integers(game, {taken.begin(), taken.begin() + 5}), (std::vector<int32_t>{2, 2, 1, -2, 0}));
  EXPECT_EQ(game.text(taken[5]), "ab");
  EXPECT_EQ(game.text(taken[6]), "");
  EXPECT_EQ(game.slot(taken[7]), 0u);   // no string at all
}

std::vector<int32_t> integers(Game& game, const std::vector<int>& slots) {
  std::vector<int32_t> v;
  for (int k : slots) v.push_back(game.integer(k));
  return v;
}

}  // namespace qrt::test
