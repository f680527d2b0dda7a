// Servers and users as a game uses them: a server and a client in one
// game shake hands and exchange messages up to the largest; a wrong key, a
// refused connection and silent peers end in -1, the silent ones only at
// their time-out, which the test's clock drives.
#include <gtest/gtest.h>

#include "base/clock.h"
#include "net/registry.h"
#include "tests/net/example_message.h"
#include "tests/net/loopback.h"
#include "tests/support/script.h"

namespace qrt::test {
namespace {

const std::string kLargest(32767, 'q');

int userMake(Script& s, int port, const char* key) {
  return s.call("P@USERMAKE", {s.text("127.0.0.1"), s.integer(port), s.text(key), s.integer(0)});
}

// `into` = the command's result, once per frame until it is nonzero.
void awaitResult(Script& s, const char* command, int into, const std::vector<int>& args) {
  s.loopUntil(2000, into, [&] {
    s.callInto(command, into, args);
    s.wait();
  });
}

TEST(Users, AServerAndAClientInOneGameExchangeMessagesUpToTheLargest) {
  const int port = freePort();
  Script s;
  const int srv = s.call("P@SRVMAKE", {s.integer(port), s.text("key"), s.integer(0)});
  const int portTaken = s.call("P@SRVMAKE", {s.integer(port), s.text("key"), s.integer(0)});
  const int cli = userMake(s, port, "key");
  const int beforeHandshake = s.call("P@RECV", {cli});
  const int acc = s.slot(), state = s.slot();
  s.loopUntil(2000, acc, [&] {
    s.callInto("P@USERGETSTATE", state, {cli});
    s.callInto("P@SRVGETUSER", acc, {srv});
    s.wait();
  });
  awaitResult(s, "P@USERGETSTATE", state, {cli});
  const int nextUser = s.call("P@SRVGETUSER", {srv});
  const int ip = s.call("P@SRVGETUSERIP", {acc});

  // The example message, and an answer.
  const int free1 = s.call("P@PUSHINT", {cli, s.integer(1)});
  const int free2 = s.call("P@PUSHINT", {cli, s.integer(-2)});
  const int free3 = s.call("P@PUSHSTR", {cli, s.text("ab")});
  const int free4 = s.call("P@PUSHSTR", {cli, s.text("")});
  const int sent = s.call("P@SEND", {cli});
  const int got = s.slot();
  awaitResult(s, "P@RECV", got, {acc});
  const ExampleTaken taken = takeExample(s, acc);
  s.run("P@PUSHINT", {acc, s.integer(99)});
  s.run("P@SEND", {acc});
  const int answer = s.slot();
  awaitResult(s, "P@RECV", answer, {cli});
  const int answered = s.call("P@POPINT", {cli});

  // The largest messages either way: 8192 integers, one 32767-byte string.
  const int lastFree = s.slot();
  s.loop(8192, [&] { s.callInto("P@PUSHINT", lastFree, {cli, s.integer(7)}); });
  s.run("P@SEND", {cli});
  const int gotInts = s.slot();
  awaitResult(s, "P@RECV", gotInts, {acc});
  const int manyInts = s.call("P@RECVINT", {acc});
  const int fullFree = s.call("P@PUSHSTR", {acc, s.text(kLargest)});
  s.run("P@SEND", {acc});
  const int gotText = s.slot();
  awaitResult(s, "P@RECV", gotText, {cli});
  const int largest = s.callText("P@POPSTR", {cli});

  // A server's handle is no user; a closed server frees its port and leaves
  // its users connected.
  const int notAUser = s.call("P@PUSHINT", {srv, s.integer(5)});
  s.run("P@CLOSE", {srv});
  const int reopened = s.call("P@SRVMAKE", {s.integer(port), s.text("key"), s.integer(0)});
  s.run("P@PUSHINT", {acc, s.integer(5)});
  s.run("P@SEND", {acc});
  const int afterClose = s.slot();
  awaitResult(s, "P@RECV", afterClose, {cli});

  // A full message ends the program at the next push.
  const int cliFull = s.call("P@PUSHSTR", {cli, s.text(kLargest)});
  s.run("P@PUSHSTR", {cli, s.text("")});
  const int reached = s.marker();

  Game game(s);
  game.runToEnd();
  EXPECT_GT(game.integer(srv), 65535);
  EXPECT_EQ(game.integer(portTaken), 0);
  EXPECT_EQ(game.integer(beforeHandshake), 1);
  EXPECT_GT(game.integer(acc), 65535);
  EXPECT_EQ(game.integer(state), 1);
  EXPECT_EQ(game.integer(nextUser), 0);
  EXPECT_EQ(game.integer(ip), 2130706433);
  EXPECT_EQ(game.integer(free1), 32764);
  EXPECT_EQ(game.integer(free2), 32760);
  EXPECT_EQ(game.integer(free3), 32757);
  EXPECT_EQ(game.integer(free4), 32756);
  EXPECT_EQ(game.integer(sent), 0);
  EXPECT_EQ(game.integer(got), 24);
  expectExample(game, taken);
  EXPECT_EQ(game.integer(answer), 16);
  EXPECT_EQ(game.integer(answered), 99);
  EXPECT_EQ(game.integer(lastFree), 0);
  EXPECT_EQ(game.integer(gotInts), 32780);
  EXPECT_EQ(game.integer(manyInts), 8192);
  EXPECT_EQ(game.integer(fullFree), 0);
  EXPECT_EQ(game.integer(gotText), 32780);
  EXPECT_EQ(game.text(largest), kLargest);
  EXPECT_EQ(game.integer(notAUser), 32767);
  EXPECT_GT(game.integer(reopened), 65535);
  EXPECT_EQ(game.integer(afterClose), 16);
  EXPECT_EQ(game.integer(cliFull), 0);
  EXPECT_EQ(game.integer(reached), 0);
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
  const int handedOut = s.slot(), wrongState = s.slot();
  s.loopUntil(2000, wrongState, [&] {
    s.callInto("P@SRVGETUSER", handedOut, {srv});
    s.callInto("P@USERGETSTATE", wrongState, {wrong});
    s.wait();
  });
  const int refused = userMake(s, refusedPort, "k");
  const int refusedState = s.slot();
  awaitResult(s, "P@USERGETSTATE", refusedState, {refused});
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
  // The wrong key was refused at once, and so was the port nobody serves,
  // while the clock stood still.
  EXPECT_EQ(game.integer(wrongState), -1);
  EXPECT_EQ(game.integer(handedOut), 0);
  EXPECT_EQ(game.integer(refusedState), -1);
  EXPECT_EQ(game.integer(silentState), 0);
  EXPECT_EQ(game.integer(quietState), 1);
  EXPECT_EQ(game.integer(quietRecv), 0);

  g_now += 60000;
  game.step();
  EXPECT_EQ(game.integer(silentState), 0);
  EXPECT_EQ(game.integer(quietRecv), 0);
  g_now += 1;
  game.step();
  EXPECT_EQ(game.integer(silentState), -1);
  EXPECT_EQ(game.integer(quietRecv), -1);
  EXPECT_EQ(game.integer(pendingUser), 0);
  EXPECT_TRUE(neverSpeaks.closedByOtherSide());
  EXPECT_TRUE(fromQuiet.closedByOtherSide());
  game.runToEnd();
  EXPECT_TRUE(game.boxCodes().empty());
}

}  // namespace
}  // namespace qrt::test
