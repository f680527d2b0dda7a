// The display state's life: created empty at start-up, and at shutdown
// released in a fixed order so that nothing outlives what it was made from.
#include <new>

#include "gfx2d/display.h"
#include "host/families.h"

namespace qrt {

namespace {
SceneHooks g_sceneHooks;
}

void setSceneHooks(const SceneHooks& hooks) { g_sceneHooks = hooks; }
const SceneHooks& sceneHooks() { return g_sceneHooks; }

DisplayState* createDisplayState() { return new (std::nothrow) DisplayState(); }

bool displayHasDirect3D(const DisplayState* d) { return d && d->direct3d; }

SurfaceRecord* findSurface(DisplayState* d, uint32_t handle) {
  if (!d || handle == 0 || !d->liveSurfaces.count(handle)) return nullptr;
  auto* s = reinterpret_cast<SurfaceRecord*>(static_cast<uintptr_t>(handle));
  if (handleOf(s->self) != handle || s->kind != kKindSurface) return nullptr;
  return s;
}

TextureRecord* findTexture(DisplayState* d, uint32_t handle) {
  if (!d || handle == 0 || !d->liveTextures.count(handle)) return nullptr;
  auto* t = reinterpret_cast<TextureRecord*>(static_cast<uintptr_t>(handle));
  if (handleOf(t->self) != handle || t->kind != kKindTexture) return nullptr;
  return t;
}

void releaseDisplayState(DisplayState* d) {
  if (!d) return;
  d->matrixStack.Reset();
  while (d->surfaces) releaseSurface(*d, d->surfaces);
  d->screen = nullptr;
  if (g_sceneHooks.release) g_sceneHooks.release(*d);
  while (d->textures) {
    TextureRecord* t = d->textures;
    t->useCount = 1;
    releaseTextureUse(*d, t);
  }
  d->backBuffer.Reset();
  // The font and the device's own depth surface hang on the device too:
  // they go before it.
  d->font.Reset();
  d->defaultDepth.Reset();
  d->device.Reset();
  d->direct3d.Reset();
  d->modes.clear();
  delete d;
}

}  // namespace qrt
