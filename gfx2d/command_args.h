// What every G@ handler needs: the display state, its typed arguments and
// the ids that name it in error boxes.
#pragma once
#include <bit>
#include <cstdint>

#include "engine/engine.h"
#include "engine/string_object.h"
#include "gfx2d/display.h"
#include "host/errors.h"
#include "host/runtime.h"

namespace qrt::gfx {

constexpr int32_t kDone = 1;
constexpr int32_t kFailed = 0;

// Command ids.
enum : int {
  kSetup = 1, kDispModeGet = 2, kDispModeCount = 3, kWindowSet = 4, kPrint = 5, kFont = 6,
  kColor = 7, kColorA = 8, kFlip = 9, kChrClear = 10, kChrLoad = 11, kRelease = 12,
  kChrCopy = 13, kChrCopyF = 14, kChrCopyC = 15, kChrCopy2 = 16, kChrCopyF2 = 17,
  kChrCopyC2 = 18, kChrRect = 19, kChrSave = 20, kChrMake = 21, kChrLoadCKey = 22,
  kChrColorA = 23,
};

// Catalogue codes used by this family.
enum : int { kErrBadParameter = 660, kErrFailed = 630, kErrFileNotFound = 680 };

inline DisplayState* display() { return g_host.display; }

inline int32_t argInt(const EngineState& e, int i) { return static_cast<int32_t>(e.params.arg[i]); }
inline float argReal(const EngineState& e, int i) { return std::bit_cast<float>(e.params.arg[i]); }
inline uint32_t argString(const EngineState& e, int i) { return e.params.arg[i]; }

// Fails the command with a catalogue box naming it.
inline int32_t fail(int code, int commandId) {
  raiseCommandError(code, commandId);
  return kFailed;
}

// The low 8 bits of each component, as an opaque colour.
inline uint32_t opaqueColour(int32_t r, int32_t g, int32_t b) {
  return 0xFF000000u | (static_cast<uint32_t>(r) & 0xFF) << 16 |
         (static_cast<uint32_t>(g) & 0xFF) << 8 | (static_cast<uint32_t>(b) & 0xFF);
}

inline int32_t clampComponent(int32_t c) { return c < 0 ? 0 : c > 255 ? 255 : c; }

}  // namespace qrt::gfx
