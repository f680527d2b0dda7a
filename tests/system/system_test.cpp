// The system commands in-process: the registry value read back, the main
// window's state, parameter errors, and what the background mode lets the
// keyboard commands see while another application is active.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "base/cp932.h"
#include "base/runtime.h"
#include "tests/input/input_driver.h"

using namespace qrt::test;
using qrt::g_host;
using qrt::narrow932;

namespace {

constexpr wchar_t kKey[] = L"Software\\VELMORAK\\QRT";

// The value's type and text. The data are given without a terminating
// zero; the platform adds one to a string value's data when it stores them.
std::pair<DWORD, std::wstring> registryValue(const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {REG_NONE, L""};
  wchar_t data[64] = {};
  DWORD type = REG_NONE, size = sizeof data;
  LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegDeleteValueW(key, name);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return {REG_NONE, L""};
  std::wstring text(data, size / sizeof(wchar_t));
  if (!text.empty() && text.back() == L'\0') text.pop_back();
  return {type, text};
}

TEST(System, RegSetStoresTheScriptsTextAsRegSz) {
  Script s;
  s.run("S@REGSET", {s.text("score"), s.text("100")});
  s.run("S@REGSET", {s.text(narrow932(L"名前")), s.text(narrow932(L"ソフト表"))});
  s.run("S@REGSET", {s.text("empty"), s.noString()});
  Game game(s);
  game.runToEnd();
  EXPECT_EQ(registryValue(L"score"), std::make_pair(DWORD{REG_SZ}, std::wstring(L"100")));
  EXPECT_EQ(registryValue(L"名前"), std::make_pair(DWORD{REG_SZ}, std::wstring(L"ソフト表")));
  EXPECT_EQ(registryValue(L"empty"), std::make_pair(DWORD{REG_SZ}, std::wstring()));
  EXPECT_TRUE(game.boxes().empty());
}

// The window's title is cp932; S@SLEEP with a negative time and S@OUTP
// return at once.
TEST(System, WindowStateAndCommandsThatMustReturn) {
  const std::wstring title = L"題名ソ";
  Script s;
  s.run("S@TITLESET", {s.text(narrow932(title.c_str()))});
  const int active = s.call("S@WINACTCHK");
  s.run("S@WINCLOSE");
  const int minimized = s.call("S@WINCLOSECHK");
  s.run("S@WINOPEN");
  const int restored = s.call("S@WINCLOSECHK"), zoomed = s.call("S@WINZOOMCHK");
  const int system = s.callText("S@WINSYSDIRGET"), windows = s.callText("S@WINDIRGET");
  s.run("S@SLEEP", {s.integer(-1)});
  s.run("S@OUTP", {s.integer(0x80), s.integer(1)});
  const int done = s.marker();
  Game game(s);
  activateMainWindow();
  const DWORD start = GetTickCount();
  game.runToEnd();
  EXPECT_LT(GetTickCount() - start, static_cast<DWORD>(paced(5000)));
  EXPECT_EQ(game.slot(done), 1u);
  wchar_t shown[32] = {};
  GetWindowTextW(g_host.window, shown, 32);
  EXPECT_EQ(shown, title);
  EXPECT_EQ(game.integer(active), 1);
  EXPECT_EQ(game.integer(minimized), 1);
  EXPECT_EQ(game.integer(restored), 0);
  EXPECT_EQ(game.integer(zoomed), 0);
  EXPECT_EQ(game.text(system).rfind(game.text(windows), 0), 0u);
  EXPECT_NE(game.text(windows), "");
  EXPECT_TRUE(game.boxes().empty());
}

// Box 660 names the command; its failure value ends the program, except
// for S@WINVERGET, which gives 0 and goes on. S@WINEXIT is only ever given
// a bad mode here: a good one would end the session.
TEST(System, ParameterErrorsNameTheCommand) {
  enum Text { kNoText, kUnset, kEmpty };
  const struct {
    const char* command;
    std::vector<int32_t> integers;
    Text text;
    bool ends;
  } cases[] = {
      {"S@WINVERGET", {4}, kNoText, false}, {"S@BACKGROUND", {3}, kNoText, true},
      {"S@BACKGROUND", {-1}, kNoText, true}, {"S@WINEXIT", {7, 2}, kNoText, true},
      {"S@WINEXIT", {4, 0}, kNoText, true},  {"S@WINEXIT", {-1, 1}, kNoText, true},
      {"S@SYSACTCHK", {}, kUnset, true},     {"S@SYSACTCHK", {}, kEmpty, true},
  };
  for (const auto& k : cases) {
    Script s;
    std::vector<int> args;
    for (int32_t v : k.integers) args.push_back(s.integer(v));
    if (k.text != kNoText) args.push_back(k.text == kUnset ? s.noString() : s.text(""));
    const int result = s.call(k.command, args);
    const int after = s.marker();
    Game game(s);
    game.runToEnd();
    EXPECT_EQ(game.slot(after), k.ends ? 0u : 1u) << k.command;
    if (!k.ends) {
      EXPECT_EQ(game.slot(result), 0u);
    }
    ASSERT_EQ(game.boxCodes(), (std::vector<int>{660})) << k.command;
    EXPECT_NE(game.boxes()[0].text.find(k.command), std::string::npos);
  }
}

// Another application: a window of another thread made the active one.
class OtherApplication {
 public:
  OtherApplication() : thread_([this] { run(); }) {
    waitFor([] { return g_host.rt.active == 0; }, paced(10000));
  }
  ~OtherApplication() {
    while (!threadId_) Sleep(1);
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }

 private:
  void run() {
    HWND w = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                             nullptr, nullptr, nullptr);
    threadId_ = GetCurrentThreadId();
    SetForegroundWindow(w);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    DestroyWindow(w);
  }
  volatile DWORD threadId_ = 0;
  std::thread thread_;
};

TEST(System, BackgroundModeOneReadsNeutralKeysAndTwoLiveOnes) {
  constexpr int kDikA = 0x1E;
  Script s;
  const int a = s.integer(kDikA);
  s.run("I@KEYGET");
  s.wait();
  int seen[2];
  for (int mode = 0; mode < 2; ++mode) {
    s.run("S@BACKGROUND", {s.integer(mode + 1)});
    s.run("I@KEYGET");
    seen[mode] = s.call("I@KEYBTN", {a});
    s.wait();
  }
  Game game(s);
  activateMainWindow();
  ASSERT_TRUE(game.step());
  {
    OtherApplication other;
    ASSERT_EQ(g_host.rt.active, 0);
    pressKey('A');
    game.runToEnd();
    releaseKey('A');
  }
  EXPECT_EQ(game.slot(seen[0]), 0u);
  EXPECT_EQ(game.slot(seen[1]), 1u);
  EXPECT_EQ(g_host.rt.background, 2);
  EXPECT_TRUE(game.boxes().empty());
}

}  // namespace
