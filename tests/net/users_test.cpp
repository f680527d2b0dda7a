// Servers and users as a game uses them: a server and a client in one
// game shake hands and exchange messages up to the largest; a wrong key, a
// refused connection and silent peers end in -1, the silent ones only at
// their time-out, which the test's clock drives.
#include <gtest/gtest.h>

#include "base/clock.h"
#include "net/registry.h"
#include "tests/net/loopback.h"
#include "tests/net/net_games.h"

namespace qrt::test {
namespace {

const std::string kLargest(32767, 'q');

TEST(Users, AServerAndAClientInOneGameExchangeMessagesUpToTheLargest) {
  const int port = freePort();
  Script s;
  auto serve = [&] { return s.call("P@SRVMAKE", {s.integer(port), s.text("key"), s.integer(0)}); };
  const int srv = serve(), portTaken = serve();
  const int cli = userMake(s, port, "key");
  const int beforeHandshake = s.call("P@RECV", {cli});
  const int acc = s.slot(), state = s.slot();
  s.loopUntil(2000, acc, [&] {
    s.callInto("P@USERGETSTATE", state, {cli});
    s.callInto("P@SRVGETUSER", acc, {srv});
    s.wait();
  });
  await(s, "P@USERGETSTATE", state, {cli});
  const int nextUser = s.call("P@SRVGETUSER", {srv}), ip = s.call("P@SRVGETUSERIP", {acc});

  // The example message, what each push leaves free, and an answer.
  std::vector<int> left;
  left.push_back(s.call("P@PUSHINT", {cli, s.integer(1)}));
  left.push_back(s.call("P@PUSHINT", {cli, s.integer(-2)}));
  left.push_back(s.call("P@PUSHSTR", {cli, s.text("ab")}));
  left.push_back(s.call("P@PUSHSTR", {cli, s.text("")}));
  const int sent = s.call("P@SEND", {cli}), got = s.slot();
  await(s, "P@RECV", got, {acc});
  const std::vector<int> taken = takeExample(s, acc);
  s.run("P@PUSHINT", {acc, s.integer(99)});
  s.run("P@SEND", {acc});
  const int answer = s.slot();
  await(s, "P@RECV", answer, {cli});
  const int answered = s.call("P@POPINT", {cli});

  // The largest messages either way: 8192 integers, one 32767-byte string.
  const int lastLeft = s.slot(), gotInts = s.slot(), gotText = s.slot();
  s.loop(8192, [&] { s.callInto("P@PUSHINT", lastLeft, {cli, s.integer(7)}); });
  s.run("P@SEND", {cli});
  await(s, "P@RECV", gotInts, {acc});
  const int manyInts = s.call("P@RECVINT", {acc});
  const int fullLeft = s.call("P@PUSHSTR", {acc, s.text(kLargest)});
  s.run("P@SEND", {acc});
  await(s, "P@RECV", gotText, {cli});
  const int largest = s.callText("P@POPSTR", {cli});

  // A server's handle is no user; a closed server frees its port and leaves
  // its users connected.
  const int notAUser = s.call("P@PUSHINT", {srv, s.integer(5)});
  s.run("P@CLOSE", {srv});
  const int reopened = serve();
  s.run("P@PUSHINT", {acc, s.integer(5)});
  s.run("P@SEND", {acc});
  const int afterClose = s.slot();
  await(s, "P@RECV", afterClose, {cli});

  // A full message ends the program at the next push.
  const int cliFull = s.call("P@PUSHSTR", {cli, s.text(kLargest)});
  s.run("P@PUSHSTR", {cli, s.text("")});
  const int reached = s.marker();

  Game game(s);
  game.runToEnd();
  EXPECT_GT(game.integer(srv), 65535);
  EXPECT_GT(game.integer(acc), 65535);
  EXPECT_GT(game.integer(reopened), 65535);
  EXPECT_EQ(integers(game, {portTaken, beforeHandshake, state, nextUser, ip}),
            (std::vector<int32_t>{0, 1, 1, 0, 2130706433}));
  EXPECT_EQ(integers(game, left), (std::vector<int32_t>{32764, 32760, 32757, 32756}));
  EXPECT_EQ(integers(game, {sent, got, answer, answered}), (std::vector<int32_t>{0, 24, 16, 99}));
  expectExample(game, taken);
  EXPECT_EQ(integers(game, {lastLeft, gotInts, manyInts, fullLeft, gotText}),
            (std::vector<int32_t>{0, 32780, 8192, 0, 32780}));
  EXPECT_EQ(game.text(largest), kLargest);
  EXPECT_EQ(integers(game, {notAUser, afterClose, cliFull, reached}), (std::vector<int32_t>{32767, 16, 0, 0}));
  EXPECT_EQ(game.boxCodes(), std::vector<int>{660});
}

// The commands' clock, standing still until the test moves it.
uint32_t g_now = 0;
struct HeldClock {
  explicit HeldClock(uint32_t start) {
    g_now = start;
    setClockSource([] { return g_now; });
  }
  ~HeldClock() { setClockSource(nullptr); }
};

TEST(Users, AWrongKeyARefusalAndSilentPeersEndInMinusOne) {
  HeldClock clock(1000);
  const int port = freePort(), refusedPort = freePort(), silentPort = freePort(), quietPort = freePort();
  Listener silentServer(silentPort), quietServer(quietPort);
  const wire::Token token = connectionToken("k");

  Script s;
  const int srv = s.call("P@SRVMAKE", {s.integer(port), s.text("right"), s.integer(0)});
  const int wrong = userMake(s, port, "wrong");
  const int handedOut = s.slot(), wrongState = s.slot(), refusedState = s.slot();
  s.loopUntil(2000, wrongState, [&] {
    s.callInto("P@SRVGETUSER", handedOut, {srv});
    s.callInto("P@USERGETSTATE", wrongState, {wrong});
    s.wait();
  });
  await(s, "P@USERGETSTATE", refusedState, {userMake(s, refusedPort, "k")});
  // Nothing answers `silent`; `quiet` is answered and then hears nothing.
  const int silent = userMake(s, silentPort, "k"), quiet = userMake(s, quietPort, "k");
  const int silentState = s.slot(), quietState = s.slot(), quietRecv = s.slot(), pendingUser = s.slot();
  s.loopUntil(1000000, silentState, [&] {
    s.callInto("P@USERGETSTATE", silentState, {silent});
    s.callInto("P@USERGETSTATE", quietState, {quiet});
    s.callInto("P@RECV", quietRecv, {quiet});
    s.callInto("P@SRVGETUSER", pendingUser, {srv});
    s.wait();
  });

  Game game(s);
  const Pump pump = [&] { game.step(); };
  Peer fromSilent = silentServer.accept(pump), fromQuiet = quietServer.accept(pump);
  Bytes hello;
  ASSERT_TRUE(fromSilent.read(wire::kHelloSize, hello, pump));
  ASSERT_TRUE(answerHello(fromQuiet, token, pump));
  Peer neverSpeaks = Peer::connectTo(port);
  ASSERT_TRUE(neverSpeaks.valid());
  for (int k = 0; k < 50; ++k) game.step();
  // The wrong key and the port nobody serves failed at once, while the
  // clock stood still.
  EXPECT_EQ(integers(game, {wrongState, handedOut, refusedState}), (std::vector<int32_t>{-1, 0, -1}));
  EXPECT_EQ(integers(game, {silentState, quietState, quietRecv}), (std::vector<int32_t>{0, 1, 0}));
  g_now += 60000;
  game.step();
  EXPECT_EQ(integers(game, {silentState, quietRecv}), (std::vector<int32_t>{0, 0}));
  g_now += 1;
  game.step();
  EXPECT_EQ(integers(game, {silentState, quietRecv, pendingUser}), (std::vector<int32_t>{-1, -1, 0}));
  EXPECT_TRUE(neverSpeaks.closedByOtherSide());
  EXPECT_TRUE(fromQuiet.closedByOtherSide());
  game.runToEnd();
  EXPECT_TRUE(game.boxCodes().empty());
}

// A peer that answers the hello and then reads nothing: the game's sends
// fill the connection, the message left in flight is tried again at every
// P@SEND while the clock stands still, and is given up with -1 once 60 s
// have passed since it was made.
TEST(Users, ASendNobodyTakesEndsInMinusOneAtItsTimeOut) {
  HeldClock clock(1000);
  const int port = freePort();
  Listener server(port);
  const wire::Token token = connectionToken("k");
  Script s;
  const int u = userMake(s, port, "k");
  const int state = s.slot();
  await(s, "P@USERGETSTATE", state, {u});
  const int body = s.text(std::string(16000, 's')), one = s.integer(1);
  const int free = s.slot(), sent = s.slot(), stopPushing = s.integer(0);
  s.loopUntil(1000000, sent, [&] {
    s.callInto("P@SEND", sent, {u});
    const img::Label skip = s.main().label();
    s.main().native([&](img::X86& x) {
      x.load(img::EAX, stopPushing);
      x.cmpImm(img::EAX, 0);
      const img::Label push = x.label();
      x.jcc(img::Cond::E, push);
      x.next(skip);
      x.bind(push);
      x.next();
    });
    s.callInto("P@PUSHINT", free, {u, one});
    s.run("P@PUSHSTR", {u, body});
    s.main().bind(skip);
    s.wait();
  });

  Game game(s);
  const Pump pump = [&] { game.step(); };
  Peer p = server.accept(pump);
  ASSERT_TRUE(answerHello(p, token, pump));
  // A push that finds a message still in flight leaves less than a whole
  // message free.
  int steps = 0;
  while (!(game.integer(free) != 0 && game.integer(free) < 32764) && ++steps < 20000) game.step();
  ASSERT_LT(steps, 20000) << "the connection never filled up";
  game.frame()[stopPushing] = 1;
  for (int k = 0; k < 50; ++k) game.step();
  EXPECT_EQ(game.integer(sent), 0);
  g_now += 60001;
  for (int k = 0; k < 5 && game.integer(sent) == 0; ++k) game.step();
  EXPECT_EQ(game.integer(sent), -1);
  game.runToEnd();
  EXPECT_TRUE(game.boxCodes().empty());
}

// Connections that never say hello: a server holds 32 of them at most (the
// next waits in the backlog) and drops them 60 s after they came, making
// room for the one waiting.
TEST(Users, AServerHoldsAtMost32ConnectionsWaitingForTheirHello) {
  HeldClock clock(1000);
  const int port = freePort();
  Script s;
  const int srv = s.call("P@SRVMAKE", {s.integer(port), s.text("k"), s.integer(0)});
  const int got = s.slot(), stop = s.integer(0);
  s.loopUntil(1000000, stop, [&] {
    s.callInto("P@SRVGETUSER", got, {srv});
    s.wait();
  });

  Game game(s);
  game.step();   // the server listens
  std::vector<Peer> peers;
  for (int k = 0; k < 33; ++k) {
    peers.push_back(Peer::connectTo(port));
    ASSERT_TRUE(peers.back().valid()) << k;
    game.step();
  }
  for (int k = 0; k < 20; ++k) game.step();
  NetworkServer* server = networkRegistry()->servers.find(game.slot(srv));
  ASSERT_NE(server, nullptr);
  EXPECT_EQ(server->pending.size(), 32u);
  g_now += 60001;
  for (int k = 0; k < 5; ++k) game.step();
  EXPECT_EQ(server->pending.size(), 1u);
  EXPECT_TRUE(peers.front().closedByOtherSide());
  EXPECT_EQ(game.integer(got), 0);
  game.frame()[stop] = 1;
  game.runToEnd();
  EXPECT_TRUE(game.boxCodes().empty());
}

}  // namespace
}  // namespace qrt::test
