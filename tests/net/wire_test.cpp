// The protocol on the wire, against raw Winsock peers: the bytes a game
// sends, hostile peers that lie about their messages, and a connection so
// full that sends are taken only in part.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "net/registry.h"
#include "net/wire.h"
#include "tests/net/loopback.h"
#include "tests/net/net_games.h"

namespace qrt::test {
namespace {

Bytes plain(std::initializer_list<uint32_t> words, std::string_view strings) {
  return maskedMessage(words, strings, wire::Token{});
}

// The message as the mask rule says it goes out: one letter per byte after
// the length field, a digit naming the token byte it is XORed with, '.' for
// a byte that stays plain.
Bytes maskedBy(Bytes message, std::string_view rule, const wire::Token& token) {
  for (size_t i = 0; i < rule.size(); ++i)
    if (rule[i] != '.') message[4 + i] ^= token[rule[i] - '0'];
  return message;
}

// A user connected to 127.0.0.1:port; `state` its P@USERGETSTATE.
int connectedUser(Script& s, int port, const char* key, int& state) {
  const int u = userMake(s, port, key);
  state = s.slot();
  await(s, "P@USERGETSTATE", state, {u});
  return u;
}

// The mask byte by byte, against its eight-at-a-time code: every whole
// group of 8, then the first (r + 1) / 2 of the r bytes left.
TEST(Wire, TheMaskCoversWholeGroupsAndTheFirstHalfOfTheRest) {
  const wire::Token token{1, 2, 4, 8, 16, 32, 64, 128};
  for (size_t length = 0; length <= 41; ++length) {
    std::vector<uint8_t> bytes(length, 0);
    wire::mask(bytes.data(), length, token);
    const size_t whole = length / 8 * 8, rest = length - whole;
    for (size_t i = 0; i < length; ++i)
      EXPECT_EQ(bytes[i], i < whole + (rest + 1) / 2 ? token[i % 8] : 0) << length << " " << i;
  }
}

TEST(Wire, MessagesGoOutMaskedByteForByteAndComeBackTheSame) {
  const int port = freePort();
  Listener raw(port);
  const wire::Token token = connectionToken("wire-key");
  Script s;
  int state = 0;
  const int u = connectedUser(s, port, "wire-key", state);
  pushExample(s, u);
  s.run("P@SEND", {u});
  s.run("P@PUSHINT", {u, s.integer(7)});
  s.run("P@PUSHSTR", {u, s.text("abcdefgh")});
  s.run("P@SEND", {u});
  const int empty = s.call("P@SEND", {u});   // nothing pushed: a message of its header alone
  const int got = s.slot();
  await(s, "P@RECV", got, {u});
  const std::vector<int> taken = takeExample(s, u);
  const int got2 = s.slot();
  await(s, "P@RECV", got2, {u});
  const int seven = s.call("P@POPINT", {u}), eight = s.callText("P@POPSTR", {u});

  Game game(s);
  const Pump pump = [&] { game.step(); };
  Peer p = raw.accept(pump);
  ASSERT_TRUE(p.valid());
  ASSERT_TRUE(answerHello(p, token, pump));
  Bytes wire;
  ASSERT_TRUE(p.read(24 + 25 + 12, wire, pump));
  // L = 24 masks 20 bytes: two whole groups, then 2 of the last 4. L = 25
  // masks 21: two groups, then 3 of the last 5.
  const Bytes first(wire.begin(), wire.begin() + 24), second(wire.begin() + 24, wire.begin() + 49),
      third(wire.begin() + 49, wire.end());
  EXPECT_EQ(first, maskedBy(plain({24, 2, 2, 1, 0xFFFFFFFE}, std::string_view("ab\0\0", 4)),
                            "0123456701234567" "01..", token));
  EXPECT_EQ(second, maskedBy(plain({25, 1, 1, 7}, std::string_view("abcdefgh\0", 9)),
                             "0123456701234567" "012..", token));
  EXPECT_EQ(third, maskedBy(plain({12, 0, 0}, ""), "01234567", token));

  // Both back in one piece: the second waits in the game until asked for.
  ASSERT_TRUE(p.send(wire, pump));
  game.runToEnd();
  EXPECT_EQ(integers(game, {state, empty, got, got2, seven}), (std::vector<int32_t>{1, 0, 24, 25, 7}));
  expectExample(game, taken);
  EXPECT_EQ(game.text(eight), "abcdefgh");
  EXPECT_TRUE(game.boxCodes().empty());
}

TEST(Wire, HostilePeersAreCutOffAndTheGameGoesOn) {
  const wire::Token token = connectionToken("k");
  struct Hostile {
    const char* what;
    Bytes bytes;
    bool thenClose;
  };
  const Bytes example = maskedMessage({24, 2, 2, 1, 2}, std::string_view("ab\0\0", 4), token);
  const std::vector<Hostile> peers = {
      {"a length below the header", maskedMessage({11}, "", token), false},
      {"a length above the largest message", maskedMessage({32781, 0, 1}, "", token), false},
      {"a length of four gigabytes", maskedMessage({0xFFFFFFFF, 0, 0}, "", token), false},
      {"integers beyond the length", maskedMessage({16, 2, 0, 5}, "", token), false},
      {"an integer count that wraps to fit", maskedMessage({16, 0x40000001, 0, 5}, "", token), false},
      {"more strings than zeros", maskedMessage({17, 0, 3}, std::string_view("ab\0c\0", 5), token), false},
      {"a string without its zero", maskedMessage({16, 0, 1}, "abcd", token), false},
      {"bytes after the last string", maskedMessage({16, 0, 1}, std::string_view("ab\0c", 4), token), false},
      {"bytes and no strings", maskedMessage({16, 0, 0, 5}, "", token), false},
      {"a string more than counted", maskedMessage({16, 0, 1}, std::string_view("a\0b\0", 4), token), false},
      {"a message cut off", Bytes(example.begin(), example.begin() + 10), true},
      {"a peer gone between messages", Bytes(), true},
  };
  const int port = freePort();
  Script s;
  const int srv = s.call("P@SRVMAKE", {s.integer(port), s.text("k"), s.integer(0)});
  std::vector<int> users, results;
  for (size_t k = 0; k <= peers.size(); ++k) {
    users.push_back(s.slot());
    await(s, "P@SRVGETUSER", users.back(), {srv});
    results.push_back(s.slot());
    await(s, "P@RECV", results.back(), {users.back()});
  }
  const int number = s.call("P@POPINT", {users.back()});
  const int word = s.callText("P@POPSTR", {users.back()});

  Game game(s);
  const Pump pump = [&] { game.step(); };
  game.step();   // the server listens
  for (size_t k = 0; k < peers.size(); ++k) {
    SCOPED_TRACE(peers[k].what);
    Peer p = Peer::connectTo(port);
    ASSERT_TRUE(greet(p, token, pump));
    ASSERT_TRUE(p.send(peers[k].bytes, pump));
    if (peers[k].thenClose) p.close();
    for (int n = 0; n < 5000 && game.integer(results[k]) == 0; ++n) game.step();
    EXPECT_EQ(game.integer(results[k]), -1);
    if (!peers[k].thenClose) {
      EXPECT_TRUE(p.closedByOtherSide(pump));
    }
  }
  // And the next peer, a proper one, is heard.
  Peer p = Peer::connectTo(port);
  ASSERT_TRUE(greet(p, token, pump));
  ASSERT_TRUE(p.send(maskedMessage({19, 1, 1, 5}, std::string_view("hi\0", 3), token), pump));
  game.runToEnd();
  EXPECT_EQ(integers(game, {results.back(), number}), (std::vector<int32_t>{19, 5}));
  EXPECT_EQ(game.text(word), "hi");
  EXPECT_TRUE(game.boxCodes().empty());
}

// The game sends a 16 KB message a frame to a peer that reads nothing until
// a push shows that a message is still waiting to go; then it drains, and
// from there on reads as it comes. Every message must arrive whole and in
// order, those pushed while one was in flight arriving together.
TEST(Wire, APartSentIsFinishedLaterAndNothingPushedMeanwhileIsLost) {
  const int port = freePort();
  Listener raw(port);
  const wire::Token token = connectionToken("full");
  const std::string text(16000, 'p');
  Script s;
  int state = 0;
  const int u = connectedUser(s, port, "full", state);
  const int sequence = s.integer(0), free = s.slot(), stop = s.integer(0);
  const int body = s.text(text);
  s.loopUntil(20000, stop, [&] {
    s.run("P@SEND", {u});
    s.main().native([&](img::X86& x) {
      x.load(img::EAX, sequence);
      x.inc(img::EAX);
      x.store(sequence, img::EAX);
      x.next();
    });
    s.callInto("P@PUSHINT", free, {u, sequence});
    s.run("P@PUSHSTR", {u, body});
    s.wait();
  });
  s.loop(20, [&] {
    s.run("P@SEND", {u});
    s.wait();
  });

  Game game(s);
  const Pump pump = [&] { game.step(); };
  Peer p = raw.accept(pump);
  ASSERT_TRUE(answerHello(p, token, pump));
  Bytes stream;
  int waitingSeen = 0, framesAfter = 0;
  while (!game.ended() && framesAfter < 100) {
    game.step();
    if (game.integer(free) != 0 && game.integer(free) < 32764) {
      ++waitingSeen;
      p.readAvailable(stream, 200);
    } else if (waitingSeen) {
      p.readAvailable(stream);
    }
    if (waitingSeen && ++framesAfter == 100) game.frame()[stop] = 1;
  }
  game.runToEnd();
  p.readAvailable(stream, 200);
  ASSERT_GT(waitingSeen, 0) << "the connection never filled up";

  wire::Inbox in;
  size_t at = 0;
  int32_t expected = 1;
  int together = 0;
  for (;;) {
    in.start();
    wire::Inbox::Step step = in.received(0, token);
    while (step == wire::Inbox::Step::kMore && at < stream.size()) {
      const size_t n = std::min<size_t>(in.roomBytes(), stream.size() - at);
      std::memcpy(in.room(), stream.data() + at, n);
      at += n;
      step = in.received(static_cast<uint32_t>(n), token);
    }
    if (step == wire::Inbox::Step::kMore) break;   // the end of the stream
    ASSERT_EQ(step, wire::Inbox::Step::kComplete) << "before byte " << at;
    together += in.intCount() > 1;
    int32_t v;
    while (in.popInt(v)) ASSERT_EQ(v, expected++);
    std::string_view t;
    while (in.popText(t)) ASSERT_EQ(t, text);
  }
  EXPECT_EQ(expected - 1, game.integer(sequence));
  EXPECT_GT(together, 0);
  EXPECT_TRUE(game.boxCodes().empty());
}

}  // namespace
}  // namespace qrt::test
