// What a program image must keep to for the engine to run it: limits and
// slot rules shared by the engine's checks and the image tools, which
// explain the same refusals with their positions.
#pragma once
#include <cstdint>

namespace qrt {

// Sanity limits well above anything a compiled program needs.
constexpr uint32_t kMaxSlots = 1u << 24;   // slots of a frame, or of the static area
constexpr uint32_t kMaxCount = 1u << 20;   // parameters, or constants, of a routine
// Arguments an EXFUNC routine passes to its DLL function.
constexpr int32_t kMaxExternalArguments = 256;

// Slots of a frame the engine keeps for itself (caller frame, caller's
// result slot, static area, string list): no op may write a value there.
constexpr bool isReservedSlot(uint32_t s) { return s == 1 || s == 2 || s == 3 || s == 5; }

// The modes of the string ops (store, join, compare).
constexpr bool isStringOpMode(uint32_t mode) { return mode == 0x80 || mode == 0x82 || mode == 0xA0 || mode == 0xA2; }

}  // namespace qrt
