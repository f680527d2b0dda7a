// What the 2D graphics tests share: image files written on the fly, and the
// pixels a player would see, read back from the back buffer (before any
// G@FLIP: the swap effect discards it on present) or from a surface.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "gfx2d/display.h"
#include "tests/support/script.h"

namespace qrt::test {

// A folder of its own under the temporary folder, emptied at start.
std::string scratchFolder(const std::string& name);

// Writes a bottom-up BMP of 24 or 32 bits per pixel; pixels are ARGB rows
// top to bottom.
void writeBmp(const std::string& path, int width, int height, const std::vector<uint32_t>& argb,
              int bits = 24);
std::vector<uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);

DisplayState& displayState();

struct Pixels {
  int width = 0, height = 0;
  std::vector<uint32_t> argb;
  uint32_t at(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
  uint32_t rgb(int x, int y) const { return at(x, y) & 0xFFFFFF; }
  // Bounding box {left, top, right, bottom} (inclusive) of the pixels whose
  // RGB equals `rgb`; all -1 when there are none.
  std::vector<int> boxOf(uint32_t rgb) const;
  int count(uint32_t rgb) const;
};

Pixels screenPixels();                       // back buffer
Pixels surfacePixels(uint32_t handle);       // a character surface's image area

// A game script with the display set up: G@SETUP(width, height, 32, 1) is
// its first command and its handle lands in `screen`.
struct GfxScript : Script {
  int screen = 0;
  explicit GfxScript(int width = 320, int height = 240);
};

// Colour helpers.
inline uint32_t rgbOf(uint32_t argb) { return argb & 0xFFFFFF; }
bool closeTo(uint32_t a, uint32_t b, int tolerance);   // each of the four channels

}  // namespace qrt::test
