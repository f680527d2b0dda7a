// The frame tree: linking frames and lights below frames, and releasing
// them. A frame that is not reachable from the root is neither moved,
// drawn nor lit.
#include "engine/call.h"
#include "scene3d/commands.h"
#include "scene3d/scene.h"

namespace qrt {

namespace {

bool isBelow(const SceneFrame* f, const SceneFrame* ancestor) {
  for (; f; f = f->parent)
    if (f == ancestor) return true;
  return false;
}

void addChild(SceneFrame& parent, SceneFrame& child) {
  detachFrame(child);
  child.parent = &parent;
  child.previous = nullptr;
  child.next = parent.firstChild;
  if (parent.firstChild) parent.firstChild->previous = &child;
  parent.firstChild = &child;
}

void attachLight(SceneFrame& frame, Light& l) {
  detachLight(l);
  l.frame = &frame;
  l.nextInFrame = frame.lights;
  if (frame.lights) frame.lights->previousInFrame = &l;
  frame.lights = &l;
}

}  // namespace

int32_t cmdG3Add(Call& c) {
  Scene3dState* s = scene();
  if (!s) return c.fail(660);
  SceneFrame* parent = findFrame(*s, c.handle(1));
  if (!parent) return c.fail(660);
  if (SceneFrame* f = s->frames.find(c.handle(0))) {
    // Below itself or its own subtree the tree would close into a loop.
    if (isBelow(parent, f)) return c.fail(660);
    addChild(*parent, *f);
    return kDone;
  }
  if (Light* l = findLight(*s, c.handle(0))) {
    attachLight(*parent, *l);
    return kDone;
  }
  return c.fail(660);
}

int32_t cmdG3Delete(Call& c) {
  Scene3dState* s = scene();
  if (!s) return c.fail(660);
  SceneFrame* parent = findFrame(*s, c.handle(1));
  if (!parent) return c.fail(660);
  // Only from the frame it hangs on: taking it out of another frame's list
  // would tear that list apart.
  if (SceneFrame* f = s->frames.find(c.handle(0))) {
    if (f->parent == parent) detachFrame(*f);
    return kDone;
  }
  if (Light* l = findLight(*s, c.handle(0))) {
    if (l->frame == parent) detachLight(*l);
    return kDone;
  }
  return c.fail(660);
}

int32_t cmdG3Release(Call& c) {
  Scene3dState* s = scene();
  DisplayState* d = display();
  if (!s || !d) return c.fail(660);
  if (SceneFrame* f = s->frames.find(c.handle(0))) {
    // Still linked, with children or lights: they are let go first, so that
    // nothing keeps pointing at the released frame.
    releaseFrame(*d, *s, f);
    return kDone;
  }
  if (Light* l = findLight(*s, c.handle(0))) {
    detachLight(*l);
    // A released light must not stay lit by its last selection.
    if (d->device) switchLight(*s, d->device.Get(), *l, false);
    s->lights.release(l);
    return kDone;
  }
  return c.fail(660);
}

}  // namespace qrt
