// A stand-in game for the harness's own tests: shows message boxes the way
// the runtime does and ends with a chosen code.
//   boxes_fixture exit <code>       no box
//   boxes_fixture boxes <code>      two boxes, then exit
//   boxes_fixture yesno             a Yes/No box; exits with the button pressed
//   boxes_fixture window <code>     a main window, then a box it owns
//   boxes_fixture cwd               a box showing the current folder
//   boxes_fixture args <a> <b> ...  a box showing its arguments joined by '|'
//   boxes_fixture hang              a window that never closes
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  return DefWindowProcW(window, message, w, l);
}

HWND mainWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"BoxesFixture";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"fixture", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                CW_USEDEFAULT, CW_USEDEFAULT, 320, 240, nullptr, nullptr,
                                wc.hInstance, nullptr);
  return window;
}

void pump(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  MSG msg;
  while (static_cast<LONG>(GetTickCount() - end) < 0) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(5);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  const int code = argc > 2 ? _wtoi(argv[2]) : 0;

  if (mode == L"exit") return code;
  if (mode == L"boxes") {
    // A Japanese title and a two-line text, then ASCII that needs escaping.
    MessageBoxW(nullptr, L"\x4E00\x884C\x76EE\n\x4E8C\x884C\x76EE", L"\x7BB1\xFF11", MB_OK | MB_ICONERROR);
    MessageBoxW(nullptr, L"tab\there \\ back", L"second", MB_OK);
    return code;
  }
  if (mode == L"yesno") return MessageBoxW(nullptr, L"continue?", L"question", MB_YESNO);
  if (mode == L"window") {
    HWND window = mainWindow();
    pump(100);
    MessageBoxW(window, L"owned", L"owned box", MB_OK);
    DestroyWindow(window);
    return code;
  }
  if (mode == L"cwd") {
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    MessageBoxW(nullptr, folder, L"cwd", MB_OK);
    return 0;
  }
  if (mode == L"args") {
    std::wstring joined;
    for (int i = 2; i < argc; ++i) joined += (i > 2 ? L"|" : L"") + std::wstring(argv[i]);
    MessageBoxW(nullptr, joined.c_str(), L"args", MB_OK);
    return argc - 2;
  }
  if (mode == L"hang") {
    mainWindow();
    for (;;) pump(1000);
  }
  return 99;
}
