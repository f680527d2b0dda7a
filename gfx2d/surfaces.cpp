// Character surfaces and the texture records they share: the two lists of
// the display state, render-target selection, and the surface commands
// that do not read or write files.
#include "engine/call.h"
#include "gfx2d/colours.h"
#include "gfx2d/commands.h"
#include "gfx2d/display.h"

namespace qrt {

SurfaceRecord* createSurfaceRecord(DisplayState& d, int32_t width, int32_t height) {
  SurfaceRecord* s = d.surfaces.make();
  if (!s) return nullptr;
  s->width = width;
  s->height = height;
  s->right = width - 1;
  s->bottom = height - 1;
  return s;
}

int32_t surfaceOnTexture(Call& c, DisplayState& d, TextureRecord* t, int32_t width, int32_t height,
                         int32_t colourDepth, int32_t origin, uint8_t blend) {
  SurfaceRecord* s = createSurfaceRecord(d, width, height);
  if (!s) {
    releaseTextureUse(d, t);
    return kFailed;
  }
  s->texture = t;
  s->colourDepth = colourDepth;
  s->origin = origin;
  s->blend = blend;
  s->depth = createDepthSurface(d, static_cast<UINT>(t->surfaceWidth), static_cast<UINT>(t->surfaceHeight));
  if (!s->depth) {
    releaseSurface(d, s);
    return c.fail(630);
  }
  return Call::handleResult(handleOf(s));
}

ComPtr<IDirect3DSurface9> createDepthSurface(DisplayState& d, UINT width, UINT height) {
  ComPtr<IDirect3DSurface9> depth;
  if (d.device) {
    d.device->CreateDepthStencilSurface(width, height, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0,
                                        FALSE, depth.GetAddressOf(), nullptr);
  }
  return depth;
}

TextureRecord* createTextureRecord(DisplayState& d) {
  TextureRecord* t = d.textures.make();
  if (t) t->useCount = 1;
  return t;
}

void releaseTextureUse(DisplayState& d, TextureRecord* t) {
  if (!t || --t->useCount > 0) return;
  d.textures.release(t);   // releases the level-0 surface, then the texture
}

void releaseSurface(DisplayState& d, SurfaceRecord* s) {
  std::unique_ptr<SurfaceRecord> gone = d.surfaces.take(s);
  if (!gone) return;
  if (d.screen == s) d.screen = nullptr;
  gone->depth.Reset();
  releaseTextureUse(d, gone->texture);
}

bool selectRenderTarget(DisplayState& d, SurfaceRecord* s) {
  if (!d.device) return false;
  IDirect3DSurface9* target = d.backBuffer.Get();
  IDirect3DSurface9* depth = d.defaultDepth.Get();
  if (s && s->texture) {
    target = s->texture->level0.Get();
    depth = s->depth.Get();
  }
  if (!target) return false;
  d.device->SetRenderTarget(0, target);
  d.device->SetDepthStencilSurface(depth);
  return true;
}

IDirect3DSurface9* pixelsOf(DisplayState& d, SurfaceRecord* s) {
  return s->texture ? s->texture->level0.Get() : d.backBuffer.Get();
}

// --- Commands ----------------------------------------------------------------

TextureRecord* makeDrawableTexture(DisplayState& d, int32_t width, int32_t height, bool& refused) {
  refused = false;
  ComPtr<IDirect3DTexture9> texture;
  ComPtr<IDirect3DSurface9> level0;
  D3DSURFACE_DESC desc{};
  if (!d.device ||
      FAILED(D3DXCreateTexture(d.device.Get(), static_cast<UINT>(width), static_cast<UINT>(height), 1,
                               D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, texture.GetAddressOf())) ||
      FAILED(texture->GetSurfaceLevel(0, level0.GetAddressOf())) || FAILED(level0->GetDesc(&desc))) {
    refused = true;
    return nullptr;
  }
  TextureRecord* t = createTextureRecord(d);
  if (!t) return nullptr;
  t->texture = std::move(texture);
  t->level0 = std::move(level0);
  t->imageWidth = width;
  t->imageHeight = height;
  t->surfaceWidth = static_cast<int32_t>(desc.Width);
  t->surfaceHeight = static_cast<int32_t>(desc.Height);
  t->colourDepth = 32;
  t->format = desc.Format;
  return t;
}

int32_t cmdGChrMake(Call& c) {
  DisplayState* d = display();
  if (!d) return c.fail(630);
  const int32_t width = c.i(0), height = c.i(1);
  bool refused = false;
  TextureRecord* t = makeDrawableTexture(*d, width, height, refused);
  if (!t) return refused ? c.fail(630) : kFailed;
  return surfaceOnTexture(c, *d, t, width, height, 32, kOriginMade, c.i(2) != 0 ? 1 : 0);
}

int32_t cmdGChrClear(Call& c) {
  DisplayState* d = display();
  SurfaceRecord* s = findSurface(d, c.handle(0));
  if (!s) return c.fail(660);
  if (selectRenderTarget(*d, s)) {
    d->device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER,
                     opaqueColour(c.i(1), c.i(2), c.i(3)), 1.0f, 0);
    selectBackBuffer(*d);
  }
  return kDone;
}

int32_t cmdGChrRect(Call& c) {
  SurfaceRecord* s = findSurface(display(), c.handle(0));
  if (!s) return c.fail(660);
  s->left = c.i(1);
  s->top = c.i(2);
  s->right = c.i(3);
  s->bottom = c.i(4);
  return kDone;
}

int32_t cmdGChrColorA(Call& c) {
  SurfaceRecord* s = findSurface(display(), c.handle(0));
  if (!s) return c.fail(660);
  s->modulation = static_cast<uint32_t>(clampComponent(c.i(4))) << 24 |
                  static_cast<uint32_t>(clampComponent(c.i(1))) << 16 |
                  static_cast<uint32_t>(clampComponent(c.i(2))) << 8 |
                  static_cast<uint32_t>(clampComponent(c.i(3)));
  return kDone;
}

int32_t cmdGChrLoadCKey(Call& c) {
  DisplayState* d = display();
  if (!d) return kFailed;
  const int32_t r = c.i(0), g = c.i(1), b = c.i(2);
  d->loadColourKey = (r == -1 || g == -1 || b == -1) ? 0 : opaqueColour(r, g, b);
  return kDone;
}

int32_t cmdGRelease(Call& c) {
  DisplayState* d = display();
  SurfaceRecord* s = findSurface(d, c.handle(0));
  if (!s) return c.fail(660);
  // The screen surface lives as long as the display: G@SETUP hands the same
  // handle out again, so freeing it here would leave that handle dangling.
  if (s == d->screen) return kDone;
  releaseSurface(*d, s);
  return kDone;
}

}  // namespace qrt
