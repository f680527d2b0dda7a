// Input state: the DirectInput object, the devices and the captured states.
#include <new>

#include "host/errors.h"
#include "host/families.h"
#include "host/runtime.h"
#include "input/input.h"

namespace qrt {

CapturedInput g_captured{};

InputState* createInputState() { return new (std::nothrow) InputState(); }

// Releasing the record releases its devices and then the DirectInput object.
void releaseInputState(InputState* s) { delete s; }

bool inputAllowed() { return g_host.rt.background == 2 || g_host.rt.active == 1; }

void storeNeutralJoystick(int n) {
  DIJOYSTATE& j = g_captured.joysticks[n];
  auto* values = reinterpret_cast<uint32_t*>(&j);
  for (int k = 0; k < kJoyValueCount; ++k) values[k] = 0x8000;
  for (BYTE& b : j.rgbButtons) b = 0;
}

IDirectInput8A* ensureDirectInput(InputState& s, int commandId) {
  if (!s.directInput) {
    HRESULT hr = DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION,
                                    IID_IDirectInput8A,
                                    reinterpret_cast<void**>(s.directInput.ReleaseAndGetAddressOf()),
                                    nullptr);
    if (FAILED(hr) || !s.directInput) {
      s.directInput.Reset();
      raiseCommandError(630, commandId);
      return nullptr;
    }
  }
  return s.directInput.Get();
}

// Shared, and readable while another window is active: the background
// input mode depends on it.
HRESULT openDevice(IDirectInputDevice8A* device) {
  HRESULT hr = device->SetCooperativeLevel(g_host.window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
  if (FAILED(hr)) return hr;
  return device->Acquire();
}

}  // namespace qrt
