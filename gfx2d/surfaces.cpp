// Character surfaces and the texture records they share: the two lists of
// the display state, render-target selection, and the surface commands
// that do not read or write files.
#include <new>

#include "gfx2d/command_args.h"
#include "gfx2d/commands.h"

namespace qrt {

using namespace gfx;

SurfaceRecord* createSurfaceRecord(DisplayState& d, int32_t width, int32_t height) {
  auto* s = new (std::nothrow) SurfaceRecord();
  if (!s) return nullptr;
  s->self = s;
  s->width = width;
  s->height = height;
  s->right = width - 1;
  s->bottom = height - 1;
  s->next = d.surfaces;
  if (d.surfaces) d.surfaces->previous = s;
  d.surfaces = s;
  d.liveSurfaces.insert(handleOf(s));
  return s;
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
  auto* t = new (std::nothrow) TextureRecord();
  if (!t) return nullptr;
  t->self = t;
  t->useCount = 1;
  t->next = d.textures;
  if (d.textures) d.textures->previous = t;
  d.textures = t;
  d.liveTextures.insert(handleOf(t));
  return t;
}

void releaseTextureUse(DisplayState& d, TextureRecord* t) {
  if (!t || --t->useCount > 0) return;
  if (t->previous) t->previous->next = t->next;
  else d.textures = t->next;
  if (t->next) t->next->previous = t->previous;
  d.liveTextures.erase(handleOf(t));
  t->self = nullptr;
  t->kind = 0;
  delete t;   // releases the level-0 surface, then the texture
}

void releaseSurface(DisplayState& d, SurfaceRecord* s) {
  if (s->previous) s->previous->next = s->next;
  else d.surfaces = s->next;
  if (s->next) s->next->previous = s->previous;
  d.liveSurfaces.erase(handleOf(s));
  if (d.screen == s) d.screen = nullptr;
  s->depth.Reset();
  releaseTextureUse(d, s->texture);
  s->self = nullptr;
  s->kind = 0;
  delete s;
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

int32_t cmdGChrMake(EngineState& e) {
  DisplayState* d = display();
  const int32_t width = argInt(e, 0), height = argInt(e, 1);
  ComPtr<IDirect3DTexture9> texture;
  if (!d || !d->device ||
      FAILED(D3DXCreateTexture(d->device.Get(), static_cast<UINT>(width), static_cast<UINT>(height),
                               1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                               texture.GetAddressOf()))) {
    return fail(kErrFailed, kChrMake);
  }
  ComPtr<IDirect3DSurface9> level0;
  D3DSURFACE_DESC desc{};
  if (FAILED(texture->GetSurfaceLevel(0, level0.GetAddressOf())) || FAILED(level0->GetDesc(&desc))) {
    return fail(kErrFailed, kChrMake);
  }
  TextureRecord* t = createTextureRecord(*d);
  if (!t) return kFailed;
  t->texture = std::move(texture);
  t->level0 = std::move(level0);
  t->imageWidth = width;
  t->imageHeight = height;
  t->surfaceWidth = static_cast<int32_t>(desc.Width);
  t->surfaceHeight = static_cast<int32_t>(desc.Height);
  t->colourDepth = 32;
  t->format = desc.Format;

  SurfaceRecord* s = createSurfaceRecord(*d, width, height);
  if (!s) {
    releaseTextureUse(*d, t);
    return kFailed;
  }
  s->texture = t;
  s->colourDepth = 32;
  s->origin = kOriginMade;
  s->blend = argInt(e, 2) != 0 ? 1 : 0;
  s->depth = createDepthSurface(*d, desc.Width, desc.Height);
  if (!s->depth) {
    releaseSurface(*d, s);
    return fail(kErrFailed, kChrMake);
  }
  return static_cast<int32_t>(handleOf(s));
}

int32_t cmdGChrClear(EngineState& e) {
  DisplayState* d = display();
  SurfaceRecord* s = findSurface(d, e.params.arg[0]);
  if (!s) return fail(kErrBadParameter, kChrClear);
  if (selectRenderTarget(*d, s)) {
    d->device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER,
                     opaqueColour(argInt(e, 1), argInt(e, 2), argInt(e, 3)), 1.0f, 0);
    selectBackBuffer(*d);
  }
  return kDone;
}

int32_t cmdGChrRect(EngineState& e) {
  SurfaceRecord* s = findSurface(display(), e.params.arg[0]);
  if (!s) return fail(kErrBadParameter, kChrRect);
  s->left = argInt(e, 1);
  s->top = argInt(e, 2);
  s->right = argInt(e, 3);
  s->bottom = argInt(e, 4);
  return kDone;
}

int32_t cmdGChrColorA(EngineState& e) {
  SurfaceRecord* s = findSurface(display(), e.params.arg[0]);
  if (!s) return fail(kErrBadParameter, kChrColorA);
  s->modulation = static_cast<uint32_t>(clampComponent(argInt(e, 4))) << 24 |
                  static_cast<uint32_t>(clampComponent(argInt(e, 1))) << 16 |
                  static_cast<uint32_t>(clampComponent(argInt(e, 2))) << 8 |
                  static_cast<uint32_t>(clampComponent(argInt(e, 3)));
  return kDone;
}

int32_t cmdGChrLoadCKey(EngineState& e) {
  DisplayState* d = display();
  if (!d) return kFailed;
  const int32_t r = argInt(e, 0), g = argInt(e, 1), b = argInt(e, 2);
  d->loadColourKey = (r == -1 || g == -1 || b == -1) ? 0 : opaqueColour(r, g, b);
  return kDone;
}

int32_t cmdGRelease(EngineState& e) {
  DisplayState* d = display();
  SurfaceRecord* s = findSurface(d, e.params.arg[0]);
  if (!s) return fail(kErrBadParameter, kRelease);
  // The screen surface lives as long as the display: G@SETUP hands the same
  // handle out again, so freeing it here would leave that handle dangling.
  if (s == d->screen) return kDone;
  releaseSurface(*d, s);
  return kDone;
}

}  // namespace qrt
