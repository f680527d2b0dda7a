// A game executable (the shipped runtime with its image) hosts; a game in
// this process joins it on 127.0.0.1. The host echoes what it decoded, so
// the answer shows that both ends read and write the same wire.
#include <gtest/gtest.h>

#include "tests/e2e/harness.h"
#include "tests/net/loopback.h"
#include "tests/net/net_games.h"

namespace qrt::test {
namespace {

// Frames are spent fast: a game waits here for the other process.
constexpr int kFrames = 1000000;

std::vector<uint8_t> hostImage(int port) {
  Script s;
  const int srv = s.call("P@SRVMAKE", {s.integer(port), s.text("e2e"), s.integer(0)});
  const int u = s.slot(), got = s.slot(), gone = s.slot();
  await(s, "P@SRVGETUSER", u, {srv}, kFrames);
  await(s, "P@RECV", got, {u}, kFrames);
  const int a = s.call("P@POPINT", {u}), b = s.call("P@POPINT", {u});
  const int t1 = s.callText("P@POPSTR", {u}), t2 = s.callText("P@POPSTR", {u});
  s.run("P@PUSHINT", {u, a});
  s.run("P@PUSHINT", {u, b});
  s.run("P@PUSHSTR", {u, t1});
  s.run("P@PUSHSTR", {u, t2});
  s.run("P@PUSHINT", {u, got});
  s.run("P@SEND", {u});
  await(s, "P@RECV", gone, {u}, kFrames);   // -1 once the guest has left
  return s.finish();
}

TEST(Games, AGameExecutableHostsAndAGameInThisProcessJoins) {
  const int port = freePort();
  e2e::ScratchFolder dir("net_host");
  const std::wstring exe = dir.file(L"host.exe");
  img::writeFile(exe, img::linkGame(img::readFile(e2e::hostFile(QRT_RUNTIME_EXE)), hostImage(port)));

  Script s;
  const int u = userMake(s, port, "e2e");
  const int state = s.slot(), back = s.slot();
  await(s, "P@USERGETSTATE", state, {u}, kFrames);
  pushExample(s, u);
  s.run("P@SEND", {u});
  await(s, "P@RECV", back, {u}, kFrames);
  const int ints = s.call("P@RECVINT", {u});
  const int a = s.call("P@POPINT", {u}), b = s.call("P@POPINT", {u}), length = s.call("P@POPINT", {u});
  const int t1 = s.callText("P@POPSTR", {u}), t2 = s.callText("P@POPSTR", {u});
  s.run("P@CLOSE", {u});

  // Our window first, so that the host's becomes the active one: an
  // inactive game is not stepped.
  Game guest(s);
  e2e::RunOptions options;
  options.timeoutMs = paced(60000);
  e2e::GameRun host(exe, options);
  ASSERT_TRUE(host.started());
  // Nothing tells when the host has started but its listening socket.
  bool listening = false;
  for (const DWORD start = GetTickCount();
       !listening && GetTickCount() - start < static_cast<DWORD>(paced(30000)) && host.poll();) {
    listening = Peer::connectTo(port).valid();
    if (!listening) Sleep(20);
  }
  ASSERT_TRUE(listening) << "the host never listened";

  guest.runToEnd();
  const GameResult ended = host.finish();
  EXPECT_FALSE(ended.timedOut);
  EXPECT_EQ(ended.exitCode, 0u);
  EXPECT_TRUE(ended.boxes.empty());
  EXPECT_EQ(integers(guest, {state, back, ints, a, b, length}), (std::vector<int32_t>{1, 12 + 12 + 4, 3, 1, -2, 24}));
  EXPECT_EQ(guest.text(t1), "ab");
  EXPECT_EQ(guest.text(t2), "");
  EXPECT_TRUE(guest.boxCodes().empty());
}

}  // namespace
}  // namespace qrt::test
