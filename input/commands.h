// Handlers of the I@ commands (ids 91..101): joystick, keyboard and mouse.
#pragma once
#include <cstdint>

namespace qrt {

struct EngineState;

int32_t cmdIJoyGet(EngineState& e);
int32_t cmdIJoyAPos(EngineState& e);
int32_t cmdIJoyDPos(EngineState& e);
int32_t cmdIJoyBtn(EngineState& e);
int32_t cmdIKeyGet(EngineState& e);
int32_t cmdIKeyBtn(EngineState& e);
int32_t cmdIMsGet(EngineState& e);
int32_t cmdIMsBtn(EngineState& e);
int32_t cmdIMsPos(EngineState& e);
int32_t cmdIKeyGet2(EngineState& e);
int32_t cmdIKeyBtn2(EngineState& e);

}  // namespace qrt
