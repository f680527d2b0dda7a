// Game controllers: I@JOYGET captures one controller; I@JOYAPOS, I@JOYDPOS
// and I@JOYBTN read the captured state.
#include <cstring>

#include "base/runtime.h"
#include "engine/call.h"
#include "input/input.h"

namespace qrt {

namespace {

// Axes and sliders report 0..65535 around 32768; only a clear push counts
// as a direction.
constexpr int32_t kLowThreshold = 0x2000;
constexpr int32_t kHighThreshold = 0xE000;

// Point-of-view hats report hundredths of a degree clockwise from up.
constexpr uint32_t kPovUp = 0, kPovRight = 9000, kPovDown = 18000, kPovLeft = 27000;

struct Enumeration {
  InputState* state;
};

BOOL CALLBACK recordController(const DIDEVICEINSTANCEA* instance, void* context) {
  InputState& s = *static_cast<Enumeration*>(context)->state;
  // The enumeration always runs to its end; controllers past the sixteenth
  // are not recorded.
  if (s.joystickCount >= kMaxControllers) return DIENUM_CONTINUE;
  DeviceRef device;
  if (FAILED(s.directInput->CreateDevice(instance->guidInstance, device.GetAddressOf(), nullptr)))
    return DIENUM_CONTINUE;
  if (FAILED(device->SetDataFormat(&c_dfDIJoystick))) return DIENUM_CONTINUE;
  if (FAILED(device->SetCooperativeLevel(g_host.window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)))
    return DIENUM_CONTINUE;
  // Acquiring may fail now and succeed at the next read, which acquires
  // again.
  device->Acquire();
  s.joysticks[s.joystickCount++] = device;
  return DIENUM_CONTINUE;
}

int32_t joyValue(int n, int k) {
  int32_t values[kJoyValueCount];
  std::memcpy(values, &captured().joysticks[n], sizeof values);
  return values[k];
}

bool validController(int32_t n) { return n >= 0 && n < kMaxControllers; }
bool validValue(int32_t k) { return k >= 0 && k < kJoyValueCount; }

}  // namespace

int32_t cmdIJoyGet(Call& c) {
  const int32_t n = c.i(0);
  if (!validController(n)) return c.fail(660);
  InputState* s = input();
  if (!s) return c.fail(630);
  if (!inputAllowed()) {
    storeNeutralJoystick(*s, n);
    return 1;
  }
  if (!ensureDirectInput(c, *s)) return 0;
  // Repeated until a first controller turns up; later arrivals are not seen.
  if (s->joystickCount == 0) {
    Enumeration context{s};
    s->directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, recordController, &context,
                                DIEDFL_ATTACHEDONLY);
  }
  IDirectInputDevice8A* device = n < s->joystickCount ? s->joysticks[n].Get() : nullptr;
  if (!device) {
    storeNeutralJoystick(*s, n);
    return 0;
  }
  device->Poll();
  DIJOYSTATE state{};
  if (device->GetDeviceState(sizeof state, &state) != DI_OK) {
    device->Acquire();
    storeNeutralJoystick(*s, n);
    return 0;
  }
  s->captured.joysticks[n] = state;
  return 1;
}

int32_t cmdIJoyAPos(Call& c) {
  const int32_t n = c.i(0), k = c.i(1);
  if (!validController(n)) return c.fail(660, -1);
  if (!validValue(k)) return c.fail(660, 100);
  const int32_t v = joyValue(n, k);
  // 100 would read as the command's failure and end the program.
  return v == 100 ? 101 : v;
}

int32_t cmdIJoyDPos(Call& c) {
  const int32_t n = c.i(0), k = c.i(1);
  if (!validController(n)) return c.fail(660, -1);
  if (!validValue(k)) return c.fail(660, 100);
  const int32_t v = joyValue(n, k);
  if (k < 8) {
    if (v < kLowThreshold) return -1;
    if (v > kHighThreshold) return 1;
    return 0;
  }
  // Diagonals and the centred hat have no single direction.
  switch (static_cast<uint32_t>(v)) {
    case kPovUp: return 0;
    case kPovRight: return 1;
    case kPovDown: return 2;
    case kPovLeft: return 3;
    default: return -1;
  }
}

int32_t cmdIJoyBtn(Call& c) {
  const int32_t n = c.i(0), b = c.i(1);
  if (!validController(n) || b < 0 || b > kJoyButtonCount) return c.fail(660, 100);
  const BYTE* buttons = captured().joysticks[n].rgbButtons;
  if (b == 0) {
    for (int i = 0; i < kJoyButtonCount; ++i)
      if (buttons[i]) return 1;
    return 0;
  }
  return buttons[b - 1] ? 1 : 0;
}

}  // namespace qrt
