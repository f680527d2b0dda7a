// The G@ command handlers of 2D graphics. Each reads its arguments from
// e.params.arg[0..7] in signature order and returns one 32-bit value: a
// handle or number, or for a command without a result 1 for success and 0
// for failure.
#pragma once
#include <cstdint>

namespace qrt {

struct EngineState;

// Display device and modes.
int32_t cmdGSetup(EngineState& e);           // 1
int32_t cmdGDispModeGet(EngineState& e);     // 2
int32_t cmdGDispModeCount(EngineState& e);   // 3
int32_t cmdGWindowSet(EngineState& e);       // 4
int32_t cmdGFlip(EngineState& e);            // 9

// Text.
int32_t cmdGPrint(EngineState& e);           // 5
int32_t cmdGFont(EngineState& e);            // 6
int32_t cmdGColor(EngineState& e);           // 7
int32_t cmdGColorA(EngineState& e);          // 8

// Character surfaces.
int32_t cmdGChrClear(EngineState& e);        // 10
int32_t cmdGChrLoad(EngineState& e);         // 11
int32_t cmdGRelease(EngineState& e);         // 12
int32_t cmdGChrRect(EngineState& e);         // 19
int32_t cmdGChrSave(EngineState& e);         // 20
int32_t cmdGChrMake(EngineState& e);         // 21
int32_t cmdGChrLoadCKey(EngineState& e);     // 22
int32_t cmdGChrColorA(EngineState& e);       // 23

// Surface copies.
int32_t cmdGChrCopy(EngineState& e);         // 13
int32_t cmdGChrCopyF(EngineState& e);        // 14
int32_t cmdGChrCopyC(EngineState& e);        // 15
int32_t cmdGChrCopy2(EngineState& e);        // 16
int32_t cmdGChrCopyF2(EngineState& e);       // 17
int32_t cmdGChrCopyC2(EngineState& e);       // 18

}  // namespace qrt
