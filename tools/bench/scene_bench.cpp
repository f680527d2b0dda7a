// Scene throughput: G3@RENDER of N box frames (a material each, two
// directional lights) through the whole path a game takes, against a plain
// Direct3D 9 loop that sets the same world matrices and materials and draws
// the same meshes. Frames per second of each, clearing and presenting
// included in both.
//
//   scene_bench [frames]      (default 200)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "scene3d/scene.h"
#include "tests/support/script.h"
#include "tools/bench/clock.h"

using qrt::test::Game;
using qrt::test::Script;

namespace {

using qrt::bench::now;

// G@SETUP, the lights and `boxes` frames in a grid, S@WAIT, then `frames`
// rounds of clear, G3@RENDER, G@FLIP.
std::vector<uint8_t> sceneImage(int boxes, int frames) {
  Script s;
  const int screen = s.call("G@SETUP", {s.integer(640), s.integer(480), s.integer(32), s.integer(1)});
  for (float dir : {1.0f, -1.0f}) {
    const int l = s.call("G3@LIGHTMAKE", {s.integer(3), s.real(0.7f), s.real(0.7f), s.real(0.7f)});
    s.run("G3@LIGHTSETDIR", {l, s.real(dir), s.real(-1), s.real(1)});
    s.run("G3@ADD", {l, s.integer(0)});
  }
  s.run("G3@CAMERASETEYE", {s.real(0), s.real(0), s.real(-60)});
  const int side = boxes <= 100 ? 10 : 32;
  for (int i = 0; i < boxes; ++i) {
    const int box = s.call("G3@FRMMAKEBOX", {s.real(1), s.real(1), s.real(1)});
    const float x = static_cast<float>(i % side - side / 2) * 2.0f, y = static_cast<float>(i / side - side / 2) * 2.0f;
    s.run("G3@FRMSETPOS", {box, s.real(x), s.real(y), s.real(0)});
    s.run("G3@FRMSETMCOLOR", {box, s.real((i % 7) / 7.0f), s.real((i % 5) / 5.0f), s.real(0.6f), s.real(1)});
    s.run("G3@ADD", {box, s.integer(0)});
  }
  s.wait();
  if (frames > 0) {
    s.loop(frames, [&] {
      s.run("G@CHRCLEAR", {screen, s.integer(16), s.integer(16), s.integer(24)});
      s.run("G3@RENDER", {s.integer(0), s.integer(0)});
      s.run("G@FLIP");
    });
  }
  return s.build();
}

double engineFps(int boxes, int frames) {
  qrt::test::Program game(sceneImage(boxes, frames));
  game.step();   // G@SETUP
  game.step();   // the scene is made
  const double start = now();
  game.runToEnd();
  return frames / (now() - start);
}

// The same frames drawn by hand: states and lights once, then per box its
// world matrix, its material and its mesh.
double plainFps(int boxes, int frames) {
  qrt::test::Program game(sceneImage(boxes, 0));
  game.step();
  game.step();
  qrt::DisplayState& d = *qrt::display();
  qrt::Scene3dState& s = *qrt::scene();
  IDirect3DDevice9* dev = d.device.Get();
  // View, projection and lights set once, as a plain program would.
  std::vector<qrt::SceneFrame*> frameList;
  for (qrt::SceneFrame* f : s.frames.newestFirst()) frameList.push_back(f);
  D3DXMATRIX view, projection;
  D3DXMatrixLookAtLH(&view, &s.camera.eye, &s.camera.lookAt, &s.camera.up);
  D3DXMatrixPerspectiveFovLH(&projection, 45.0f * 0.017453292f, 640.0f / 480.0f, 1.0f, 1000.0f);
  dev->SetTransform(D3DTS_VIEW, &view);
  dev->SetTransform(D3DTS_PROJECTION, &projection);
  int index = 0;
  for (qrt::Light* l : s.lights.newestFirst()) {
    dev->SetLight(static_cast<DWORD>(index), &l->first);
    dev->LightEnable(static_cast<DWORD>(index++), TRUE);
  }
  D3DXMATRIX world;
  const double start = now();
  for (int f = 0; f < frames; ++f) {
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF101018, 1.0f, 0);
    dev->SetRenderState(D3DRS_LIGHTING, TRUE);
    dev->SetRenderState(D3DRS_AMBIENT, 0xFF333333);
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    dev->SetRenderState(D3DRS_ZENABLE, TRUE);
    for (qrt::SceneFrame* fr : frameList) {
      D3DXMatrixTranslation(&world, fr->position.x, fr->position.y, fr->position.z);
      dev->SetTransform(D3DTS_WORLD, &world);
      dev->SetMaterial(&fr->material);
      fr->mesh->DrawSubset(0);
    }
    dev->EndScene();
    dev->Present(nullptr, nullptr, nullptr, nullptr);
    dev->BeginScene();
  }
  const double seconds = now() - start;
  game.runToEnd();
  return frames / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  qrt::bench::warnWhenEmulated();
  const int frames = argc > 1 ? std::atoi(argv[1]) : 200;
  std::printf("box frames lit by two lights, 640x480 window, %d frames\n", frames);
  std::printf("%8s %14s %14s %8s\n", "boxes", "G3@RENDER fps", "plain fps", "ratio");
  for (int boxes : {100, 1000}) {
    const double engine = engineFps(boxes, frames);
    const double plain = plainFps(boxes, frames);
    std::printf("%8d %14.1f %14.1f %8.2f\n", boxes, engine, plain, engine / plain);
    std::fflush(stdout);
  }
  return 0;
}
