// Sprite throughput: 32 x 32 copies onto the screen per second, through
// the whole path a game takes (op 3, dispatch, G@CHRCOPYC, one immediate
// draw per copy with its render states saved and restored), plain and
// blended; and as the reference, the same quads from the same texture in
// one batched draw call per frame straight on the device.
//
//   sprites [copies per frame] [frames]      (default 1000 x 60)
//
// Every figure is (time of frames with copies - time of the same number of
// empty frames) / copies, so clearing and presenting do not count.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/engine.h"
#include "gfx2d/copy_quad.h"
#include "gfx2d/display.h"
#include "host/host.h"
#include "host/loader.h"
#include "base/runtime.h"
#include "image/image_builder.h"
#include "tools/bench/clock.h"

using namespace qrt::img;

namespace {

using qrt::bench::now;

// A game in this process: opened, stepped with the window's messages
// handled between steps as the host loop does, and closed.
class Game {
 public:
  explicit Game(const std::vector<uint8_t>& file) {
    qrt::hostOpenWindow(GetModuleHandleW(nullptr), "", SW_SHOWNORMAL);
    qrt::hostCreateFamilies();
    size_ = static_cast<uint32_t>(file.size()) + 1;
    buffer_ = qrt::allocateExecutable(size_);
    memcpy(buffer_, file.data(), file.size());
    buffer_[file.size()] = '\n';
    qrt::hostAttachImage(buffer_ + kHeaderSize, size_ - kHeaderSize);
  }
  ~Game() {
    qrt::hostShutdown();
    DestroyWindow(qrt::g_host.window);
    pump();
    VirtualFree(buffer_, 0, MEM_RELEASE);
  }
  bool step() {
    bool more = qrt::engineStep(*qrt::engineState());
    pump();
    return more;
  }
  void runToEnd() {
    while (step()) {
    }
  }
  uint32_t slot(int n) { return qrt::engineState()->current[n]; }

 private:
  static void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  uint8_t* buffer_ = nullptr;
  uint32_t size_ = 0;
};

struct Constants {
  Routine& m;
  int integer(int32_t v) {
    int s = m.slot();
    m.native([&](X86& x) {
      x.storeImm(s, static_cast<uint32_t>(v));
      x.next();
    });
    return s;
  }
  int real(float v) { return integer(static_cast<int32_t>(realBits(v))); }
};

// G@SETUP, a 32 x 32 sprite (half transparent when blended), S@WAIT; then
// `frames` frames of: clear, `copies` G@CHRCOPYC spread over the screen,
// G@FLIP. The sprite's handle is in slot `spriteSlot`.
std::vector<uint8_t> copyImage(int copies, int frames, bool blended, int* spriteSlot) {
  ImageBuilder b;
  Routine& m = b.main();
  Constants k{m};
  int screen = m.slot(), sprite = m.slot(), frame = m.slot(), i = m.slot(), cx = m.slot(), cy = m.slot();
  *spriteSlot = sprite;
  m.command("G@SETUP", screen, {k.integer(640), k.integer(480), k.integer(32), k.integer(1)});
  m.command("G@CHRMAKE", sprite, {k.integer(32), k.integer(32), k.integer(0)});
  m.command("G@CHRCLEAR", 0, {sprite, k.integer(255), k.integer(160), k.integer(40)});
  if (blended) m.command("G@CHRCOLORA", 0, {sprite, k.integer(255), k.integer(255), k.integer(255), k.integer(128)});
  int zero = k.integer(0), one = k.real(1.0f), none = k.real(0.0f), dark = k.integer(20);
  m.command("S@WAIT", 0);
  if (frames == 0) {
    m.command("S@WAIT", 0);
    m.end();
    return b.build();
  }
  m.native([&](X86& x) {
    x.storeImm(frame, static_cast<uint32_t>(frames));
    x.next();
  });
  Label frameTop = m.here();
  m.command("G@CHRCLEAR", 0, {screen, dark, dark, dark});
  m.native([&](X86& x) {
    x.storeImm(i, static_cast<uint32_t>(copies));
    x.next();
  });
  Label copyTop = m.here();
  if (copies > 0) {
    m.native([&](X86& x) {
      // A spread of positions: cx = 16 + (i * 37) mod 608, cy = 16 + (i * 23) mod 448.
      x.load(EAX, i);
      x.imulImm(EAX, 37);
      x.movImm(ECX, 608);
      x.cdq();
      x.idiv(ECX);
      x.addImm(EDX, 16);
      x.store(cx, EDX);
      x.load(EAX, i);
      x.imulImm(EAX, 23);
      x.movImm(ECX, 448);
      x.cdq();
      x.idiv(ECX);
      x.addImm(EDX, 16);
      x.store(cy, EDX);
      x.next();
    });
    m.command("G@CHRCOPYC", 0, {sprite, screen, cx, cy, zero, one, none});
    m.native([&](X86& x) { x.countDown(i, copyTop); });
  }
  m.command("G@FLIP", 0);
  m.native([&](X86& x) { x.countDown(frame, frameTop); });
  m.end();
  return b.build();
}

// Seconds for the frames after the S@WAIT.
double timeCopies(int copies, int frames, bool blended) {
  int spriteSlot = 0;
  Game game(copyImage(copies, frames, blended, &spriteSlot));
  game.step();   // G@SETUP
  game.step();   // sprite made, S@WAIT
  double start = now();
  game.runToEnd();
  return now() - start;
}

// The reference: the same sprite's texture, `copies` quads as one triangle
// list per frame, states set once per frame.
double timeBatched(int copies, int frames, bool blended) {
  int spriteSlot = 0;
  Game game(copyImage(0, 0, blended, &spriteSlot));
  game.step();
  game.step();
  qrt::DisplayState& d = *qrt::display();
  qrt::SurfaceRecord* sprite = qrt::findSurface(&d, game.slot(spriteSlot));
  IDirect3DDevice9* dev = d.device.Get();
  std::vector<qrt::CopyVertex> vertices(static_cast<size_t>(copies) * 6);
  for (int n = 0; n < copies; ++n) {
    int i = copies - n;
    float x = static_cast<float>(16 + (i * 37) % 608 - 15), y = static_cast<float>(16 + (i * 23) % 448 - 15);
    qrt::CopyVertex c[4] = {{x - 0.5f, y - 0.5f, 0, 1, sprite->modulation, 0, 0},
                            {x + 32, y - 0.5f, 0, 1, sprite->modulation, 1, 0},
                            {x - 0.5f, y + 32, 0, 1, sprite->modulation, 0, 1},
                            {x + 32, y + 32, 0, 1, sprite->modulation, 1, 1}};
    const int order[6] = {0, 1, 2, 2, 1, 3};
    for (int v = 0; v < 6; ++v) vertices[static_cast<size_t>(n) * 6 + v] = c[order[v]];
  }
  double start = now();
  for (int f = 0; f < frames; ++f) {
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF141414, 1.0f, 0);
    if (copies > 0) {
      dev->SetRenderState(D3DRS_ALPHABLENDENABLE, blended);
      dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
      dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
      dev->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
      dev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
      dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
      dev->SetRenderState(D3DRS_LIGHTING, FALSE);
      dev->SetFVF(qrt::kCopyVertexFormat);
      dev->SetTexture(0, sprite->texture->texture.Get());
      dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(copies) * 2, vertices.data(),
                           sizeof(qrt::CopyVertex));
    }
    dev->EndScene();
    dev->Present(nullptr, nullptr, nullptr, nullptr);
    dev->BeginScene();
  }
  double seconds = now() - start;
  game.runToEnd();
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  qrt::bench::warnWhenEmulated();
  const int copies = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int frames = argc > 2 ? std::atoi(argv[2]) : 60;
  const double total = static_cast<double>(copies) * frames;
  std::printf("32x32 sprites, %d per frame, %d frames, 640x480 window\n", copies, frames);
  std::printf("%-10s %16s %16s %8s\n", "", "G@CHRCOPYC/s", "batched/s", "ratio");
  std::fflush(stdout);
  for (bool blended : {false, true}) {
    const double copyEmpty = timeCopies(0, frames, blended);
    const double copyFull = timeCopies(copies, frames, blended);
    const double batchEmpty = timeBatched(0, frames, blended);
    const double batchFull = timeBatched(copies, frames, blended);
    const double perSecond = total / (copyFull - copyEmpty);
    const double batchedPerSecond = total / (batchFull - batchEmpty);
    std::printf("%-10s %16.0f %16.0f %8.1f\n", blended ? "blended" : "plain", perSecond, batchedPerSecond,
                batchedPerSecond / perSecond);
    std::fflush(stdout);
  }
  return 0;
}
