// The demo's two-player mode as players start it: game executables made
// from the demo's image, one started with `host <port>`, one with
// `join <port>`, and a third joining a server that hangs up on it and then
// goes away. In screenshot mode each ends by itself and writes what it saw
// of its peer beside itself (demo_peer.txt).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <tuple>

#include "compiler/compiler.h"
#include "image/image_builder.h"
#include "tests/e2e/harness.h"
#include "tests/net/loopback.h"

namespace qrt::test {
namespace {

// The demo compiled from its scripts (examples/demo) and linked as demo.exe
// in the folder, beside the files it loads.
std::wstring makeDemo(const e2e::ScratchFolder& dir) {
  namespace fs = std::filesystem;
  const fs::path source(e2e::hostFile(QRT_DEMO_DIR));
  qrtc::DiskLoader loader;
  const std::u8string script = (source / "demo.qrs").u8string();
  const qrtc::CompileResult compiled = qrtc::compile(std::string(script.begin(), script.end()), loader);
  if (!compiled.ok()) throw std::runtime_error("the demo does not compile:\n" + qrtc::formatDiagnostics(compiled));
  for (const auto& entry : fs::directory_iterator(source))
    if (entry.path().extension() != ".qrs") fs::copy_file(entry.path(), fs::path(dir.path()) / entry.path().filename());
  const std::wstring exe = dir.file(L"demo.exe");
  img::writeFile(exe, img::linkGame(img::readFile(e2e::hostFile(QRT_RUNTIME_EXE)), compiled.image));
  return exe;
}

// In screenshot mode a two-player copy waits for this many of its peer's
// positions before its shot.
constexpr int kShotPositions = 10;

struct Seen {
  std::string role;
  int positions = -1, x = -1, y = -1;
};

Seen report(const e2e::ScratchFolder& dir) {
  std::ifstream in(std::filesystem::path(dir.file(L"demo_peer.txt")));
  Seen s;
  in >> s.role >> s.positions >> s.x >> s.y;
  return s;
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

e2e::RunOptions withArguments(const std::string& words) {
  e2e::RunOptions options;
  options.arguments = std::wstring(words.begin(), words.end());
  options.timeoutMs = paced(60000);
  return options;
}

// Nothing tells when a host has started but its listening socket.
bool listening(e2e::GameRun& game, int port) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < static_cast<DWORD>(paced(30000)) && game.poll()) {
    if (Peer::connectTo(port).valid()) return true;
    game.pause(20);
  }
  return false;
}

TEST(DemoPair, HostAndJoinerSeeEachOtherAndALoneJoinerGivesUp) {
  e2e::ScratchFolder hostDir("demo_pair_host"), joinDir("demo_pair_join"), loneDir("demo_pair_lone");
  const std::wstring hostExe = makeDemo(hostDir), joinExe = makeDemo(joinDir), loneExe = makeDemo(loneDir);
  SetEnvironmentVariableW(L"QRT_DEMO_SHOT", L"1");
  const int port = freePort();
  int lonePort = freePort();
  while (lonePort == port) lonePort = freePort();

  // The lone joiner first: a server of ours takes its connection and hangs
  // up, takes the next attempt and hangs up, then stops listening.
  auto lonely = std::make_unique<Listener>(lonePort);
  e2e::GameRun lone(loneExe, withArguments("join " + std::to_string(lonePort)));
  ASSERT_TRUE(lone.started());
  const Pump pumpLone = [&] { lone.poll(), lone.pause(10); };
  for (int attempt = 0; attempt < 2; ++attempt) {
    Peer p = lonely->accept(pumpLone);
    ASSERT_TRUE(p.valid()) << "attempt " << attempt << " never came";
  }
  lonely.reset();

  // Then the pair, the host first; the joiner's window takes the
  // activation from both others, which go on in the background.
  e2e::GameRun host(hostExe, withArguments("host " + std::to_string(port)));
  ASSERT_TRUE(host.started());
  ASSERT_TRUE(listening(host, port)) << "the host never listened";
  e2e::GameRun join(joinExe, withArguments("join " + std::to_string(port)));
  ASSERT_TRUE(join.started());

  const DWORD start = GetTickCount();
  for (bool running = true; running && GetTickCount() - start < static_cast<DWORD>(paced(60000));) {
    running = lone.poll();
    running = host.poll() || running;
    running = join.poll() || running;
    join.pause(10);
  }
  for (e2e::GameRun* game : {&host, &join, &lone}) {
    const GameResult ended = game->finish();
    EXPECT_FALSE(ended.timedOut);
    EXPECT_EQ(ended.exitCode, 0u);
    EXPECT_TRUE(ended.boxes.empty()) << e2e::utf8FromCp932(ended.boxes[0].text);
  }

  // The rockets stay where they start, 80 pixels either side of the
  // middle: the host's top left at (224, 376), the joiner's at (384, 376).
  // A copy answers each position with its own, so the two counts differ by
  // one at most, and the first to end has seen enough of them.
  const Seen byHost = report(hostDir), byJoiner = report(joinDir), byLone = report(loneDir);
  EXPECT_EQ(std::tie(byHost.role, byHost.x, byHost.y), std::make_tuple("host", 384, 376));
  EXPECT_EQ(std::tie(byJoiner.role, byJoiner.x, byJoiner.y), std::make_tuple("join", 224, 376));
  EXPECT_GE(byHost.positions, kShotPositions - 1);
  EXPECT_GE(byJoiner.positions, kShotPositions - 1);
  EXPECT_LE(std::abs(byHost.positions - byJoiner.positions), 1);
  EXPECT_EQ(std::tie(byLone.role, byLone.positions, byLone.x, byLone.y), std::make_tuple("join", 0, 0, 0));
  for (const e2e::ScratchFolder* dir : {&hostDir, &joinDir, &loneDir})
    EXPECT_TRUE(exists(dir->file(L"demo_shot.png")));
}

}  // namespace
}  // namespace qrt::test
