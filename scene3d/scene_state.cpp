// The scene's life: made by G@SETUP with the root's concrete values,
// released with the display, and its device state rebuilt after a reset.
#include <new>

#include "engine/call.h"
#include "engine/family.h"
#include "scene3d/commands.h"
#include "scene3d/model.h"
#include "scene3d/scene.h"

namespace qrt {

SceneFrame::SceneFrame() {
  D3DXMatrixIdentity(&world);
  for (int32_t& p : property) p = -1;
}

SceneFrame::~SceneFrame() = default;

D3DMATERIAL9 meshMaterial() {
  D3DMATERIAL9 m{};
  m.Diffuse = m.Ambient = m.Specular = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
  m.Emissive = D3DCOLORVALUE{0.1f, 0.1f, 0.1f, 0.0f};
  m.Power = 120.0f;
  return m;
}

Scene3dState::Scene3dState() {
  // Every property of the root is concrete, so that inheritance always ends.
  SceneFrame& r = root;
  const int32_t values[kPropertyCount] = {1, 2, 0, 1, 1, 0, 1, D3DBLEND_ONE, D3DBLEND_ZERO, 0, 0, 1};
  for (int p = 0; p < kPropertyCount; ++p) r.property[p] = values[p];
  r.ambient[0] = r.ambient[1] = r.ambient[2] = 0.2f;
  r.ambientState = 1.0f;
  r.fog.mode = 0;
  D3DXMatrixIdentity(&camera.view);
  D3DXMatrixIdentity(&camera.projection);
}

Scene3dState::~Scene3dState() {
  if (textContext) DeleteDC(textContext);
  if (textFont) DeleteObject(textFont);
}

Scene3dState* scene() {
  DisplayState* d = display();
  return d ? d->scene : nullptr;
}

SceneFrame* findFrame(Scene3dState& s, uint32_t handle) { return handle == 0 ? &s.root : s.frames.find(handle); }

Light* findLight(Scene3dState& s, uint32_t handle) { return s.lights.find(handle); }

SceneFrame* makeFrame(Call& c, Scene3dState& s) {
  SceneFrame* f = s.frames.make();
  if (!f) c.fail(620);
  return f;
}

void detachLight(Light& l) {
  if (!l.frame) return;
  if (l.previousInFrame)
    l.previousInFrame->nextInFrame = l.nextInFrame;
  else
    l.frame->lights = l.nextInFrame;
  if (l.nextInFrame) l.nextInFrame->previousInFrame = l.previousInFrame;
  l.frame = nullptr;
  l.nextInFrame = l.previousInFrame = nullptr;
}

SceneFrame* frameArg(Call& c, int32_t failure) {
  Scene3dState* s = scene();
  SceneFrame* f = s ? findFrame(*s, c.handle(0)) : nullptr;
  if (!f) c.fail(660, failure);
  return f;
}

void detachFrame(SceneFrame& f) {
  if (!f.parent) return;
  if (f.previous)
    f.previous->next = f.next;
  else
    f.parent->firstChild = f.next;
  if (f.next) f.next->previous = f.previous;
  f.parent = f.next = f.previous = nullptr;
}

void unlinkFrame(SceneFrame& f) {
  detachFrame(f);
  // Children and lights stay alive, detached, with their handles; a child
  // keeps what hangs below it.
  while (SceneFrame* child = f.firstChild) detachFrame(*child);
  while (Light* l = f.lights) detachLight(*l);
}

namespace {

// Gives back what a frame holds of the display: its board texture and the
// textures of its model.
void releaseFrameResources(DisplayState& d, SceneFrame& f) {
  f.model.reset();
  if (f.texture) releaseTextureUse(d, f.texture);
  f.texture = nullptr;
  f.mesh.Reset();
}

bool createScene(DisplayState& d) {
  d.scene = new (std::nothrow) Scene3dState();
  return d.scene != nullptr;
}

void releaseScene(DisplayState& d) {
  Scene3dState* s = d.scene;
  if (!s) return;
  for (SceneFrame* f : s->frames.newestFirst()) releaseFrameResources(d, *f);
  releaseFrameResources(d, s->root);
  d.scene = nullptr;
  delete s;
}

// A reset device has lost its lights and transforms: send what the scene
// keeps again.
void sceneDeviceReset(DisplayState& d) {
  if (!d.scene || !d.device) return;
  d.scene->camera.changed = true;
  resendLights(*d.scene, d.device.Get());
}

void createSceneFamily() {
  if (DisplayState* d = display()) d->sceneHooks = SceneHooks{createScene, releaseScene, nullptr, sceneDeviceReset};
}

void releaseSceneFamily() {}

}  // namespace

void releaseFrame(DisplayState& d, Scene3dState& s, SceneFrame* f) {
  unlinkFrame(*f);
  releaseFrameResources(d, *f);
  s.frames.release(f);
}

Family sceneFamily() { return {"3D scene", createSceneFamily, releaseSceneFamily, nullptr, nullptr, sceneCommands()}; }

}  // namespace qrt
