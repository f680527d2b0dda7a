// A frame's transform and its inherited render properties. A property
// holds -1 to take its parent's value; the root's values are concrete, so
// -1 is refused there.
#include <cmath>

#include "engine/call.h"
#include "scene3d/commands.h"
#include "scene3d/scene.h"

namespace qrt {

namespace {

D3DXVECTOR3 vector(Call& c) { return D3DXVECTOR3(c.f(1), c.f(2), c.f(3)); }

// Whether `value` may be stored for the frame named by argument 0.
bool acceptable(Call& c, int32_t value, int32_t high) {
  return value >= -1 && value <= high && !(c.handle(0) == 0 && value == -1);
}

int32_t setProperty(Call& c, Property p, int32_t high) {
  SceneFrame* f = frameArg(c);
  if (!f) return kFailed;
  const int32_t value = c.i(1);
  if (!acceptable(c, value, high)) return c.fail(660);
  f->property[p] = value;
  return kDone;
}

template <typename Change>
int32_t transform(Call& c, Change change) {
  SceneFrame* f = frameArg(c);
  if (!f) return kFailed;
  change(*f, vector(c));
  return kDone;
}

}  // namespace

// --- transforms ------------------------------------------------------------

int32_t cmdG3FrmSetPos(Call& c) {
  return transform(c, [](SceneFrame& f, D3DXVECTOR3 v) { f.position = v; });
}
int32_t cmdG3FrmSetPosRel(Call& c) {
  return transform(c, [](SceneFrame& f, D3DXVECTOR3 v) { f.position += v; });
}
int32_t cmdG3FrmSetPosAuto(Call& c) {
  return transform(c, [](SceneFrame& f, D3DXVECTOR3 v) { f.positionStep = v; });
}
int32_t cmdG3FrmSetRot(Call& c) {
  return transform(c, [](SceneFrame& f, D3DXVECTOR3 v) { f.rotation = v; });
}
int32_t cmdG3FrmSetRotRel(Call& c) {
  return transform(c, [](SceneFrame& f, D3DXVECTOR3 v) { f.rotation += v; });
}
int32_t cmdG3FrmSetRotAuto(Call& c) {
  return transform(c, [](SceneFrame& f, D3DXVECTOR3 v) { f.rotationStep = v; });
}
int32_t cmdG3FrmSetScale(Call& c) {
  return transform(c, [](SceneFrame& f, D3DXVECTOR3 v) { f.scale = v; });
}

int32_t cmdG3FrmSetBill(Call& c) {
  SceneFrame* f = frameArg(c);
  if (!f) return kFailed;
  f->billboard = c.i(1) != 0 ? 1 : 0;
  return kDone;
}

// --- inherited properties ----------------------------------------------------

int32_t cmdG3FrmSetEnable(Call& c) { return setProperty(c, kEnable, 1); }
int32_t cmdG3FrmSetCull(Call& c) { return setProperty(c, kCull, 2); }
int32_t cmdG3FrmSetShade(Call& c) { return setProperty(c, kShade, 3); }
int32_t cmdG3FrmSetFilter(Call& c) { return setProperty(c, kFilter, 5); }
int32_t cmdG3FrmSetLightD(Call& c) { return setProperty(c, kDiffuse, 1); }
int32_t cmdG3FrmSetLightS(Call& c) { return setProperty(c, kSpecular, 1); }
int32_t cmdG3FrmSetTexEnable(Call& c) { return setProperty(c, kTexture, 1); }   // the second value is not used

int32_t cmdG3FrmSetBlend(Call& c) {
  SceneFrame* f = frameArg(c);
  if (!f) return kFailed;
  if (c.handle(0) == 0 && (c.i(1) == -1 || c.i(2) == -1)) return c.fail(660);
  // Stored as the platform's blend values: script 0..10 is ZERO..SRCALPHASAT.
  for (int k = 0; k < 2; ++k) {
    const int32_t v = c.i(1 + k);
    if (!acceptable(c, v, 10)) return c.fail(660);
    f->property[k == 0 ? kSrcBlend : kDstBlend] = v == -1 ? -1 : v + 1;
  }
  return kDone;
}

int32_t cmdG3FrmSetAmbient(Call& c) {
  SceneFrame* f = frameArg(c);
  if (!f) return kFailed;
  const float r = c.f(1), g = c.f(2), b = c.f(3);
  if (r == -1.0f || g == -1.0f || b == -1.0f) {
    if (c.handle(0) == 0) return c.fail(660);
    f->ambientState = -1.0f;   // the colour is kept for a later own state
    return kDone;
  }
  f->ambient[0] = r;
  f->ambient[1] = g;
  f->ambient[2] = b;
  f->ambientState = 1.0f;
  return kDone;
}

int32_t cmdG3FrmSetFsaa(Call& c) { return setProperty(c, kAntiAlias, 1); }
int32_t cmdG3FrmSetVertex(Call& c) { return setProperty(c, kVertexColour, 1); }

// --- fog ----------------------------------------------------------------------

int32_t cmdG3FrmSetFogMode(Call& c) {
  SceneFrame* f = frameArg(c);
  if (!f) return kFailed;
  if (!acceptable(c, c.i(1), 6)) return c.fail(660);
  f->fog.mode = c.i(1);
  return kDone;
}

int32_t cmdG3FrmSetFogColor(Call& c) {
  SceneFrame* f = frameArg(c);
  if (!f) return kFailed;
  f->fog.colour = colourByte(c.f(4)) << 24 | colourByte(c.f(1)) << 16 | colourByte(c.f(2)) << 8 | colourByte(c.f(3));
  return kDone;
}

int32_t cmdG3FrmSetFogStart(Call& c) {
  SceneFrame* f = frameArg(c);
  if (!f) return kFailed;
  f->fog.start = c.f(1);
  return kDone;
}

int32_t cmdG3FrmSetFogEnd(Call& c) {
  SceneFrame* f = frameArg(c);
  if (!f) return kFailed;
  f->fog.end = c.f(1);
  return kDone;
}

int32_t cmdG3FrmSetFogDensity(Call& c) {
  SceneFrame* f = frameArg(c);
  if (!f) return kFailed;
  f->fog.density = c.f(1);
  return kDone;
}

}  // namespace qrt
