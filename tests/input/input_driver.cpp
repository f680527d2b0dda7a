#include "tests/input/input_driver.h"

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif
#include <dinput.h>
#include <wrl/client.h>

#include <functional>

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

// A player's hands are slower than the test: the test's own DirectInput
// devices, fed by the same platform hook as the game's, tell when an event
// has reached DirectInput, so that the test waits for exactly that.
class Probe {
 public:
  Probe() {
    if (FAILED(DirectInput8Create(GetModuleHandleW(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8W,
                                  reinterpret_cast<void**>(input_.GetAddressOf()), nullptr)))
      return;
    open(GUID_SysKeyboard, &c_dfDIKeyboard, keyboard_);
    open(GUID_SysMouse, &c_dfDIMouse2, mouse_);
  }

  // Whether the key is down as DirectInput sees it.
  bool keyDown(WORD vk) {
    uint8_t keys[256] = {};
    if (!keyboard_ || FAILED(read(keyboard_.Get(), sizeof keys, keys))) return false;
    UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    if (isExtended(vk)) scan |= 0x80;
    return (keys[scan & 0xFF] & 0x80) != 0;
  }

  // The mouse's state; movements since the last look.
  bool mouse(DIMOUSESTATE2& m) { return mouse_ && SUCCEEDED(read(mouse_.Get(), sizeof m, &m)); }

 private:
  using Device = Microsoft::WRL::ComPtr<IDirectInputDevice8W>;
  void open(REFGUID guid, const DIDATAFORMAT* format, Device& out) {
    Device d;
    if (FAILED(input_->CreateDevice(guid, d.GetAddressOf(), nullptr)) || FAILED(d->SetDataFormat(format)) ||
        FAILED(d->SetCooperativeLevel(g_host.window ? g_host.window : GetDesktopWindow(),
                                      DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)))
      return;
    d->Acquire();
    out = d;
  }

  static HRESULT read(IDirectInputDevice8W* d, DWORD size, void* state) {
    HRESULT hr = d->GetDeviceState(size, state);
    if (hr == DIERR_INPUTLOST || hr == DIERR_NOTACQUIRED) {
      d->Acquire();
      hr = d->GetDeviceState(size, state);
    }
    return hr;
  }

  Microsoft::WRL::ComPtr<IDirectInput8W> input_;
  Device keyboard_, mouse_;
};

Probe& probe() {
  static Probe p;
  return p;
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

// Sends one mouse event and waits until DirectInput has it.
void mouseEvent(DWORD flags, int dx, int dy, DWORD data) {
  DIMOUSESTATE2 m{};
  probe().mouse(m);   // forget what came before
  m = DIMOUSESTATE2{};
  sendMouse(flags, dx, dy, data);
  waitFor([&] {
    DIMOUSESTATE2 now{};
    if (!probe().mouse(now)) return true;
    m.lX += now.lX;
    m.lY += now.lY;
    m.lZ += now.lZ;
    if (flags & MOUSEEVENTF_MOVE) return m.lX != 0 || m.lY != 0;
    if (flags & MOUSEEVENTF_WHEEL) return m.lZ != 0;
    const bool down = flags & (MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_MIDDLEDOWN);
    const int button = flags & (MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP)     ? 0
                       : flags & (MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_RIGHTUP) ? 1
                                                                               : 2;
    return ((now.rgbButtons[button] & 0x80) != 0) == down;
  });
}

}  // namespace

void drain() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    drain();
    if (done()) return true;
    if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
    Sleep(1);
  }
}

void pressKey(WORD vk) {
  sendKey(vk, 0);
  waitFor([vk] { return probe().keyDown(vk); });
}
void releaseKey(WORD vk) {
  sendKey(vk, KEYEVENTF_KEYUP);
  waitFor([vk] { return !probe().keyDown(vk); });
}
void tapKey(WORD vk) {
  pressKey(vk);
  releaseKey(vk);
}
void moveMouse(int dx, int dy) { mouseEvent(MOUSEEVENTF_MOVE, dx, dy, 0); }
void turnWheel(int delta) { mouseEvent(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(delta)); }
void mouseButton(DWORD flags) { mouseEvent(flags, 0, 0, 0); }

void settle() { drain(); }

void activateMainWindow() {
  probe();   // its devices listen from now on
  SetForegroundWindow(g_host.window);
  SetFocus(g_host.window);
  waitFor([] { return g_host.rt.active == 1 && GetForegroundWindow() == g_host.window; });
}

PlainMouse::PlainMouse() {
  SystemParametersInfoW(SPI_GETMOUSE, 0, saved_, 0);
  int plain[3] = {0, 0, 0};
  SystemParametersInfoW(SPI_SETMOUSE, 0, plain, 0);
}

PlainMouse::~PlainMouse() { SystemParametersInfoW(SPI_SETMOUSE, 0, saved_, 0); }

}  // namespace qrt::test
