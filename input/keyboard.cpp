// The keyboard, in two forms: I@KEYGET reads every key at once, I@KEYGET2
// takes one buffered key event. One device cannot serve both, so the device
// is replaced when a script switches; waiting events are lost then.
#include <cstring>

#include "engine/engine.h"
#include "host/errors.h"
#include "host/runtime.h"
#include "input/input.h"

namespace qrt {

namespace {

// Makes the keyboard device in the requested form, replacing one of the
// other form. The device is kept only when it was opened completely.
bool ensureKeyboard(InputState& s, KeyboardMode mode) {
  if (s.keyboard && s.keyboardMode != mode) {
    s.keyboard->Unacquire();
    s.keyboard.Reset();
    s.keyboardMode = KeyboardMode::kNone;
  }
  if (s.keyboard) return true;
  DeviceRef device;
  if (FAILED(s.directInput->CreateDevice(GUID_SysKeyboard, device.GetAddressOf(), nullptr)))
    return false;
  if (mode == KeyboardMode::kBuffered) {
    DIPROPDWORD size{};
    size.diph.dwSize = sizeof size;
    size.diph.dwHeaderSize = sizeof size.diph;
    size.diph.dwObj = 0;
    size.diph.dwHow = DIPH_DEVICE;
    size.dwData = kKeyBufferSize;
    if (FAILED(device->SetProperty(DIPROP_BUFFERSIZE, &size.diph))) return false;
  }
  if (FAILED(device->SetDataFormat(&c_dfDIKeyboard))) return false;
  if (FAILED(openDevice(device.Get()))) return false;
  s.keyboard = device;
  s.keyboardMode = mode;
  return true;
}

void clearLastKey() {
  g_captured.lastKey.dwOfs = 0;
  g_captured.lastKey.dwData = 0;
  g_captured.lastKey.dwTimeStamp = 0;
}

}  // namespace

int32_t cmdIKeyGet(EngineState&) {
  if (!inputAllowed()) {
    std::memset(g_captured.keys, 0, sizeof g_captured.keys);
    return 1;
  }
  InputState* s = g_host.input;
  if (!s) {
    raiseCommandError(630, cmd::kKeyGet);
    return 0;
  }
  if (!ensureDirectInput(*s, cmd::kKeyGet)) return 0;
  if (!ensureKeyboard(*s, KeyboardMode::kImmediate) ||
      FAILED(s->keyboard->GetDeviceState(sizeof g_captured.keys, g_captured.keys))) {
    raiseCommandError(630, cmd::kKeyGet);
    return 0;
  }
  return 1;
}

int32_t cmdIKeyBtn(EngineState& e) {
  const int32_t k = static_cast<int32_t>(e.params.arg[0]);
  if (k < 0 || k > 255) {
    raiseCommandError(660, cmd::kKeyBtn);
    return -1;
  }
  return g_captured.keys[k] ? 1 : 0;
}

int32_t cmdIKeyGet2(EngineState&) {
  if (!inputAllowed()) {
    clearLastKey();
    return 1;
  }
  InputState* s = g_host.input;
  if (!s) {
    raiseCommandError(630, cmd::kKeyGet2);
    return 0;
  }
  if (!ensureDirectInput(*s, cmd::kKeyGet2)) return 0;
  if (!ensureKeyboard(*s, KeyboardMode::kBuffered)) {
    raiseCommandError(630, cmd::kKeyGet2);
    return 0;
  }
  // One event per call, the oldest first.
  DWORD count = 1;
  HRESULT hr = s->keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), &g_captured.lastKey, &count, 0);
  if (FAILED(hr)) {
    raiseCommandError(630, cmd::kKeyGet2);
    return 0;
  }
  if (count == 0) clearLastKey();
  return 1;
}

int32_t cmdIKeyBtn2(EngineState& e) {
  const int32_t item = static_cast<int32_t>(e.params.arg[0]);
  const DIDEVICEOBJECTDATA& event = g_captured.lastKey;
  switch (item) {
    case 0: return static_cast<int32_t>(event.dwOfs);
    case 1:
      if (event.dwOfs == 0) return 0;
      return event.dwData ? 1 : 2;
    case 2: return static_cast<int32_t>(event.dwTimeStamp);
    default:
      raiseCommandError(660, cmd::kKeyBtn2);
      return -1;
  }
}

}  // namespace qrt
