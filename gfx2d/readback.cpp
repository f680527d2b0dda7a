#include "gfx2d/readback.h"

#include <cstring>

namespace qrt {

bool readPixels(IDirect3DDevice9* device, IDirect3DSurface9* surface, int32_t width,
                int32_t height, std::vector<uint32_t>& out) {
  D3DSURFACE_DESC desc{};
  if (!device || !surface || FAILED(surface->GetDesc(&desc)) || width <= 0 || height <= 0 ||
      static_cast<UINT>(width) > desc.Width || static_cast<UINT>(height) > desc.Height) {
    return false;
  }
  // Render targets in the default pool cannot be locked: copy them into
  // system memory first, then convert there if they are not 32-bit ARGB.
  ComPtr<IDirect3DSurface9> copy;
  if (FAILED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                 D3DPOOL_SYSTEMMEM, copy.GetAddressOf(), nullptr)) ||
      FAILED(device->GetRenderTargetData(surface, copy.Get()))) {
    return false;
  }
  if (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_X8R8G8B8) {
    ComPtr<IDirect3DSurface9> argb;
    if (FAILED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, D3DFMT_A8R8G8B8,
                                                   D3DPOOL_SYSTEMMEM, argb.GetAddressOf(), nullptr)) ||
        FAILED(D3DXLoadSurfaceFromSurface(argb.Get(), nullptr, nullptr, copy.Get(), nullptr, nullptr,
                                          D3DX_FILTER_NONE, 0))) {
      return false;
    }
    copy = argb;
  }
  D3DLOCKED_RECT locked{};
  if (FAILED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return false;
  out.resize(static_cast<size_t>(width) * height);
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(&out[static_cast<size_t>(y) * width],
                static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                static_cast<size_t>(width) * 4);
  }
  copy->UnlockRect();
  if (desc.Format == D3DFMT_X8R8G8B8) {
    for (uint32_t& p : out) p |= 0xFF000000;
  }
  return true;
}

}  // namespace qrt
