// Inside the image loader: what a device reset needs to read a loaded
// texture again.
#pragma once
#include "gfx2d/display.h"

namespace qrt {

// Reads the record's file again with the key text and colour key it was
// loaded with. False if the file is gone or no longer the same picture.
bool reloadImageTexture(DisplayState& d, const TextureRecord& t, ComPtr<IDirect3DTexture9>& out);

}  // namespace qrt
