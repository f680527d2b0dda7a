// G3@RENDER: the camera, the clock, the transform walk that gives every
// reachable frame its world matrix, and the draw walk that sets each drawn
// frame's render states, selects its lights and draws its mesh or model.
//
// Both walks go through the tree without recursion: a script may chain
// frames as deep as it likes.
#include <cmath>
#include <cstring>

#include "base/clock.h"
#include "engine/call.h"
#include "scene3d/commands.h"
#include "scene3d/model.h"
#include "scene3d/scene.h"

namespace qrt {

namespace {

constexpr float kRadiansPerDegree = 0.017453292f;
constexpr int kMaxLights = 8;

// --- inheritance -------------------------------------------------------------

struct BlendPair {
  int32_t source, destination;
};

BlendPair effectiveBlend(const SceneFrame& f) {
  for (const SceneFrame* p = &f; p; p = p->parent)
    if (p->property[kSrcBlend] != -1 && p->property[kDstBlend] != -1)
      return {p->property[kSrcBlend], p->property[kDstBlend]};
  return {D3DBLEND_ONE, D3DBLEND_ZERO};
}

const float* effectiveAmbient(const SceneFrame& f) {
  for (const SceneFrame* p = &f; p; p = p->parent)
    if (p->ambientState != -1.0f) return p->ambient;
  return f.ambient;
}

const FogGroup& effectiveFog(const SceneFrame& f) {
  const SceneFrame* p = &f;
  while (p->parent && p->fog.mode == -1) p = p->parent;
  return p->fog;
}

// --- transform walk ------------------------------------------------------------

void placeFrame(SceneFrame& f, const D3DXMATRIX& parentWorld) {
  D3DXMATRIX scale, rotation, translation, local;
  D3DXMatrixScaling(&scale, f.scale.x * f.boardScaleX, f.scale.y * f.boardScaleY, f.scale.z);
  D3DXMatrixRotationYawPitchRoll(&rotation, f.rotation.y * kRadiansPerDegree, f.rotation.x * kRadiansPerDegree,
                                 f.rotation.z * kRadiansPerDegree);
  D3DXMatrixTranslation(&translation, f.position.x, f.position.y, f.position.z);
  D3DXMatrixMultiply(&local, &scale, &rotation);
  D3DXMatrixMultiply(&local, &local, &translation);
  D3DXMatrixMultiply(&f.world, &local, &parentWorld);
  // Steps are per render call, and show from the next one.
  f.position += f.positionStep;
  f.rotation += f.rotationStep;
}

// Depth first, children before later siblings, as the frames were linked.
void transformWalk(SceneFrame& root) {
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  SceneFrame* f = &root;
  while (f) {
    placeFrame(*f, f->parent ? f->parent->world : identity);
    if (f->firstChild) {
      f = f->firstChild;
      continue;
    }
    while (f && !f->next) f = f->parent;
    if (f) f = f->next;
  }
}

// --- lights ----------------------------------------------------------------------


// Phase 0 before a frame is drawn, 1 after the frame itself, 2 after its
// subtree: lights of mode 2 cover the subtree, mode 3 the frame alone.
void selectLights(Scene3dState& s, IDirect3DDevice9* dev, SceneFrame& f, int phase) {
  for (Light* l = f.lights; l; l = l->nextInFrame) {
    if (phase == 0 && l->mode >= 2) l->active = true;
    if (phase == 1 && l->mode == 3) l->active = false;
    if (phase == 2 && l->mode == 2) l->active = false;
  }
  for (Light* l : s.lights.newestFirst()) switchLight(s, dev, *l, false);
  int count = 0;
  for (Light* l : s.lights.newestFirst()) {
    if (l->active && l->type == kDirectionalPair) {
      switchLight(s, dev, *l, true);
      count = 2;
      break;
    }
  }
  for (Light* l : s.lights.newestFirst()) {
    if (count >= kMaxLights) return;
    if (l->active && l->type == kDirectional) {
      enableLight(s, dev, l->index, true);
      ++count;
    }
  }
  // Point and spot lights take the slots left, the nearest to the frame
  // kept when there are more of them.
  const int slots = kMaxLights - count;
  Light* slot[kMaxLights] = {};
  float distance[kMaxLights] = {};
  for (Light* l : s.lights.newestFirst()) {
    if (!l->active || (l->type != kPoint && l->type != kSpot) || slots == 0) continue;
    const D3DXVECTOR3 apart = f.position - l->offset;
    const float d = D3DXVec3Length(&apart);
    int free = -1;
    for (int i = 0; i < slots; ++i)
      if (!slot[i]) {
        free = i;
        break;
      }
    if (free < 0)
      for (int i = 0; i < slots; ++i)
        if (distance[i] > d) {
          free = i;
          break;
        }
    if (free < 0) continue;
    slot[free] = l;
    distance[free] = d;
  }
  for (int i = 0; i < slots; ++i) {
    Light* l = slot[i];
    if (!l) continue;
    l->first.Position = l->frame->position + l->offset;
    dev->SetLight(l->index, &l->first);
    enableLight(s, dev, l->index, true);
  }
}

// --- draw walk -------------------------------------------------------------------

constexpr D3DCULL kCullModes[] = {D3DCULL_NONE, D3DCULL_CW, D3DCULL_CCW};
constexpr D3DTEXTUREFILTERTYPE kFilters[] = {D3DTEXF_NONE, D3DTEXF_POINT, D3DTEXF_LINEAR, D3DTEXF_ANISOTROPIC,
                                            D3DTEXF_PYRAMIDALQUAD, D3DTEXF_GAUSSIANQUAD};

DWORD floatBits(float f) {
  DWORD d;
  std::memcpy(&d, &f, sizeof d);
  return d;
}

void setFrameStates(DisplayState& d, const SceneFrame& f) {
  RenderStates& rs = d.states;
  const int32_t cull = effective(f, kCull), shade = effective(f, kShade), filter = effective(f, kFilter);
  rs.set(D3DRS_CULLMODE, kCullModes[cull]);
  rs.set(D3DRS_SHADEMODE, shade == 0 ? D3DSHADE_GOURAUD : D3DSHADE_FLAT);
  rs.set(D3DRS_FILLMODE, shade == 2 ? D3DFILL_POINT : shade == 3 ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
  rs.setSampler(D3DSAMP_MINFILTER, kFilters[filter]);
  rs.setSampler(D3DSAMP_MAGFILTER, kFilters[filter]);

  const bool diffuse = effective(f, kDiffuse) == 1, specular = effective(f, kSpecular) == 1;
  const bool textured = effective(f, kTexture) == 1;
  rs.set(D3DRS_LIGHTING, diffuse || specular);
  rs.set(D3DRS_SPECULARENABLE, specular);
  DWORD n = 0;
  if (diffuse) {
    rs.setStage(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    rs.setStage(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    rs.setStage(0, D3DTSS_COLOROP, textured ? D3DTOP_MODULATE : D3DTOP_SELECTARG2);
    n = 1;
  }
  if (specular) {
    if (n == 0) {
      rs.setStage(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
      rs.setStage(0, D3DTSS_COLOROP, textured ? D3DTOP_ADD : D3DTOP_SELECTARG2);
    } else {
      rs.setStage(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
      rs.setStage(1, D3DTSS_COLOROP, D3DTOP_ADD);
    }
    rs.setStage(n, D3DTSS_COLORARG2, D3DTA_SPECULAR);
    ++n;
  }
  if (n == 0) {
    if (textured) {
      rs.setStage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
      rs.setStage(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
      rs.setStage(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
      rs.setStage(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    } else {
      rs.setStage(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    }
  } else {
    rs.setStage(n, D3DTSS_COLOROP, D3DTOP_DISABLE);
  }
  rs.set(D3DRS_DITHERENABLE, effective(f, kDither) == 1);

  const float* a = effectiveAmbient(f);
  const uint32_t ambient = 0xFF000000u | colourByte(a[0]) << 16 | colourByte(a[1]) << 8 | colourByte(a[2]);
  if (ambient != 0xFF000000u) {
    rs.set(D3DRS_LIGHTING, TRUE);
    rs.set(D3DRS_AMBIENT, ambient);
  }
  rs.set(D3DRS_MULTISAMPLEANTIALIAS, effective(f, kAntiAlias) == 1);
  rs.set(D3DRS_MULTISAMPLEMASK, 0x00FFFFFF);

  const BlendPair blend = effectiveBlend(f);
  rs.set(D3DRS_ALPHABLENDENABLE, TRUE);
  rs.set(D3DRS_SRCBLEND, static_cast<DWORD>(blend.source));
  rs.set(D3DRS_DESTBLEND, static_cast<DWORD>(blend.destination));

  const bool vertexColour = effective(f, kVertexColour) == 1;
  rs.set(D3DRS_COLORVERTEX, vertexColour);
  rs.set(D3DRS_DIFFUSEMATERIALSOURCE, vertexColour ? D3DMCS_COLOR1 : D3DMCS_MATERIAL);
  rs.set(D3DRS_SPECULARMATERIALSOURCE, vertexColour ? D3DMCS_COLOR2 : D3DMCS_MATERIAL);
  rs.set(D3DRS_AMBIENTMATERIALSOURCE, vertexColour ? D3DMCS_COLOR1 : D3DMCS_MATERIAL);
  rs.set(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL);

  const FogGroup& fog = effectiveFog(f);
  if (fog.mode <= 0) {
    rs.set(D3DRS_FOGENABLE, FALSE);
  } else {
    rs.set(D3DRS_FOGENABLE, TRUE);
    rs.set(D3DRS_FOGCOLOR, fog.colour);
    rs.set(D3DRS_FOGSTART, floatBits(fog.start));
    rs.set(D3DRS_FOGEND, floatBits(fog.end));
    constexpr D3DFOGMODE kModes[] = {D3DFOG_EXP, D3DFOG_EXP2, D3DFOG_LINEAR};
    const D3DFOGMODE mode = kModes[(fog.mode - 1) % 3];
    // Modes 1..3 are pixel fog where the device can do vertex fog; 4..6
    // are always vertex fog.
    const bool table = fog.mode <= 3 && d.vertexFog;
    rs.set(D3DRS_FOGTABLEMODE, table ? mode : D3DFOG_NONE);
    rs.set(D3DRS_FOGVERTEXMODE, table ? D3DFOG_NONE : mode);
    rs.set(D3DRS_FOGDENSITY, floatBits(fog.density));
  }
}

void drawFrame(DisplayState& d, Scene3dState& s, SceneFrame& f) {
  IDirect3DDevice9* dev = d.device.Get();
  setFrameStates(d, f);
  selectLights(s, dev, f, 0);
  D3DXMATRIX w = f.world;
  if (f.billboard) {
    // Always facing the camera: its own and its ancestors' rotation and
    // scale do not count, only its place.
    D3DXMATRIX scale, inverseView;
    D3DXMatrixScaling(&scale, f.scale.x * f.boardScaleX, f.scale.y * f.boardScaleY, f.scale.z);
    D3DXMatrixInverse(&inverseView, nullptr, &s.camera.view);
    D3DXMatrixMultiply(&w, &scale, &inverseView);
    w._41 = f.world._41;
    w._42 = f.world._42;
    w._43 = f.world._43;
  }
  if (f.mesh) {
    dev->SetTransform(D3DTS_WORLD, &w);
    if (f.hasMaterial) dev->SetMaterial(&f.material);
    IDirect3DTexture9* board = f.texture ? f.texture->texture.Get() : nullptr;
    if (board) dev->SetTexture(0, board);
    f.mesh->DrawSubset(0);
    if (board) dev->SetTexture(0, nullptr);
  } else if (f.model) {
    drawModel(d, *f.model, w);
  }
}

void visit(DisplayState& d, Scene3dState& s, SceneFrame& f) {
  if (effective(f, kEnable) != 0 && f.drawable()) drawFrame(d, s, f);
  advanceAnimation(f, s.frameStep);
  selectLights(s, d.device.Get(), f, 1);
}

// The render root, its subtree, and none of its siblings.
void drawWalk(DisplayState& d, Scene3dState& s, SceneFrame& top) {
  IDirect3DDevice9* dev = d.device.Get();
  SceneFrame* f = &top;
  visit(d, s, *f);
  for (;;) {
    if (f->firstChild) {
      f = f->firstChild;
      visit(d, s, *f);
      continue;
    }
    // Leaving f's subtree: phase 2, then the next sibling or up.
    for (;;) {
      selectLights(s, dev, *f, 2);
      if (f == &top) return;
      if (f->next) {
        f = f->next;
        visit(d, s, *f);
        break;
      }
      f = f->parent;
    }
  }
}

void updateCamera(DisplayState& d, Camera& cam) {
  if (!cam.changed) return;
  D3DXMatrixLookAtLH(&cam.view, &cam.eye, &cam.lookAt, &cam.up);
  d.device->SetTransform(D3DTS_VIEW, &cam.view);
  D3DXMatrixPerspectiveFovLH(&cam.projection, cam.fieldOfView * kRadiansPerDegree,
                             static_cast<float>(d.width) / static_cast<float>(d.height), cam.nearPlane,
                             cam.farPlane);
  d.device->SetTransform(D3DTS_PROJECTION, &cam.projection);
  cam.changed = false;
}

// After the target: selecting one resets the viewport to the whole target.
// A viewport that does not fit the target is one the platform refuses (some
// implementations draw through it anyway): the whole target stays.
void setViewport(DisplayState& d, SurfaceRecord* target) {
  IDirect3DSurface9* pixels = target ? pixelsOf(d, target) : d.backBuffer.Get();
  D3DSURFACE_DESC desc{};
  if (!pixels || FAILED(pixels->GetDesc(&desc))) return;
  const ViewportState& v = d.viewport;
  if (v.x < 0 || v.y < 0 || v.width <= 0 || v.height <= 0 ||
      static_cast<int64_t>(v.x) + v.width > static_cast<int64_t>(desc.Width) ||
      static_cast<int64_t>(v.y) + v.height > static_cast<int64_t>(desc.Height))
    return;
  const D3DVIEWPORT9 viewport{static_cast<DWORD>(v.x), static_cast<DWORD>(v.y), static_cast<DWORD>(v.width),
                              static_cast<DWORD>(v.height), v.minZ, v.maxZ};
  d.device->SetViewport(&viewport);
}

// Measured once per flip: every render until the next G@FLIP reuses it.
void stepClock(DisplayState& d, Scene3dState& s) {
  if (!d.perFrame) {
    const uint32_t now = clockMs();
    s.frameStep = s.lastClock == 0 ? 0.0 : static_cast<uint32_t>(now - s.lastClock) / 1000.0;
    s.lastClock = now;
  }
  d.perFrame = 1;
}

}  // namespace

int32_t effective(const SceneFrame& f, Property p) {
  for (const SceneFrame* q = &f; q; q = q->parent)
    if (q->property[p] != -1) return q->property[p];
  return 0;
}

void resendLights(Scene3dState& s, IDirect3DDevice9* device) {
  s.lightOn.clear();
  for (Light* l : s.lights.newestFirst()) sendLight(device, *l);
}

int32_t cmdG3Render(Call& c) {
  DisplayState* d = display();
  Scene3dState* s = scene();
  if (!d || !s || !d->device) return c.fail(630);
  updateCamera(*d, s->camera);
  stepClock(*d, *s);
  transformWalk(s->root);
  for (Light* l : s->lights.newestFirst()) l->active = l->frame && l->mode == 1;

  SurfaceRecord* target = nullptr;
  if (c.handle(1) != 0 && !(target = findSurface(d, c.handle(1)))) return c.fail(660);
  SceneFrame* top = findFrame(*s, c.handle(0));
  if (!top) return c.fail(660);
  if (!selectRenderTarget(*d, target)) return kDone;   // a lost device draws nothing
  setViewport(*d, target);
  d->states.begin3d();
  // A 2D copy leaves its texture bound; a mesh without one must not be
  // modulated by it.
  d->device->SetTexture(0, nullptr);
  drawWalk(*d, *s, *top);
  selectBackBuffer(*d);
  return kDone;
}

void enableLight(Scene3dState& s, IDirect3DDevice9* dev, DWORD index, bool on) {
  if (index >= s.lightOn.size()) s.lightOn.resize(index + 1, 2);   // 2: not known
  if (s.lightOn[index] == static_cast<uint8_t>(on)) return;
  s.lightOn[index] = on ? 1 : 0;
  dev->LightEnable(index, on ? TRUE : FALSE);
}

void switchLight(Scene3dState& s, IDirect3DDevice9* dev, const Light& l, bool on) {
  for (DWORD k = 0; k < lightWidth(l.type); ++k) enableLight(s, dev, l.index + k, on);
}

void sendLight(IDirect3DDevice9* dev, const Light& l) {
  dev->SetLight(l.index, &l.first);
  if (l.type == kDirectionalPair) dev->SetLight(l.index + 1, &l.second);
}

}  // namespace qrt
