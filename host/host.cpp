#include "host/host.h"

#include <direct.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "engine/commands.h"
#include "engine/engine.h"
#include "host/catalogue.h"
#include "host/cp932.h"
#include "host/families.h"
#include "host/loader.h"
#include "host/messages.h"
#include "host/runtime.h"

namespace qrt {

HostGlobals g_host;

namespace {

constexpr int kWindowWidth = 570;
constexpr int kWindowHeight = 168;

// Kept for the life of the process: the single-instance mutex.
HANDLE g_instanceMutex = nullptr;

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    hostShutdown();
    PostQuitMessage(0);
  }
  LRESULT result = 0;
  if (handleWindowMessage(hwnd, message, wParam, lParam, &result)) return result;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::string executablePath() {
  wchar_t wide[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, wide, MAX_PATH * 2);
  return narrow932(wide);
}

// Makes the executable's folder the current directory, so that relative
// file names in commands resolve against it.
void enterExecutableFolder(const std::string& path) {
  std::wstring wide = widen932(path.c_str());
  size_t slash = wide.find_last_of(L'\\');
  if (slash == std::wstring::npos) return;
  wide.resize(slash == 2 && wide[1] == L':' ? slash + 1 : slash);
  SetCurrentDirectoryW(wide.c_str());
}

template <typename Record>
void release(Record*& record, void (*releaseRecord)(Record*)) {
  if (!record) return;
  releaseRecord(record);
  record = nullptr;
}

bool honourSingleInstance(const char* path) {
  std::wstring name = singleInstanceName(path);
  SetLastError(0);
  g_instanceMutex = CreateMutexW(nullptr, TRUE, name.c_str());
  return g_instanceMutex && GetLastError() == 0;
}

}  // namespace

std::wstring singleInstanceName(const char* path) {
  std::wstring wide = widen932(path);
  CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  for (wchar_t& c : wide)
    if (c == L'\\') c = L'/';
  std::wstring name = L"QRT.single:";
  constexpr size_t kRoom = MAX_PATH - 32;
  if (wide.size() <= kRoom) return name + wide;
  // Too long for an object name: a hash of the whole path stands in for it.
  uint64_t h = 1469598103934665603ull;
  for (wchar_t c : wide) h = (h ^ static_cast<uint16_t>(c)) * 1099511628211ull;
  wchar_t digest[24];
  swprintf(digest, 24, L"%016llx", static_cast<unsigned long long>(h));
  return name + wide.substr(wide.size() - (kRoom - 20)) + L"#" + digest;
}

bool hostOpenWindow(HINSTANCE instance, const char* commandLine, int show) {
  g_host = HostGlobals{};
  g_host.instance = instance;
  buildCommandRecords(g_host.rt.commands);
  g_host.rt.commandLine = commandLine ? commandLine : "";

  CreateDirectoryW(L"\\QRT", nullptr);  // the data folder; it may exist already

  std::wstring className = widen932(kWindowClassName);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = windowProcedure;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, L"Script1");
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = className.c_str();
  // A second run in the same process finds the class registered already.
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  HWND window = CreateWindowExW(WS_EX_APPWINDOW, className.c_str(), nullptr, WS_VISIBLE | WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, kWindowWidth, kWindowHeight, nullptr, nullptr,
                                instance, nullptr);
  if (!window) return false;
  g_host.window = window;
  ShowWindow(window, show);
  UpdateWindow(window);
  // Without a window manager nothing else makes the new window the active
  // one, and an inactive program is frozen by the stepping rule.
  SetForegroundWindow(window);
  SetFocus(window);
  return true;
}

void hostCreateFamilies() {
  RECT r{};
  GetClientRect(g_host.window, &r);
  POINT topLeft{r.left, r.top}, bottomRight{r.right, r.bottom};
  ClientToScreen(g_host.window, &topLeft);
  ClientToScreen(g_host.window, &bottomRight);
  g_host.client = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};

  g_host.engine = createEngineState();
  g_host.display = createDisplayState();
  g_host.input = createInputState();
  g_host.music = createMusicList();
  g_host.network = createNetworkRegistry();
  g_host.cd = createCdState();
  g_host.waves = createWaveRegistry();
  g_host.timerIme = createTimerImeRecord();
}

void hostAttachImage(uint8_t* imageBase, uint32_t imageSize) {
  if (g_host.engine) engineAttachImage(*g_host.engine, imageBase, imageSize);
}

int hostMessageLoop() {
  MSG msg;
  for (;;) {
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!GetMessageW(&msg, nullptr, 0, 0)) return static_cast<int>(msg.wParam);
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    } else if (g_host.rt.background == 0 && g_host.rt.active != 1) {
      WaitMessage();  // inactive and not in background mode: frozen
    } else if (g_host.engine && g_host.engine->running == 1) {
      if (!engineStep(*g_host.engine)) {
        bool windowGone = g_host.shutdownPending;
        hostShutdown();
        if (!windowGone) PostMessageW(g_host.window, WM_CLOSE, 0, 0);
      }
    }
    Sleep(0);
  }
}

void hostShutdown() {
  // A command's modal loop (an error box) can deliver WM_DESTROY in the
  // middle of a step; the records it is using are released once it returns.
  if (g_host.engine && g_host.engine->inStep) {
    g_host.engine->running = 0;
    g_host.shutdownPending = true;
    return;
  }
  g_host.shutdownPending = false;
  // In start-up order; each pointer is cleared, so a second call does nothing.
  release(g_host.engine, releaseEngineState);
  release(g_host.display, releaseDisplayState);
  release(g_host.input, releaseInputState);
  release(g_host.music, releaseMusicList);
  release(g_host.network, releaseNetworkRegistry);
  release(g_host.cd, releaseCdState);
  release(g_host.waves, releaseWaveRegistry);
  release(g_host.timerIme, releaseTimerImeRecord);
}

void hostAbandonWindow() {
  if (g_host.window) {
    HWND w = g_host.window;
    g_host.window = nullptr;
    DestroyWindow(w);
  }
}

int hostMain(HINSTANCE instance, const char* commandLine, int show) {
  if (!hostOpenWindow(instance, commandLine, show)) return 0;

  std::string path = executablePath();
  LoaderRecord* loader = loadExecutable(path.c_str());
  g_host.rt.loader = loader;
  int64_t header = loader ? findImageHeader(loader->buffer, loader->size) : -1;
  if (header < 0) {
    hostAbandonWindow();
    return 0;
  }
  g_host.rt.singleInstance = loader->buffer[header + 3];
  if (g_host.rt.singleInstance == 0x80 && !honourSingleInstance(loader->path)) {
    hostAbandonWindow();
    return 0;
  }
  enterExecutableFolder(path);
  hostCreateFamilies();
  auto base = static_cast<uint32_t>(header) + kImageHeaderSize;
  hostAttachImage(loader->buffer + base, loader->size > base ? loader->size - base : 0);
  return hostMessageLoop();
}

}  // namespace qrt
