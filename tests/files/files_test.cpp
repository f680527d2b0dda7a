// A game's files: handles read and written through the real engine, files
// and folders in a scratch folder read back here.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/cp932.h"
#include "tests/e2e/harness.h"
#include "tests/support/script.h"

using namespace qrt::test;
using qrt::e2e::ScratchFolder;
using qrt::narrow932;

namespace {

std::string readBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void writeBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(Files, LineEndsAndMaximumsInTextAndBinaryMode) {
  ScratchFolder dir("files_lines");
  writeBytes(dir.file(L"in.txt"), "abc\r\nabcdef\nxyz");
  Script s;
  const int in = s.text(narrow932(dir.file(L"in.txt").c_str()));
  const int zero = s.integer(0), one = s.integer(1), four = s.integer(4);
  const int t = s.call("F@OPEN", {in, zero, zero});
  const int crlf = s.callText("F@READS", {t, zero});
  const int first3 = s.callText("F@READS", {t, four});
  const int next3 = s.callText("F@READS", {t, four});
  const int lineEnd = s.callText("F@READS", {t, zero});
  const int last = s.callText("F@READS", {t, zero});
  const int atEnd = s.callText("F@READS", {t, zero});
  const int byteAtEnd = s.call("F@READ", {t});
  const int b = s.call("F@OPEN", {in, zero, one});
  const int binary = s.callText("F@READS", {b, zero});
  const int nextByte = s.call("F@READ", {b});
  for (int mode : {0, 1}) {
    const int out = s.call("F@OPEN", {s.text(narrow932(dir.file(mode ? L"b.txt" : L"t.txt").c_str())),
                                      s.integer(3), s.integer(mode)});
    s.run("F@WRITES", {out, s.text("ab")});
    s.run("F@WRITE", {out, s.integer(321)});
    s.run("F@CLOSE", {out});
  }
  Game game(s);
  game.runToEnd();
  EXPECT_EQ(game.text(crlf), "abc");
  EXPECT_EQ(game.text(first3), "ab");
  EXPECT_EQ(game.text(next3), "de");
  EXPECT_EQ(game.text(lineEnd), "");
  EXPECT_EQ(game.text(last), "xy");
  EXPECT_EQ(game.text(atEnd), "");
  EXPECT_EQ(game.integer(byteAtEnd), -1);
  EXPECT_EQ(game.text(binary), "abc\r");
  EXPECT_EQ(game.integer(nextByte), 'a');
  EXPECT_EQ(readBytes(dir.file(L"t.txt")), "ab\r\nA");
  EXPECT_EQ(readBytes(dir.file(L"b.txt")), "ab\nA");
  EXPECT_TRUE(game.boxes().empty());
}

// No mode truncates; only mode 3 creates; the length is the one at opening;
// a write after a read (and a read after a write) on one handle lands where
// the other left off.
TEST(Files, OpenModesKeepTheBytesBeyondTheLastWrite) {
  ScratchFolder dir("files_modes");
  writeBytes(dir.file(L"old.txt"), "0123456789");
  Script s;
  const int old = s.text(narrow932(dir.file(L"old.txt").c_str()));
  const int fresh = s.text(narrow932(dir.file(L"new.txt").c_str()));
  const int missing = s.text(narrow932(dir.file(L"missing.txt").c_str()));
  const int one = s.integer(1);
  const int w = s.call("F@OPEN", {old, one, one});
  s.run("F@WRITES", {w, s.text("AB")});
  const int oldLength = s.call("F@LENG", {w});
  s.run("F@CLOSE", {w});
  const int rw = s.call("F@OPEN", {old, s.integer(2), one});
  const int read = s.call("F@READ", {rw});
  s.run("F@WRITE", {rw, s.integer('x')});
  const int afterWrite = s.call("F@READ", {rw});
  s.run("F@CLOSE", {rw});
  const int over = s.call("F@OPEN", {old, s.integer(3), one});
  s.run("F@WRITE", {over, s.integer('Q')});
  s.run("F@CLOSE", {over});
  const int made = s.call("F@OPEN", {fresh, s.integer(3), one});
  s.run("F@WRITES", {made, s.text("new")});
  const int madeLength = s.call("F@LENG", {made});
  s.run("F@CLOSE", {made});
  std::vector<int> refused;
  for (int mode : {1, 0, 2, 4, -1}) refused.push_back(s.call("F@OPEN", {missing, s.integer(mode), one}));
  refused.push_back(s.call("F@OPEN", {old, s.integer(4), one}));
  refused.push_back(s.call("F@OPEN", {s.noString(), s.integer(3), one}));
  Game game(s);
  game.runToEnd();
  EXPECT_EQ(readBytes(dir.file(L"old.txt")), "Qx\n3456789");
  EXPECT_EQ(game.integer(oldLength), 10);
  EXPECT_EQ(game.integer(read), 'A');
  EXPECT_EQ(game.integer(afterWrite), '\n');
  EXPECT_EQ(readBytes(dir.file(L"new.txt")), "new\n");
  EXPECT_EQ(game.integer(madeLength), 0);
  for (int r : refused) EXPECT_EQ(game.integer(r), -1);
  EXPECT_FALSE(exists(dir.file(L"missing.txt")));
  EXPECT_TRUE(game.boxes().empty());
}

// A closed handle, 0, -1 and a number never issued are ignored or read as
// 0; odd arguments do nothing harmful; a file left open is flushed at the
// end of the program.
TEST(Files, BadHandlesAndOddArgumentsAreHarmless) {
  ScratchFolder dir("files_handles");
  Script s;
  const int one = s.integer(1), three = s.integer(3), zero = s.integer(0);
  const int h = s.call("F@OPEN", {s.text(narrow932(dir.file(L"closed.txt").c_str())), three, one});
  s.run("F@WRITES", {h, s.text("kept")});
  s.run("F@WRITES", {h, s.noString()});
  s.run("F@CLOSE", {h});
  std::vector<int> reads;
  for (int bad : {h, zero, s.integer(-1), s.integer(0x7FFFFFF0)}) {
    s.run("F@WRITE", {bad, s.integer('!')});
    s.run("F@WRITES", {bad, s.text("lost")});
    reads.push_back(s.call("F@READ", {bad}));
    reads.push_back(s.call("F@LENG", {bad}));
    reads.push_back(s.call("F@READS", {bad, zero}));
    s.run("F@CLOSE", {bad});
  }
  const int open = s.call("F@OPEN", {s.text(narrow932(dir.file(L"open.txt").c_str())), three, one});
  s.run("F@WRITES", {open, s.text("line one")});
  s.run("F@WRITE", {open, s.integer('2')});
  const int again = s.call("F@OPEN", {s.text(narrow932(dir.file(L"closed.txt").c_str())), zero, one});
  const int negative = s.callText("F@READS", {again, s.integer(-5)});
  const int tiny = s.callText("F@READS", {again, one});
  const int line = s.callText("F@READS", {again, zero});
  {
    Game game(s);
    game.runToEnd();
    for (int r : reads) EXPECT_EQ(game.slot(r), 0u);
    EXPECT_EQ(game.text(negative), "");
    EXPECT_EQ(game.text(tiny), "");
    EXPECT_EQ(game.text(line), "kept");
    EXPECT_TRUE(game.boxes().empty());
  }
  EXPECT_EQ(readBytes(dir.file(L"closed.txt")), "kept\n\n");
  EXPECT_EQ(readBytes(dir.file(L"open.txt")), "line one\n2");
}

// Copy, rename, delete and folders, with their opposite success senses, on
// Japanese names whose second bytes are backslashes in cp932 (ソ, 表).
TEST(Files, WholeFilesAndFoldersWithJapaneseNames) {
  ScratchFolder dir("files_whole");
  writeBytes(dir.file(L"a.txt"), "A");
  writeBytes(dir.file(L"b.txt"), "B");
  Script s;
  auto path = [&](const std::wstring& name) { return s.text(narrow932(dir.file(name).c_str())); };
  const int a = path(L"a.txt"), b = path(L"b.txt"), jp = path(L"ソフト表.txt");
  const int folder = path(L"ソフト"), inFolder = path(L"ソフト\\表.txt");
  const std::vector<std::pair<int, int32_t>> expected = {
      {s.call("F@FILECOPY", {a, b, s.integer(0)}), 0},
      {s.call("F@FILECOPY", {a, b, s.integer(1)}), -1},
      {s.call("F@FILECOPY", {path(L"none.txt"), path(L"c.txt"), s.integer(1)}), 0},
      {s.call("F@RENAME", {a, jp}), 0},
      {s.call("F@RENAME", {b, jp}), -1},
      {s.call("F@DELETE", {b}), 0},
      {s.call("F@DELETE", {b}), -1},
      {s.call("F@DIRMAKE", {folder}), 0},
      {s.call("F@DIRMAKE", {folder}), -1},
      {s.call("F@DIRMAKE", {path(L"none\\deeper")}), -1},
      {s.call("F@RENAME", {jp, inFolder}), 0},
      {s.call("F@DIRREL", {folder}), 0},
      {s.call("F@DELETE", {inFolder}), 0},
      {s.call("F@DIRREL", {folder}), -1},
      {s.call("F@DIRREL", {folder}), 0},
      {s.call("F@DELETE", {s.noString()}), -1},
      {s.call("F@RENAME", {s.noString(), b}), -1},
  };
  const int write = s.call("F@OPEN", {jp, s.integer(3), s.integer(0)});
  s.run("F@WRITES", {write, s.text(narrow932(L"表"))});
  s.run("F@CLOSE", {write});
  Game game(s);
  game.runToEnd();
  for (size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(game.integer(expected[k].first), expected[k].second) << k;
  EXPECT_EQ(readBytes(dir.file(L"ソフト表.txt")), narrow932(L"表") + "\r\n");
  EXPECT_FALSE(exists(dir.file(L"ソフト")));
  EXPECT_TRUE(game.boxes().empty());
}

class CurrentFolder : public ::testing::Test {
 protected:
  void SetUp() override { GetCurrentDirectoryW(MAX_PATH, saved_); }
  void TearDown() override { SetCurrentDirectoryW(saved_); }
  wchar_t saved_[MAX_PATH] = {};
};

// CHDIR holds for every later relative path; a folder that is not there
// ends the program with 730.
TEST_F(CurrentFolder, ChdirMovesLaterRelativePathsAndEndsOnAMissingFolder) {
  ScratchFolder dir("files_chdir");
  Script s;
  s.run("CHDIR", {s.text(narrow932(dir.path().c_str()))});
  s.run("F@DIRMAKE", {s.text(narrow932(L"ソフト"))});
  s.run("CHDIR", {s.text(narrow932(L"ソフト"))});
  const int f = s.call("F@OPEN", {s.text("rel.txt"), s.integer(3), s.integer(1)});
  s.run("F@CLOSE", {f});
  s.run("CHDIR", {s.text("missing")});
  const int never = s.marker();
  Game game(s);
  game.runToEnd();
  EXPECT_TRUE(exists(dir.file(L"ソフト\\rel.txt")));
  EXPECT_EQ(game.slot(never), 0u);
  ASSERT_EQ(game.boxCodes(), (std::vector<int>{730}));
  EXPECT_NE(game.boxes()[0].text.find("CHDIR"), std::string::npos);
}

// CHDRIVE makes a drive current; a number outside 1..26 or a drive that is
// not there ends the program with 740.
TEST_F(CurrentFolder, ChdriveOutOfRangeOrMissingEndsTheProgram) {
  const DWORD drives = GetLogicalDrives();
  int missing = 0, other = 0;
  for (int d = 26; d >= 1; --d) {
    if (!(drives & (1u << (d - 1)))) missing = d;
    else if (d != 3) other = d;
  }
  if (other) {
    Script s;
    s.run("CHDRIVE", {s.integer(other)});
    Game game(s);
    game.runToEnd();
    wchar_t now[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, now);
    EXPECT_EQ(now[0], L'A' + other - 1);
    EXPECT_TRUE(game.boxes().empty());
  }
  for (int drive : {0, 27, -3, missing}) {
    if (drive == missing && !missing) continue;
    Script s;
    s.run("CHDRIVE", {s.integer(3)});
    s.run("CHDRIVE", {s.integer(drive)});
    const int never = s.marker();
    Game game(s);
    game.runToEnd();
    EXPECT_EQ(game.slot(never), 0u) << drive;
    ASSERT_EQ(game.boxCodes(), (std::vector<int>{740})) << drive;
    EXPECT_NE(game.boxes()[0].text.find("CHDRIVE"), std::string::npos);
  }
}

}  // namespace
