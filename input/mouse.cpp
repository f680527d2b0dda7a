// The mouse: I@MSGET reads the device and interprets its movement by the
// mouse mode and the window mode; I@MSPOS and I@MSBTN read the result.
//
// Mode 0 gives coarse relative movement. Modes 1 and 2 give a position: in
// full screen a virtual cursor built from the movements (the system cursor
// is hidden and captured there), in a window the system cursor, on the
// screen (1) or on the logical screen, scaled from the client area (2).
#include <algorithm>
#include <cstring>

#include "base/runtime.h"
#include "engine/call.h"
#include "gfx2d/display.h"
#include "input/input.h"

namespace qrt {

namespace {

constexpr int32_t kMouseModeCount = 3;
constexpr int32_t kCoarseDivisor = 64;

bool readMouse(Call& c, InputState& s) {
  DIMOUSESTATE2& m = s.captured.mouse;
  m.lX = m.lY = m.lZ = 0;
  if (!ensureDirectInput(c, s)) return false;
  if (!s.mouse) {
    DeviceRef device;
    if (FAILED(s.directInput->CreateDevice(GUID_SysMouse, device.GetAddressOf(), nullptr)) ||
        FAILED(device->SetDataFormat(&c_dfDIMouse2)) || FAILED(openDevice(device.Get()))) {
      c.fail(630);
      return false;
    }
    s.mouse = device;
  }
  if (FAILED(readDeviceState(s.mouse.Get(), sizeof m, &m))) {
    c.fail(630);
    return false;
  }
  return true;
}

int32_t clampTo(int32_t v, int32_t size) { return std::clamp(v, 0, std::max(size - 1, 0)); }

// Scales a client coordinate to the logical screen. Before G@SETUP there
// is no logical screen (its size is 0), so the client coordinate is the
// answer as it is.
int32_t toLogical(int32_t client, int32_t logicalSize, int32_t clientSize) {
  if (logicalSize <= 0) return client;
  const int64_t scaled = int64_t{logicalSize} * client / std::max(clientSize, 1);
  return clampTo(static_cast<int32_t>(std::clamp<int64_t>(scaled, INT32_MIN, INT32_MAX)),
                 logicalSize);
}

}  // namespace

int32_t cmdIMsGet(Call& c) {
  const int32_t mode = c.i(0);
  // A negative mode names no interpretation either.
  if (mode < 0 || mode >= kMouseModeCount) return c.fail(660);
  InputState* s = input();
  if (!s) return c.fail(630);
  DIMOUSESTATE2& m = s->captured.mouse;
  if (!inputAllowed()) {
    if (mode == 0) m.lX = m.lY = m.lZ = 0;
    std::memset(m.rgbButtons, 0, sizeof m.rgbButtons);
    return 1;
  }
  if (!readMouse(c, *s)) return 0;

  const DisplayState* d = display();
  const int windowMode = d ? d->windowMode : -1;
  if (mode == 0) {
    m.lX /= kCoarseDivisor;
    m.lY /= kCoarseDivisor;
    m.lZ = 0;
  } else if (windowMode == 0) {
    s->cursorX = clampTo(s->cursorX + m.lX, d->width);
    s->cursorY = clampTo(s->cursorY + m.lY, d->height);
    s->wheel += m.lZ;
    m.lX = s->cursorX;
    m.lY = s->cursorY;
    m.lZ = s->wheel;
  } else {
    POINT p{};
    GetCursorPos(&p);
    if (mode == 2) {
      ScreenToClient(g_host.window, &p);
      const int32_t width = d ? d->width : 0, height = d ? d->height : 0;
      p.x = toLogical(p.x, width, d ? d->clientWidth : 0);
      p.y = toLogical(p.y, height, d ? d->clientHeight : 0);
    }
    m.lX = p.x;
    m.lY = p.y;
    m.lZ = 0;
  }
  return 1;
}

int32_t cmdIMsPos(Call& c) {
  const DIMOUSESTATE2& m = captured().mouse;
  switch (c.i(0)) {
    case 0: return m.lX;
    case 1: return m.lY;
    case 2: return m.lZ;
    default: return c.fail(660, 32767);
  }
}

int32_t cmdIMsBtn(Call& c) {
  const int32_t b = c.i(0);
  if (b < 0 || b > 7) return c.fail(660, 32767);
  return captured().mouse.rgbButtons[b] ? 1 : 0;
}

}  // namespace qrt
