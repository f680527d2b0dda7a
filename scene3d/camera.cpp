// The camera and the viewport: stored here, used by the next G3@RENDER.
#include "engine/call.h"
#include "scene3d/commands.h"
#include "scene3d/scene.h"

namespace qrt {

namespace {

template <typename Change>
int32_t changeCamera(Call& c, Change change) {
  Scene3dState* s = scene();
  if (!s) return c.fail(630);
  change(s->camera);
  s->camera.changed = true;
  return kDone;
}

D3DXVECTOR3 vector(Call& c) { return D3DXVECTOR3(c.f(0), c.f(1), c.f(2)); }

}  // namespace

int32_t cmdG3CameraSetEye(Call& c) {
  return changeCamera(c, [&](Camera& cam) { cam.eye = vector(c); });
}
int32_t cmdG3CameraSetLook(Call& c) {
  return changeCamera(c, [&](Camera& cam) { cam.lookAt = vector(c); });
}
int32_t cmdG3CameraSetUp(Call& c) {
  return changeCamera(c, [&](Camera& cam) { cam.up = vector(c); });
}
int32_t cmdG3CameraSetFov(Call& c) {
  return changeCamera(c, [&](Camera& cam) { cam.fieldOfView = c.f(0); });
}
int32_t cmdG3CameraSetPro(Call& c) {
  return changeCamera(c, [&](Camera& cam) {
    cam.nearPlane = c.f(0);
    cam.farPlane = c.f(1);
  });
}

// The aspect ratio stays the screen's: the camera is not touched.
int32_t cmdG3DevSetViewport(Call& c) {
  DisplayState* d = display();
  if (!d) return c.fail(630);
  const int32_t x1 = c.i(0), y1 = c.i(1), x2 = c.i(2), y2 = c.i(3);
  d->viewport = ViewportState{x1, y1, x2 - x1 + 1, y2 - y1 + 1, c.f(4), c.f(5)};
  return kDone;
}

}  // namespace qrt
