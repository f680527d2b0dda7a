// Runs a game executable as a player would and watches its message boxes.
//
//   qrt::e2e::ScratchFolder dir("single_instance");
//   std::wstring game = dir.copyIn(hostFile(QRT_SOME_GAME));
//   qrt::test::GameResult r = qrt::test::runGame(game, qrt::test::paced(10000));
//   EXPECT_EQ(r.exitCode, 0u);
//   ASSERT_EQ(r.boxes.size(), 1u);
//   EXPECT_EQ(r.boxes[0].text, catalogueText);   // cp932, byte for byte
//
// The test program is a Windows program itself, so the game is started with
// CreateProcess and its boxes (dialog class #32770 owned by the game's
// process) are read and answered from here. Every box is answered with its
// default button unless RunOptions::answer says otherwise. Times are in
// milliseconds, as given: callers stretch their caps with test::paced().
#pragma once
#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/box.h"
#include "tests/support/pace.h"

namespace qrt::e2e {

using test::Box;
using test::GameResult;

struct RunOptions {
  std::wstring arguments;        // the command line after the program name
  std::wstring workingFolder;    // default: the executable's folder
  int timeoutMs = test::paced(30000);
  // Called for each new box before it is answered; returns the button to
  // press, or 0 for the box's default button.
  std::function<int(const Box&)> answer;
  // When set, the game runs with this process as its debugger and every
  // debug event is handed here first: exceptions the game handles itself
  // (the runtime's fault guard) show up as well as those that end it. The
  // game goes on as it would without a debugger. Called on a thread of its
  // own, which answers the game's events while the boxes are read.
  std::function<void(const DEBUG_EVENT&, HANDLE process)> debugEvents;
};

// A game process being watched. The destructor kills a game still running.
class GameRun {
 public:
  GameRun(const std::wstring& exePath, const RunOptions& options);
  ~GameRun();
  GameRun(const GameRun&) = delete;
  GameRun& operator=(const GameRun&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD processId() const { return processId_; }

  // Reads and answers the boxes showing now; false once the game has ended.
  bool poll();
  // Polls until a visible window of the game other than a box exists.
  bool waitForWindow(int timeoutMs);
  // Polls until the game ends or the time-out since its start passes (then
  // kills it), and returns what was seen.
  GameResult finish();
  void kill();
  // Whether the game's windows answer a message within `ms`: a game that
  // still runs its message loop, as opposed to one stuck outside it.
  bool responding(int ms);
  // Waits up to `ms` for the game, handling this thread's messages (for
  // callers running their own poll loop).
  void pause(DWORD ms);

  const std::vector<Box>& boxes() const { return result_.boxes; }

 private:
  void answerBox(HWND box);
  // Boxes answered that are gone now: how long each took to close.
  void noteClosedBoxes();
  // The debugger's thread: starts the game and answers its debug events
  // until it exits.
  void debug(const std::wstring& exePath, std::wstring commandLine, const std::wstring& folder, HANDLE started);

  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  DWORD startTick_ = 0;
  RunOptions options_;
  GameResult result_;
  struct Answered {
    HWND box;
    size_t index;  // in result_.boxes
    DWORD at;      // tick of the answer
  };
  std::vector<Answered> answered_;  // boxes answered that may not have closed yet
  std::thread debugger_;
};


// A file of the Linux side (a build output) as a Windows path ("Z:\...").
std::wstring hostFile(const std::string& unixPath);

// An empty folder C:\qrt-tests\<name> on the prefix's own drive: the runtime
// makes its data folder "\QRT" at the root of the current drive, which must
// be the prefix's C:, not the host's root.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name);
  const std::wstring& path() const { return path_; }
  // Copies a file in (under its own name unless `as` is given); returns the
  // copy's full path.
  std::wstring copyIn(const std::wstring& source, const std::wstring& as = L"");
  std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// Box texts as UTF-8 for people reading a log.
std::string utf8FromCp932(const std::string& text);

// A file's bytes; empty when it is missing.
std::string readText(const std::filesystem::path& file);

// The names, without `extension`, of the files in `folder` that end in it,
// sorted (the cases of a test that takes one file per case).
std::vector<std::string> fileStems(const std::filesystem::path& folder, const std::string& extension);

}  // namespace qrt::e2e

namespace qrt::test {

// A game executable run as a player would (the in-process runGame of
// tests/support/program.h takes an image instead; both give a GameResult).
GameResult runGame(const std::wstring& exePath, const e2e::RunOptions& options);
GameResult runGame(const std::wstring& exePath, int timeoutMs = paced(30000));

}  // namespace qrt::test
