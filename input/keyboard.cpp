// The keyboard, in two forms: I@KEYGET reads every key at once, I@KEYGET2
// takes one buffered key event. One device cannot serve both, so the device
// is replaced when a script switches; waiting events are lost then.
#include <cstring>

#include "engine/call.h"
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

void clearLastKey(InputState& s) {
  s.captured.lastKey.dwOfs = 0;
  s.captured.lastKey.dwData = 0;
  s.captured.lastKey.dwTimeStamp = 0;
}

}  // namespace

int32_t cmdIKeyGet(Call& c) {
  InputState* s = input();
  if (!s) return c.fail(630);
  if (!inputAllowed()) {
    std::memset(s->captured.keys, 0, sizeof s->captured.keys);
    return 1;
  }
  if (!ensureDirectInput(c, *s)) return 0;
  if (!ensureKeyboard(*s, KeyboardMode::kImmediate) ||
      FAILED(readDeviceState(s->keyboard.Get(), sizeof s->captured.keys, s->captured.keys))) {
    return c.fail(630);
  }
  return 1;
}

int32_t cmdIKeyBtn(Call& c) {
  const int32_t k = c.i(0);
  if (k < 0 || k > 255) return c.fail(660, -1);
  return captured().keys[k] ? 1 : 0;
}

int32_t cmdIKeyGet2(Call& c) {
  InputState* s = input();
  if (!s) return c.fail(630);
  if (!inputAllowed()) {
    clearLastKey(*s);
    return 1;
  }
  if (!ensureDirectInput(c, *s)) return 0;
  if (!ensureKeyboard(*s, KeyboardMode::kBuffered)) return c.fail(630);
  // One event per call, the oldest first.
  DWORD count = 1;
  HRESULT hr = s->keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), &s->captured.lastKey, &count, 0);
  if (hr == DIERR_INPUTLOST || hr == DIERR_NOTACQUIRED) {
    count = 1;
    if (SUCCEEDED(s->keyboard->Acquire()))
      hr = s->keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), &s->captured.lastKey, &count, 0);
  }
  if (FAILED(hr)) return c.fail(630);
  if (count == 0) clearLastKey(*s);
  return 1;
}

int32_t cmdIKeyBtn2(Call& c) {
  const int32_t item = c.i(0);
  const DIDEVICEOBJECTDATA& event = captured().lastKey;
  switch (item) {
    case 0: return static_cast<int32_t>(event.dwOfs);
    case 1:
      if (event.dwOfs == 0) return 0;
      return event.dwData ? 1 : 2;
    case 2: return static_cast<int32_t>(event.dwTimeStamp);
    default:
      return c.fail(660, -1);
  }
}

}  // namespace qrt
