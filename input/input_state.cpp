// Input state: the DirectInput object, the devices and the captured states.
#include <new>

#include "base/runtime.h"
#include "engine/call.h"
#include "engine/family.h"
#include "input/input.h"

namespace qrt {

namespace {

InputState* g_input = nullptr;
const CapturedInput kNothingCaptured{};

void createInput() {
  if (!g_input) g_input = new (std::nothrow) InputState();
}

// Releasing the record releases its devices and then the DirectInput object.
void releaseInput() {
  delete g_input;
  g_input = nullptr;
}

// Back from another application: the devices lost their acquisition while
// it was active. Taking it back now keeps the first read from failing.
void resumeInput() {
  InputState* s = g_input;
  if (!s) return;
  if (s->keyboard) s->keyboard->Acquire();
  if (s->mouse) s->mouse->Acquire();
  for (int n = 0; n < s->joystickCount; ++n)
    if (s->joysticks[n]) s->joysticks[n]->Acquire();
}

}  // namespace

InputState* input() { return g_input; }

const CapturedInput& captured() { return g_input ? g_input->captured : kNothingCaptured; }

std::span<const CommandBinding> inputCommands() {
  static constexpr CommandBinding kBindings[] = {
      {commandId("I@JOYGET"), cmdIJoyGet},
      {commandId("I@JOYAPOS"), cmdIJoyAPos},
      {commandId("I@JOYDPOS"), cmdIJoyDPos},
      {commandId("I@JOYBTN"), cmdIJoyBtn},
      {commandId("I@KEYGET"), cmdIKeyGet},
      {commandId("I@KEYBTN"), cmdIKeyBtn},
      {commandId("I@MSGET"), cmdIMsGet},
      {commandId("I@MSBTN"), cmdIMsBtn},
      {commandId("I@MSPOS"), cmdIMsPos},
      {commandId("I@KEYGET2"), cmdIKeyGet2},
      {commandId("I@KEYBTN2"), cmdIKeyBtn2},
  };
  return kBindings;
}

Family inputFamily() { return {"input", createInput, releaseInput, nullptr, resumeInput, inputCommands()}; }

bool inputAllowed() { return g_host.rt.background == 2 || g_host.rt.active == 1; }

void storeNeutralJoystick(InputState& s, int n) {
  DIJOYSTATE& j = s.captured.joysticks[n];
  auto* values = reinterpret_cast<uint32_t*>(&j);
  for (int k = 0; k < kJoyValueCount; ++k) values[k] = 0x8000;
  for (BYTE& b : j.rgbButtons) b = 0;
}

IDirectInput8A* ensureDirectInput(Call& c, InputState& s) {
  if (!s.directInput) {
    HRESULT hr = DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                    reinterpret_cast<void**>(s.directInput.ReleaseAndGetAddressOf()), nullptr);
    if (FAILED(hr) || !s.directInput) {
      s.directInput.Reset();
      c.fail(630);
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

HRESULT readDeviceState(IDirectInputDevice8A* device, DWORD size, void* state) {
  HRESULT hr = device->GetDeviceState(size, state);
  if (hr == DIERR_INPUTLOST || hr == DIERR_NOTACQUIRED) {
    if (SUCCEEDED(device->Acquire())) hr = device->GetDeviceState(size, state);
  }
  return hr;
}

}  // namespace qrt
