#include "host/host.h"

#include <direct.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/catalogue.h"
#include "base/cp932.h"
#include "base/object_name.h"
#include "base/runtime.h"
#include "base/win_handle.h"
#include "engine/engine.h"
#include "host/families.h"
#include "host/loader.h"
#include "host/messages.h"

namespace qrt {

namespace {

constexpr int kWindowWidth = 570;
constexpr int kWindowHeight = 168;

// Kept for the life of the process: the single-instance mutex.
ObjectHandle g_instanceMutex;

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

bool honourSingleInstance(const std::string& path) {
  std::wstring name = singleInstanceName(path.c_str());
  SetLastError(0);
  g_instanceMutex.reset(CreateMutexW(nullptr, TRUE, name.c_str()));
  return g_instanceMutex && GetLastError() == 0;
}

}  // namespace

std::wstring singleInstanceName(const char* path) {
  std::wstring wide = widen932(path);
  CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return kernelObjectName(L"QRT.single:", std::move(wide));
}

bool hostOpenWindow(HINSTANCE instance, const char* commandLine, int show) {
  g_host = HostGlobals{};
  g_host.instance = instance;
  bindCommands();
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

  createFamilies();
}

void hostAttachImage(uint8_t* imageBase, uint32_t imageSize) {
  if (EngineState* e = engineState()) engineAttachImage(*e, imageBase, imageSize);
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
    } else if (EngineState* e = engineState(); e && e->running == 1) {
      if (!engineStep(*e)) {
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
  if (EngineState* e = engineState(); e && e->inStep) {
    e->running = 0;
    g_host.shutdownPending = true;
    return;
  }
  g_host.shutdownPending = false;
  // In start-up order; a family already released does nothing.
  releaseFamilies();
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
  // Named from the whole path: the loader's record keeps only 259 bytes of
  // it, and two games whose long paths share that much are two games.
  if (g_host.rt.singleInstance == 0x80 && !honourSingleInstance(path)) {
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
