// The harness that end-to-end tests stand on: it must see every box of a
// game, byte for byte, answer it, and report how the game ended.
#include <gtest/gtest.h>

#include <memory>

#include "tests/e2e/harness.h"

namespace qrt::e2e {
namespace {

using test::runGame;

class Harness : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::make_unique<ScratchFolder>(
        std::string("harness_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    game_ = folder_->copyIn(hostFile(QRT_BOXES_FIXTURE));
  }

  GameResult run(const std::wstring& arguments, int timeoutMs = test::paced(20000)) {
    RunOptions options;
    options.arguments = arguments;
    options.timeoutMs = timeoutMs;
    return runGame(game_, options);
  }

  std::unique_ptr<ScratchFolder> folder_;
  std::wstring game_;
};

TEST_F(Harness, ReportsTheExitCodeOfAGameWithoutBoxes) {
  const GameResult result = run(L"exit 42");
  EXPECT_TRUE(result.started);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 42u);
  EXPECT_TRUE(result.boxes.empty());
}

TEST_F(Harness, RecordsEveryBoxInCp932AndPressesOk) {
  const GameResult result = run(L"boxes 3");
  EXPECT_EQ(result.exitCode, 3u);
  ASSERT_EQ(result.boxes.size(), 2u);
  EXPECT_EQ(result.boxes[0].title, "\x94\xA0\x82\x50");  // 箱１
  EXPECT_EQ(result.boxes[0].text, "\x88\xEA\x8D\x73\x96\xDA\n\x93\xF1\x8D\x73\x96\xDA");  // 一行目 / 二行目
  EXPECT_EQ(result.boxes[0].button, IDOK);
  EXPECT_EQ(result.boxes[1].title, "second");
  EXPECT_EQ(result.boxes[1].text, "tab\there \\ back");
  // Dismissing a box must not wait on a window manager that is not there,
  // about two seconds each time; that wait is Wine's own and does not grow
  // on a slow machine, so neither does the bound.
  for (const Box& box : result.boxes) {
    EXPECT_GE(box.closedAfterMs, 0) << box.title;
    EXPECT_LT(box.closedAfterMs, 1000) << box.title;
  }
}

TEST_F(Harness, AnswersWithTheDefaultButtonOrTheOneAsked) {
  EXPECT_EQ(run(L"yesno").exitCode, static_cast<DWORD>(IDYES));

  RunOptions options;
  options.arguments = L"yesno";
  options.answer = [](const Box& box) { return box.title == "question" ? IDNO : 0; };
  const GameResult result = runGame(game_, options);
  EXPECT_EQ(result.exitCode, static_cast<DWORD>(IDNO));
  ASSERT_EQ(result.boxes.size(), 1u);
  EXPECT_EQ(result.boxes[0].button, IDNO);
}

TEST_F(Harness, SeesABoxOwnedByTheGamesWindow) {
  const GameResult result = run(L"window 5");
  EXPECT_EQ(result.exitCode, 5u);
  ASSERT_EQ(result.boxes.size(), 1u);
  EXPECT_EQ(result.boxes[0].text, "owned");
}

TEST_F(Harness, RunsTheGameInItsOwnFolderOnTheCDrive) {
  const GameResult result = run(L"cwd");
  ASSERT_EQ(result.boxes.size(), 1u);
  EXPECT_EQ(result.boxes[0].text, "C:\\qrt-tests\\harness_RunsTheGameInItsOwnFolderOnTheCDrive");
}

TEST_F(Harness, KillsAGameThatOutlivesItsTimeOut) {
  GameRun run(game_, RunOptions{L"hang", L"", 1500, {}});
  ASSERT_TRUE(run.waitForWindow(test::paced(5000)));
  const DWORD id = run.processId();
  const GameResult result = run.finish();
  EXPECT_TRUE(result.timedOut);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
  if (process) {
    EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_OBJECT_0) << "the game still runs";
    CloseHandle(process);
  }
}

TEST_F(Harness, ReportsAGameThatDoesNotStart) {
  const GameResult result = runGame(folder_->file(L"missing.exe"), 5000);
  EXPECT_FALSE(result.started);
  EXPECT_FALSE(result.error.empty());
}

// boxwatch prints what it sees; its output goes to a file, as under CTest.
class Boxwatch : public Harness {
 protected:
  struct Seen {
    DWORD exitCode = 0;
    std::string output;
  };

  Seen watch(const std::wstring& arguments) {
    const std::wstring tool = folder_->copyIn(hostFile(QRT_BOXWATCH));
    const std::wstring outputFile = folder_->file(L"boxwatch.txt");
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    std::wstring commandLine = L"\"" + tool + L"\" " + arguments;
    PROCESS_INFORMATION info{};
    Seen seen;
    if (CreateProcessW(tool.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       folder_->path().c_str(), &startup, &info)) {
      WaitForSingleObject(info.hProcess, test::paced(30000));
      GetExitCodeProcess(info.hProcess, &seen.exitCode);
      CloseHandle(info.hProcess);
      CloseHandle(info.hThread);
    }
    CloseHandle(out);
    HANDLE in = CreateFileW(outputFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0) seen.output.append(buffer, got);
    CloseHandle(in);
    return seen;
  }
};

TEST_F(Boxwatch, PrintsEachBoxInUtf8AndTheExitCode) {
  const Seen seen = watch(L"boxes_fixture.exe boxes 7");
  EXPECT_EQ(seen.exitCode, 7u);
  EXPECT_EQ(seen.output,
            "BOX\t\xE7\xAE\xB1\xEF\xBC\x91\t\xE4\xB8\x80\xE8\xA1\x8C\xE7\x9B\xAE\\n"
            "\xE4\xBA\x8C\xE8\xA1\x8C\xE7\x9B\xAE\n"
            "BOX\tsecond\ttab\\there \\\\ back\n"
            "EXIT 7\n");
}

TEST_F(Boxwatch, PassesArgumentsThroughUnchanged) {
  const Seen seen = watch(L"boxes_fixture.exe args \"two words\" \"quote\\\"d\" plain");
  EXPECT_EQ(seen.output, "BOX\targs\ttwo words|quote\"d|plain\nEXIT 3\n");
}

TEST_F(Boxwatch, StopsAGameAtTheTimeOut) {
  const Seen seen = watch(L"--timeout 1000 boxes_fixture.exe hang");
  EXPECT_EQ(seen.exitCode, 124u);
  EXPECT_EQ(seen.output, "TIMEOUT\n");
}

}  // namespace
}  // namespace qrt::e2e
