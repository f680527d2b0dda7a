// The G@ command handlers of 2D graphics, by the file that holds them. Each
// returns one 32-bit value: a handle or number, or for a command without a
// result 1 for success and 0 for failure.
#pragma once
#include <cstdint>
#include <span>

namespace qrt {

class Call;
struct CommandBinding;

// The family's handlers by command, for the host to bind (commands.cpp).
std::span<const CommandBinding> gfx2dCommands();

// Display device and modes (device.cpp).
int32_t cmdGSetup(Call& c);
int32_t cmdGDispModeGet(Call& c);
int32_t cmdGDispModeCount(Call& c);
int32_t cmdGWindowSet(Call& c);
int32_t cmdGFlip(Call& c);

// Text (text.cpp).
int32_t cmdGPrint(Call& c);
int32_t cmdGFont(Call& c);
int32_t cmdGColor(Call& c);
int32_t cmdGColorA(Call& c);

// Character surfaces (surfaces.cpp; loading and saving in image_file.cpp).
int32_t cmdGChrClear(Call& c);
int32_t cmdGChrLoad(Call& c);
int32_t cmdGRelease(Call& c);
int32_t cmdGChrRect(Call& c);
int32_t cmdGChrSave(Call& c);
int32_t cmdGChrMake(Call& c);
int32_t cmdGChrLoadCKey(Call& c);
int32_t cmdGChrColorA(Call& c);

// Surface copies (copy.cpp).
int32_t cmdGChrCopy(Call& c);
int32_t cmdGChrCopyF(Call& c);
int32_t cmdGChrCopyC(Call& c);
int32_t cmdGChrCopy2(Call& c);
int32_t cmdGChrCopyF2(Call& c);
int32_t cmdGChrCopyC2(Call& c);

}  // namespace qrt
