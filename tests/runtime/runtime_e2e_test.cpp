// Game executables run as a player runs them: start, stepping, boxes, end.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/catalogue.h"
#include "base/errors.h"
#include "tests/e2e/harness.h"
#include "image/image_builder.h"

using namespace qrt::img;
using qrt::test::GameResult;
using qrt::e2e::ScratchFolder;

namespace qrt::test {

struct WindowSearch {
  DWORD pid;
  const std::function<bool(HWND)>* ok;
  bool found;
};

BOOL CALLBACK visitWindow(HWND hwnd, LPARAM p) {
  auto& s = *reinterpret_cast<WindowSearch*>(p);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == s.pid && IsWindowVisible(hwnd) && (*s.ok)(hwnd)) s.found = true;
  return !s.found;
}

// Polls the visible top-level windows of a process until `ok` holds for one.
bool waitForGameWindow(DWORD pid, const std::function<bool(HWND)>& ok) {
  WindowSearch search{pid, &ok, false};
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < static_cast<DWORD>(paced(10000))) {
    EnumWindows(visitWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) return true;
    Sleep(10);
  }
  return false;
}

}  // namespace qrt::test

namespace {


std::vector<uint8_t> runtimeBytes() { return readFile(qrt::e2e::hostFile(QRT_RUNTIME_EXE)); }

// Writes runtime + image as `name` into the folder; returns its path.
std::wstring makeGame(ScratchFolder& dir, const std::wstring& name, const std::vector<uint8_t>& image) {
  std::wstring path = dir.file(name);
  writeFile(path, linkGame(runtimeBytes(), image));
  return path;
}

// A program that hands control back to the message loop `frames` times
// (0 = for ever) and then ends.
std::vector<uint8_t> waitingProgram(uint32_t frames, bool singleInstance = false) {
  ImageBuilder b;
  b.setSingleInstance(singleInstance);
  Routine& m = b.main();
  int left = m.slot();
  Label loop = m.label();
  m.native([&](X86& x) {
    x.storeImm(left, frames);
    x.next();
  });
  m.bind(loop);
  m.command("S@WAIT", 0);
  m.native([&](X86& x) { x.countDown(left, loop); });
  m.end();
  return b.build();
}

TEST(Runtime, AProgramThatEndsClosesItsWindowWithExitCodeZero) {
  ScratchFolder dir("normal_end");
  // 200 yields: the program only gets there if its window became the
  // active one, since an inactive program is not stepped.
  GameResult r = qrt::test::runGame(makeGame(dir, L"game.exe", waitingProgram(200)), qrt::test::paced(20000));
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(r.boxes.empty());
}

TEST(Runtime, TheRuntimeAloneCarriesNoImageAndEndsSilently) {
  ScratchFolder dir("no_image");
  std::wstring exe = dir.copyIn(qrt::e2e::hostFile(QRT_RUNTIME_EXE), L"bare.exe");
  GameResult r = qrt::test::runGame(exe, qrt::test::paced(20000));
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(r.boxes.empty());
}

TEST(Runtime, ABadImageShowsTheInternalErrorBox) {
  ScratchFolder dir("bad_image");
  ImageBuilder b;
  b.main().op(5);
  GameResult r = qrt::test::runGame(makeGame(dir, L"bad.exe", b.build()), qrt::test::paced(20000));
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0u);
  ASSERT_EQ(r.boxes.size(), 1u);
  EXPECT_EQ(r.boxes[0].title, qrt::kErrorTitle);
  EXPECT_EQ(r.boxes[0].text, qrt::runtimeMessage(601));
}

TEST(Runtime, SingleInstanceFlagAllowsOneCopyPerPath) {
  ScratchFolder dir("single_instance");
  std::vector<uint8_t> image = waitingProgram(0, true);
  std::wstring first = makeGame(dir, L"one.exe", image);
  std::wstring elsewhere = makeGame(dir, L"two.exe", image);

  qrt::e2e::RunOptions keepRunning;
  keepRunning.timeoutMs = qrt::test::paced(30000);
  qrt::e2e::GameRun running(first, keepRunning);
  ASSERT_TRUE(running.started());
  ASSERT_TRUE(running.waitForWindow(qrt::test::paced(15000)));

  // A second start of the same path ends at once, silently.
  GameResult second = qrt::test::runGame(first, qrt::test::paced(15000));
  ASSERT_TRUE(second.started) << second.error;
  EXPECT_FALSE(second.timedOut);
  EXPECT_EQ(second.exitCode, 0u);
  EXPECT_TRUE(second.boxes.empty());

  // The same program under another path is not affected.
  qrt::e2e::GameRun other(elsewhere, keepRunning);
  ASSERT_TRUE(other.started());
  EXPECT_TRUE(other.waitForWindow(qrt::test::paced(15000)));
  other.kill();

  // And the first copy is still running.
  EXPECT_TRUE(running.poll());
  running.kill();
}

// G@SETUP of a 320 x 240 window, 32 bits a pixel.
static void setUp320x240(Routine& m) {
  const int w = m.slot(), h = m.slot(), depth = m.slot(), window = m.slot(), screen = m.slot();
  m.native([&](X86& x) {
    x.storeImm(w, 320);
    x.storeImm(h, 240);
    x.storeImm(depth, 32);
    x.storeImm(window, 1);
    x.next();
  });
  m.command("G@SETUP", screen, {w, h, depth, window});
}

// Without the DirectX 9 runtime's D3DX the game still starts, and G@SETUP
// says in one box what to install instead of the system refusing the
// executable.
TEST(Runtime, WithoutD3dxTheGameSaysWhatToInstall) {
  ScratchFolder dir("no_d3dx");
  ImageBuilder b;
  Routine& m = b.main();
  setUp320x240(m);
  m.end();
  const std::wstring game = makeGame(dir, L"nod3dx.exe", b.build());
  // Hidden from this one executable, as Wine lets a prefix say per program.
  const wchar_t* key = L"Software\\Wine\\AppDefaults\\nod3dx.exe\\DllOverrides";
  HKEY overrides = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &overrides, nullptr),
            ERROR_SUCCESS);
  const wchar_t disabled[] = L"disabled";
  RegSetValueExW(overrides, L"d3dx9_43", 0, REG_SZ, reinterpret_cast<const BYTE*>(disabled), sizeof disabled);
  RegCloseKey(overrides);
  GameResult r = qrt::test::runGame(game, qrt::test::paced(20000));
  RegDeleteKeyW(HKEY_CURRENT_USER, key);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0u);
  ASSERT_EQ(r.boxes.size(), 1u);
  EXPECT_EQ(r.boxes[0].title, qrt::kErrorTitle);
  EXPECT_NE(r.boxes[0].text.find("d3dx9_43.dll"), std::string::npos);
  EXPECT_NE(r.boxes[0].text.find("DirectX End-User Runtime"), std::string::npos);
}

// On a screen of 192 dots per inch a 320 x 240 game's window is 640 x 480
// inside: the game itself still sees its 320 x 240.
TEST(Runtime, TheWindowGrowsWithTheScreensDotsPerInch) {
  ScratchFolder dir("dpi");
  ImageBuilder b;
  Routine& m = b.main();
  setUp320x240(m);
  Label loop = m.here();
  m.command("S@WAIT", 0);
  m.native([&](X86& x) { x.next(loop); });
  m.end();
  const std::wstring game = makeGame(dir, L"dpi.exe", b.build());
  // The prefix is shared by every test: its setting comes back however
  // this one ends.
  struct ScreenDpi {
    HKEY desktop = nullptr;
    DWORD saved = 96;
    bool had = false;
    explicit ScreenDpi(DWORD dpi) {
      if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &desktop, nullptr) != ERROR_SUCCESS)
        return;
      DWORD size = sizeof saved, type = 0;
      had = RegQueryValueExW(desktop, L"LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&saved), &size) ==
            ERROR_SUCCESS;
      RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    }
    ~ScreenDpi() {
      if (!desktop) return;
      if (had)
        RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&saved), sizeof saved);
      else
        RegDeleteValueW(desktop, L"LogPixels");
      RegCloseKey(desktop);
    }
  };
  const ScreenDpi screen(192);
  ASSERT_NE(screen.desktop, nullptr);
  qrt::e2e::RunOptions options;
  options.timeoutMs = qrt::test::paced(20000);
  qrt::e2e::GameRun run(game, options);
  ASSERT_TRUE(run.waitForWindow(qrt::test::paced(15000)));
  RECT client{};
  const DWORD pid = run.processId();
  const bool found = qrt::test::waitForGameWindow(pid, [&](HWND hwnd) {
    GetClientRect(hwnd, &client);
    return client.right == 640;
  });
  run.kill();
  EXPECT_TRUE(found) << "client " << client.right << " x " << client.bottom;
  EXPECT_EQ(client.bottom, 480);
}

TEST(Runtime, FlagBytesOtherThan0x80AllowSeveralCopies) {
  ScratchFolder dir("several_copies");
  std::wstring game = makeGame(dir, L"game.exe", waitingProgram(0, false));
  qrt::e2e::RunOptions keepRunning;
  keepRunning.timeoutMs = qrt::test::paced(30000);
  qrt::e2e::GameRun a(game, keepRunning);
  ASSERT_TRUE(a.waitForWindow(qrt::test::paced(15000)));
  qrt::e2e::GameRun b(game, keepRunning);
  EXPECT_TRUE(b.waitForWindow(qrt::test::paced(15000)));
  EXPECT_TRUE(a.poll());
  EXPECT_TRUE(b.poll());
}

}  // namespace
