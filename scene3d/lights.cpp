// Lights: made with a type and a colour, attached to frames with G3@ADD,
// switched on by the draw walk's selection. A released light's device
// indices go to the next light made.
#include "engine/call.h"
#include "scene3d/commands.h"
#include "scene3d/scene.h"

namespace qrt {

namespace {

constexpr double kPi = 3.1415926535;

Light* lightOf(Call& c) {
  Scene3dState* s = scene();
  Light* l = s ? findLight(*s, c.handle(0)) : nullptr;
  if (!l) c.fail(660);
  return l;
}

D3DVECTOR normalised(float x, float y, float z) {
  D3DXVECTOR3 v(x, y, z), n;
  D3DXVec3Normalize(&n, &v);
  return n;
}

void setColour(D3DLIGHT9& light, float r, float g, float b) {
  light.Diffuse.r = light.Specular.r = r;
  light.Diffuse.g = light.Specular.g = g;
  light.Diffuse.b = light.Specular.b = b;
}

// The draw walk sends point and spot lights at every selection; a
// directional light is sent when it changes, or a new colour or direction
// would never show.
void sendIfDirectional(const Light& l) {
  DisplayState* d = display();
  if (!d || !d->device || (l.type != kDirectional && l.type != kDirectionalPair)) return;
  sendLight(d->device.Get(), l);
}

}  // namespace

int32_t cmdG3LightMake(Call& c) {
  DisplayState* d = display();
  Scene3dState* s = scene();
  const int32_t type = c.i(0);
  if (!d || !s || !d->device) return c.fail(630);
  // An unknown type is refused before anything is made, so that no partly
  // made light takes part in later selections.
  if (type < kPoint || type > kDirectionalPair) return c.fail(660);
  const DWORD index = freeLightIndex(*s, lightWidth(type));
  Light* l = s->lights.make();
  if (!l) return c.fail(620);
  const float r = c.f(1), g = c.f(2), b = c.f(3);
  D3DLIGHT9& first = l->first;
  first.Diffuse = first.Specular = D3DCOLORVALUE{r, g, b, 0.0f};
  first.Ambient = D3DCOLORVALUE{r / 10, g / 10, b / 10, 0.0f};
  switch (type) {
    case kPoint:
    case kSpot:
      first.Type = type == kPoint ? D3DLIGHT_POINT : D3DLIGHT_SPOT;
      first.Range = 200.0f;
      first.Attenuation0 = 1.0f;
      l->offset = D3DXVECTOR3(100, 100, -100);
      if (type == kSpot) {
        first.Direction = normalised(-1, -1, 1);
        first.Theta = 0.07853982f;
        first.Phi = 0.10471976f;
        first.Falloff = 1.0f;
      }
      break;
    default:
      first.Type = D3DLIGHT_DIRECTIONAL;
      first.Direction = normalised(-1, -1, 1);
      if (type == kDirectionalPair) {
        D3DLIGHT9& second = l->second;
        second.Type = D3DLIGHT_DIRECTIONAL;
        second.Direction = normalised(1, 1, -1);
        second.Diffuse = second.Specular = D3DCOLORVALUE{r * 0.25f, g * 0.25f, b * 0.25f, 0.0f};
        second.Ambient = first.Ambient;
      }
      break;
  }
  l->type = type;
  l->mode = 1;
  l->index = index;
  sendLight(d->device.Get(), *l);
  return Call::handleResult(l->handle);
}

int32_t cmdG3LightSetEnable(Call& c) {
  Light* l = lightOf(c);
  if (!l) return kFailed;
  const int32_t mode = c.i(1);
  if (mode < 0 || mode > 3) return c.fail(660);
  l->mode = mode;
  return kDone;
}

int32_t cmdG3LightSetColor(Call& c) {
  Light* l = lightOf(c);
  if (!l) return kFailed;
  setColour(l->first, c.f(1), c.f(2), c.f(3));
  if (l->type == kDirectionalPair) setColour(l->second, c.f(1) * 0.25f, c.f(2) * 0.25f, c.f(3) * 0.25f);
  sendIfDirectional(*l);
  return kDone;
}

int32_t cmdG3LightSetDir(Call& c) {
  Light* l = lightOf(c);
  if (!l) return kFailed;
  l->first.Direction = normalised(c.f(1), c.f(2), c.f(3));
  if (l->type == kDirectionalPair) l->second.Direction = normalised(-c.f(1), -c.f(2), -c.f(3));
  sendIfDirectional(*l);
  return kDone;
}

int32_t cmdG3LightSetPos(Call& c) {
  Light* l = lightOf(c);
  if (!l) return kFailed;
  l->offset = D3DXVECTOR3(c.f(1), c.f(2), c.f(3));
  return kDone;
}

int32_t cmdG3LightSetRange(Call& c) {
  Light* l = lightOf(c);
  if (!l) return kFailed;
  l->first.Range = c.f(1);
  return kDone;
}

int32_t cmdG3LightSetUmbra(Call& c) {
  Light* l = lightOf(c);
  if (!l) return kFailed;
  l->first.Phi = static_cast<float>(c.f(1) * kPi / 180);
  l->first.Theta = static_cast<float>(c.f(2) * kPi / 180);
  return kDone;
}

int32_t cmdG3LightSetAt(Call& c) {
  Light* l = lightOf(c);
  if (!l) return kFailed;
  l->first.Attenuation0 = c.f(1);
  l->first.Attenuation1 = c.f(2);
  l->first.Attenuation2 = c.f(3);
  return kDone;
}

DWORD freeLightIndex(const Scene3dState& s, DWORD count) {
  // Few lights live at once: a look at each is cheaper than a structure.
  for (DWORD index = 0;; ++index) {
    bool taken = false;
    for (const Light* l : s.lights.newestFirst()) {
      if (index < l->index + lightWidth(l->type) && l->index < index + count) {
        taken = true;
        break;
      }
    }
    if (!taken) return index;
  }
}

}  // namespace qrt
