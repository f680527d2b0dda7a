// Input: game controllers, the keyboard and the mouse through DirectInput 8.
//
// Input is polled. A get command reads one device once and captures its
// state; the query commands that follow read only the captured state.
// Devices are made by the first get command that needs them and kept for
// the rest of the run.
#pragma once
#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif
#include <windows.h>
#include <dinput.h>
#include <wrl/client.h>

#include <cstdint>

#include "input/commands.h"

namespace qrt {

class Call;
struct Family;

constexpr int kMaxControllers = 16;
constexpr int kJoyValueCount = 12;    // six axes, two sliders, four points of view
constexpr int kJoyButtonCount = 32;
constexpr int kKeyBufferSize = 16;    // key events the platform keeps for I@KEYGET2

// How the keyboard device was made: the immediate and the buffered forms
// cannot share one device, so switching replaces it.
enum class KeyboardMode : int32_t { kNone = 0, kImmediate = 1, kBuffered = 2 };

using DeviceRef = Microsoft::WRL::ComPtr<IDirectInputDevice8A>;

// What the last get commands read, zero at start. The query commands only
// ever look here.
struct CapturedInput {
  DIJOYSTATE joysticks[kMaxControllers];
  uint8_t keys[256];                  // by DIK_ code, nonzero while down
  DIMOUSESTATE2 mouse;                // after interpretation by I@MSGET
  DIDEVICEOBJECTDATA lastKey;
};
static_assert(sizeof(DIJOYSTATE) == 80, "controller state is 80 bytes");
static_assert(sizeof(DIDEVICEOBJECTDATA) == 20, "key event record is 20 bytes");

// The family's state record. The DirectInput object is declared first so
// that the devices made from it are released before it.
struct InputState {
  Microsoft::WRL::ComPtr<IDirectInput8A> directInput;
  int32_t cursorX = 0, cursorY = 0;   // full-screen mouse, built from movements
  int32_t wheel = 0;                  // full-screen wheel, sum of movements
  int32_t joystickCount = 0;
  KeyboardMode keyboardMode = KeyboardMode::kNone;
  DeviceRef mouse;
  DeviceRef keyboard;
  DeviceRef joysticks[kMaxControllers];
  CapturedInput captured{};
};

// The input state of the run, or nullptr when it is absent.
InputState* input();
Family inputFamily();

// What the query commands read: the captured state, or all zeros when the
// record is absent.
const CapturedInput& captured();

// Devices are read while the application is active, or always when the
// script asked for background input (S@BACKGROUND 2).
bool inputAllowed();

// The neutral controller: every value centred (32768), no button down.
void storeNeutralJoystick(InputState& s, int n);

// Shared by the handlers: the DirectInput object, made on first use (error
// 630 naming the command when it cannot be), and the cooperative level and
// acquisition every device gets.
IDirectInput8A* ensureDirectInput(Call& c, InputState& s);
HRESULT openDevice(IDirectInputDevice8A* device);

// Reads a device's state; when the platform refuses because the device lost
// its acquisition (the application was switched away from), acquires it
// again and reads once more.
HRESULT readDeviceState(IDirectInputDevice8A* device, DWORD size, void* state);

}  // namespace qrt
