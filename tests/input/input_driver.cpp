#include "tests/input/input_driver.h"

#include "base/runtime.h"

namespace qrt::test {

namespace {

// Keys of the editing and arrow block come with the extended flag, as from
// a keyboard; without it their scan codes are the number pad's.
bool isExtended(WORD vk) {
  switch (vk) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
    case VK_INSERT: case VK_DELETE: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
      return true;
    default:
      return false;
  }
}

void sendKey(WORD vk, DWORD flags) {
  if (isExtended(vk)) flags |= KEYEVENTF_EXTENDEDKEY;
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  // Both: the window's messages want the virtual key, DirectInput the scan
  // code.
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = flags;
  SendInput(1, &in, sizeof in);
}

void sendMouse(DWORD flags, int dx, int dy, DWORD data) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dx = dx;
  in.mi.dy = dy;
  in.mi.mouseData = data;
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof in);
}

}  // namespace

void pressKey(WORD vk) { sendKey(vk, 0); }
void releaseKey(WORD vk) { sendKey(vk, KEYEVENTF_KEYUP); }
void tapKey(WORD vk) {
  pressKey(vk);
  settle();
  releaseKey(vk);
  settle();
}
void moveMouse(int dx, int dy) { sendMouse(MOUSEEVENTF_MOVE, dx, dy, 0); }
void turnWheel(int delta) { sendMouse(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(delta)); }
void mouseButton(DWORD flags) { sendMouse(flags, 0, 0, 0); }

void settle() {
  for (int i = 0; i < 5; ++i) {
    Sleep(20);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

void activateMainWindow() {
  SetForegroundWindow(g_host.window);
  SetFocus(g_host.window);
  settle();
}

PlainMouse::PlainMouse() {
  SystemParametersInfoW(SPI_GETMOUSE, 0, saved_, 0);
  int plain[3] = {0, 0, 0};
  SystemParametersInfoW(SPI_SETMOUSE, 0, plain, 0);
}

PlainMouse::~PlainMouse() { SystemParametersInfoW(SPI_SETMOUSE, 0, saved_, 0); }

}  // namespace qrt::test
