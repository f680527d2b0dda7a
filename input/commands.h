// Handlers of the I@ commands: joystick (joystick.cpp), keyboard
// (keyboard.cpp) and mouse (mouse.cpp).
#pragma once
#include <cstdint>
#include <span>

namespace qrt {

class Call;
struct CommandBinding;

// The family's handlers by command, for the host to bind.
std::span<const CommandBinding> inputCommands();

int32_t cmdIJoyGet(Call& c);
int32_t cmdIJoyAPos(Call& c);
int32_t cmdIJoyDPos(Call& c);
int32_t cmdIJoyBtn(Call& c);
int32_t cmdIKeyGet(Call& c);
int32_t cmdIKeyBtn(Call& c);
int32_t cmdIMsGet(Call& c);
int32_t cmdIMsBtn(Call& c);
int32_t cmdIMsPos(Call& c);
int32_t cmdIKeyGet2(Call& c);
int32_t cmdIKeyBtn2(Call& c);

}  // namespace qrt
