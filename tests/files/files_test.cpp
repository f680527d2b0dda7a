// A game's files: handles read and written through the real engine, files
// and folders in a scratch folder read back here.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/cp932.h"
#include "tests/e2e/harness.h"
#include "tests/support/script.h"

using namespace qrt::test;

namespace {

std::string bytesOf(const std::wstring& path) {
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return "(none)";
  const std::vector<uint8_t> v = qrt::img::readFile(path);
  return {v.begin(), v.end()};
}

// A scratch folder and the script's paths into it, in cp932.
struct Folder : qrt::e2e::ScratchFolder {
  Folder(const char* name, std::vector<std::pair<std::wstring, std::string>> files = {}) : ScratchFolder(name) {
    for (const auto& [file, bytes] : files)
      qrt::img::writeFile(this->file(file), {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  }
  int in(Script& s, const std::wstring& name) const { return s.text(qrt::narrow932(file(name).c_str())); }
  std::string bytes(const std::wstring& name) const { return bytesOf(file(name)); }
};

// Results a program should end with: (slot, integer) and (slot, text).
struct Expected {
  std::vector<std::pair<int, int32_t>> integers;
  std::vector<std::pair<int, std::string>> texts;
  void check(Game& game) const {
    for (const auto& [k, v] : integers) EXPECT_EQ(game.integer(k), v) << "slot " << k;
    for (const auto& [k, v] : texts) EXPECT_EQ(game.text(k), v) << "slot " << k;
  }
};

TEST(Files, LineEndsAndMaximumsInTextAndBinaryMode) {
  Folder dir("files_lines", {{L"in.txt", "abc\r\nabcdef\nxyz"}, {L"long.txt", std::string(70000, 'a') + "\n"}});
  Script s;
  const int in = dir.in(s, L"in.txt"), zero = s.integer(0), one = s.integer(1), four = s.integer(4);
  const int t = s.call("F@OPEN", {in, zero, zero});
  Expected e;
  const std::pair<int, const char*> reads[] = {{zero, "abc"}, {four, "ab"}, {four, "de"},
                                               {zero, ""},    {zero, "xy"}, {zero, ""}};
  for (auto [maximum, text] : reads) e.texts.push_back({s.callText("F@READS", {t, maximum}), text});
  e.integers.push_back({s.call("F@READ", {t}), -1});
  const int b = s.call("F@OPEN", {in, zero, one});
  e.texts.push_back({s.callText("F@READS", {b, zero}), "abc\r"});
  e.integers.push_back({s.call("F@READ", {b}), 'a'});
  // Maximum 0 reads up to 65535 bytes of a longer line; the rest comes next.
  const int longLine = s.call("F@OPEN", {dir.in(s, L"long.txt"), zero, zero});
  e.texts.push_back({s.callText("F@READS", {longLine, zero}), std::string(65534, 'a')});
  e.texts.push_back({s.callText("F@READS", {longLine, zero}), std::string(70000 - 65535, 'a')});
  for (int binary : {0, 1}) {
    const int out = s.call("F@OPEN", {dir.in(s, binary ? L"b.txt" : L"t.txt"), s.integer(3), s.integer(binary)});
    s.run("F@WRITES", {out, s.text("ab")});
    s.run("F@WRITE", {out, s.integer(321)});
    s.run("F@CLOSE", {out});
  }
  Game game(s);
  game.runToEnd();
  e.check(game);
  EXPECT_EQ(dir.bytes(L"t.txt"), "ab\r\nA");
  EXPECT_EQ(dir.bytes(L"b.txt"), "ab\nA");
  EXPECT_TRUE(game.boxes().empty());
}

// No mode truncates; only mode 3 creates; the length is the one at opening;
// on one handle a write after a read, and a read after a write, land where
// the other left off.
TEST(Files, OpenModesKeepTheBytesBeyondTheLastWrite) {
  Folder dir("files_modes", {{L"old.txt", "0123456789"}});
  Script s;
  const int old = dir.in(s, L"old.txt"), missing = dir.in(s, L"missing.txt"), one = s.integer(1);
  Expected e;
  const int w = s.call("F@OPEN", {old, one, one});
  s.run("F@WRITES", {w, s.text("AB")});
  e.integers.push_back({s.call("F@LENG", {w}), 10});
  s.run("F@CLOSE", {w});
  const int rw = s.call("F@OPEN", {old, s.integer(2), one});
  e.integers.push_back({s.call("F@READ", {rw}), 'A'});
  s.run("F@WRITE", {rw, s.integer('x')});
  e.integers.push_back({s.call("F@READ", {rw}), '\n'});
  s.run("F@CLOSE", {rw});
  const int over = s.call("F@OPEN", {old, s.integer(3), one});
  s.run("F@WRITE", {over, s.integer('Q')});
  s.run("F@CLOSE", {over});
  const int made = s.call("F@OPEN", {dir.in(s, L"new.txt"), s.integer(3), one});
  s.run("F@WRITES", {made, s.text("new")});
  e.integers.push_back({s.call("F@LENG", {made}), 0});
  s.run("F@CLOSE", {made});
  for (int mode : {1, 0, 2, 4, -1}) e.integers.push_back({s.call("F@OPEN", {missing, s.integer(mode), one}), -1});
  e.integers.push_back({s.call("F@OPEN", {old, s.integer(4), one}), -1});
  e.integers.push_back({s.call("F@OPEN", {s.noString(), s.integer(3), one}), -1});
  Game game(s);
  game.runToEnd();
  e.check(game);
  EXPECT_EQ(dir.bytes(L"old.txt"), "Qx\n3456789");
  EXPECT_EQ(dir.bytes(L"new.txt"), "new\n");
  EXPECT_EQ(dir.bytes(L"missing.txt"), "(none)");
  EXPECT_TRUE(game.boxes().empty());
}

// A closed handle, 0, -1 and a number never issued are ignored or read as
// 0 (F@READS: no string); odd maximums read nothing; a file still open
// when the program ends is flushed.
TEST(Files, BadHandlesAndOddArgumentsAreHarmless) {
  Folder dir("files_handles");
  Script s;
  const int one = s.integer(1), three = s.integer(3), zero = s.integer(0);
  const int h = s.call("F@OPEN", {dir.in(s, L"closed.txt"), three, one});
  s.run("F@WRITES", {h, s.text("kept")});
  s.run("F@WRITES", {h, s.noString()});
  s.run("F@CLOSE", {h});
  Expected e;
  for (int bad : {h, zero, s.integer(-1), s.integer(0x7FFFFFF0)}) {
    s.run("F@WRITE", {bad, s.integer('!')});
    s.run("F@WRITES", {bad, s.text("lost")});
    for (const char* read : {"F@READ", "F@LENG"}) e.integers.push_back({s.call(read, {bad}), 0});
    e.integers.push_back({s.call("F@READS", {bad, zero}), 0});
    s.run("F@CLOSE", {bad});
  }
  const int open = s.call("F@OPEN", {dir.in(s, L"open.txt"), three, one});
  s.run("F@WRITES", {open, s.text("line one")});
  const int again = s.call("F@OPEN", {dir.in(s, L"closed.txt"), zero, one});
  const std::pair<int32_t, const char*> reads[] = {{-5, ""}, {1, ""}, {0, "kept"}};
  for (auto [maximum, text] : reads) e.texts.push_back({s.callText("F@READS", {again, s.integer(maximum)}), text});
  {
    Game game(s);
    game.runToEnd();
    e.check(game);
    EXPECT_TRUE(game.boxes().empty());
  }
  EXPECT_EQ(dir.bytes(L"closed.txt"), "kept\n\n");
  EXPECT_EQ(dir.bytes(L"open.txt"), "line one\n");
}

// Copy, rename, delete and folders, with their opposite success senses, on
// Japanese names whose second bytes are backslashes in cp932 (ソ, 表).
TEST(Files, WholeFilesAndFoldersWithJapaneseNames) {
  Folder dir("files_whole", {{L"a.txt", "A"}, {L"b.txt", "B"}});
  Script s;
  const int a = dir.in(s, L"a.txt"), b = dir.in(s, L"b.txt"), jp = dir.in(s, L"ソフト表.txt");
  const int folder = dir.in(s, L"ソフト"), inFolder = dir.in(s, L"ソフト\\表.txt");
  Expected e;
  auto expect = [&](const char* command, const std::vector<int>& args, int32_t result) {
    e.integers.push_back({s.call(command, args), result});
  };
  expect("F@FILECOPY", {a, b, s.integer(0)}, 0);
  expect("F@FILECOPY", {a, b, s.integer(1)}, -1);
  expect("F@FILECOPY", {dir.in(s, L"none.txt"), dir.in(s, L"c.txt"), s.integer(1)}, 0);
  expect("F@RENAME", {a, jp}, 0);
  expect("F@RENAME", {b, jp}, -1);
  expect("F@DELETE", {b}, 0);
  expect("F@DELETE", {b}, -1);
  expect("F@DIRMAKE", {folder}, 0);
  expect("F@DIRMAKE", {folder}, -1);
  expect("F@DIRMAKE", {dir.in(s, L"none\\deeper")}, -1);
  expect("F@RENAME", {jp, inFolder}, 0);
  expect("F@DIRREL", {folder}, 0);
  expect("F@DELETE", {inFolder}, 0);
  expect("F@DIRREL", {folder}, -1);
  expect("F@DIRREL", {folder}, 0);
  expect("F@DELETE", {s.noString()}, -1);
  expect("F@RENAME", {s.noString(), b}, -1);
  const int write = s.call("F@OPEN", {jp, s.integer(3), s.integer(0)});
  s.run("F@WRITES", {write, s.text(qrt::narrow932(L"表"))});
  s.run("F@CLOSE", {write});
  Game game(s);
  game.runToEnd();
  e.check(game);
  EXPECT_EQ(dir.bytes(L"ソフト表.txt"), qrt::narrow932(L"表") + "\r\n");
  EXPECT_EQ(dir.bytes(L"ソフト"), "(none)");
  EXPECT_TRUE(game.boxes().empty());
}

// A program that should end with one box, `code`, naming `command`.
void expectEnd(int code, const char* command, const std::function<void(Script&)>& steps) {
  Script s;
  steps(s);
  const int never = s.marker();
  Game game(s);
  game.runToEnd();
  EXPECT_EQ(game.slot(never), 0u) << command;
  ASSERT_EQ(game.boxCodes(), (std::vector<int>{code})) << command;
  EXPECT_NE(game.boxes()[0].text.find(command), std::string::npos);
}

// CHDIR holds for every later relative path; CHDRIVE makes a drive
// current. A missing folder ends the program with 730; a drive number
// outside 1..26, or a drive that is not there, with 740.
TEST(Files, CurrentFolderAndDrive) {
  wchar_t saved[MAX_PATH] = {}, now[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, saved);
  Folder dir("files_chdir");
  int missing = 0, other = 3;   // a drive that is not there; one besides C: that is
  for (int d = 26; d >= 1; --d) {
    if (!(GetLogicalDrives() & (1u << (d - 1)))) missing = d;
    else if (d != 3) other = d;
  }
  const std::string jp = qrt::narrow932(L"ソフト");
  expectEnd(730, "CHDIR", [&](Script& s) {
    s.run("CHDIR", {s.text(qrt::narrow932(dir.path().c_str()))});
    s.run("F@DIRMAKE", {s.text(jp)});
    s.run("CHDIR", {s.text(jp)});
    s.run("F@CLOSE", {s.call("F@OPEN", {s.text("rel.txt"), s.integer(3), s.integer(1)})});
    s.run("CHDRIVE", {s.integer(other)});
    s.run("CHDIR", {s.text("missing")});
  });
  EXPECT_EQ(dir.bytes(L"ソフト\\rel.txt"), "");
  GetCurrentDirectoryW(MAX_PATH, now);
  EXPECT_EQ(now[0], L'A' + other - 1);
  for (int drive : {0, 27, missing}) expectEnd(740, "CHDRIVE", [&](Script& s) { s.run("CHDRIVE", {s.integer(drive)}); });
  SetCurrentDirectoryW(saved);
}

}  // namespace
