// The display state's life: created empty at start-up, and at shutdown
// released in a fixed order so that nothing outlives what it was made from.
#include <new>

#include "base/runtime.h"
#include "engine/family.h"
#include "gfx2d/commands.h"
#include "gfx2d/display.h"

namespace qrt {

namespace {

DisplayState* g_display = nullptr;

void createDisplay() {
  if (!g_display) g_display = new (std::nothrow) DisplayState();
}

void releaseDisplay() {
  DisplayState* d = g_display;
  g_display = nullptr;
  g_host.rt.setUp = 0;
  if (!d) return;
  d->matrixStack.Reset();
  while (SurfaceRecord* s = d->surfaces.newest()) releaseSurface(*d, s);
  d->screen = nullptr;
  if (d->sceneHooks.release) d->sceneHooks.release(*d);
  d->textures.releaseAll();
  d->backBuffer.Reset();
  // The font and the device's own depth surface hang on the device too:
  // they go before it.
  d->font.Reset();
  d->defaultDepth.Reset();
  d->states.attach(nullptr);
  d->device.Reset();
  d->direct3d.Reset();
  d->modes.clear();
  delete d;
}

}  // namespace

DisplayState* display() { return g_display; }

Family displayFamily() { return {"display", createDisplay, releaseDisplay, nullptr, nullptr, gfx2dCommands()}; }

}  // namespace qrt
