// Reading pixels back from render targets (the back buffer, a texture's
// level-0 surface). With the discard swap effect the back buffer's contents
// are only defined until Present, so read it before G@FLIP.
#pragma once
#include <cstdint>
#include <vector>

#include "gfx2d/display.h"

namespace qrt {

// The top-left width x height pixels of `surface` as 32-bit ARGB, rows top
// to bottom. False when the device cannot copy or convert them.
bool readPixels(IDirect3DDevice9* device, IDirect3DSurface9* surface, int32_t width,
                int32_t height, std::vector<uint32_t>& out);

}  // namespace qrt
