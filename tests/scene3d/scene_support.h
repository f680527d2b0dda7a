// What the 3D tests share: a game with the display set up, a camera that
// looks at the origin, and the frames' records as the last render left them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "scene3d/scene.h"
#include "tests/gfx2d/gfx_support.h"

namespace qrt::test {

// A 160 x 120 window, the screen cleared dark grey, the camera at (0, 0, -8)
// looking at the origin.
struct SceneScript : GfxScript {
  SceneScript() : GfxScript(160, 120) {}
  int box(float size) { return call("G3@FRMMAKEBOX", {real(size), real(size), real(size)}); }
  void add(int object, int parent = 0) { run("G3@ADD", {object, parent == 0 ? integer(0) : parent}); }
  void colour(int frame, float r, float g, float b) {
    run("G3@FRMSETMCOLOR", {frame, real(r), real(g), real(b), real(1)});
  }  // A red box 2 units wide at the origin, in the scene.
  int redBox() {
    const int b = box(2.0f);
    colour(b, 1.0f, 0.0f, 0.0f);
    add(b);
    return b;
  }

  // A white directional light on the root, shining along +z (into the screen).
  int light(int type = 3) {
    const int l = call("G3@LIGHTMAKE", {integer(type), real(1), real(1), real(1)});
    run("G3@LIGHTSETDIR", {l, real(0), real(0), real(1)});
    add(l);
    return l;
  }
  void clear() { run("G@CHRCLEAR", {screen, integer(32), integer(32), integer(32)}); }
  void render(int frame = 0, int surface = 0) {
    run("G3@RENDER", {frame == 0 ? integer(0) : frame, surface == 0 ? integer(0) : surface});
  }
  void position(int frame, float x, float y, float z) { run("G3@FRMSETPOS", {frame, real(x), real(y), real(z)}); }
};

constexpr uint32_t kBackground = 0x202020;

// Runs to the first S@WAIT after G@SETUP; fails the test on any box.
Pixels renderedScreen(Game& game);

SceneFrame& frameRecord(Game& game, int slot);

// Pixels whose colour is clearly not the background.
int litPixels(const Pixels& p);

}  // namespace qrt::test
