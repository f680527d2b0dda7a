// soak: one game that, for a million iterations, joins strings, writes and
// closes a file, sends a message through a connection to itself and reads
// it back, and makes and releases a surface, a 3D frame, a light and a
// wave sound; every thousandth iteration it also loads and releases an
// image and an X model, connects a new user and frees an array, and every
// ten thousandth it loads and releases a tune. Every 10 000 iterations the
// game yields and the process's handle count and private bytes are taken:
// a leak of anything per iteration shows as growth.
//
// Before the game, the same platform objects are made and released by
// plain calls (a texture, a D3DX box, a DirectShow graph), so that growth
// the platform itself keeps per object is told apart from ours.
//
//   soak [iterations in thousands, default 1000]
//
// Runs in a folder holding the demo's files (examples/demo): tools/soak.sh.
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <dshow.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/net/loopback.h"
#include "tests/support/script.h"

namespace {

using qrt::test::Game;
using qrt::test::Script;

struct Sample {
  long long iterations;
  DWORD handles;
  size_t privateBytes;
  long long liveStrings;
};

// The handles open in this process. Wine answers GetProcessHandleCount
// with 0; there the handle values are tried one by one (Wine hands out the
// lowest free value, so the open ones lie at the bottom).
DWORD handleCount() {
  DWORD n = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &n) && n) return n;
  for (uintptr_t value = 4; value < (1u << 17); value += 4) {
    DWORD flags;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++n;
  }
  return n;
}

// The private bytes: PrivateUsage, or PagefileUsage where it is 0 (Wine),
// which Windows defines as the same private commit.
size_t privateBytes() {
  PROCESS_MEMORY_COUNTERS_EX m{};
  m.cb = sizeof m;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof m)) return 0;
  return m.PrivateUsage ? m.PrivateUsage : m.PagefileUsage;
}

Sample sample(long long iterations, Game& game) {
  return {iterations, handleCount(), privateBytes(), game.engine().liveStrings};
}

// What one make-and-release of a platform object leaves behind, by plain
// calls: handles and bytes, averaged over many.
struct Residue {
  double handles = 0, bytes = 0;
};
struct Platform {
  Residue texture, box, graph;
};

template <typename Body>
Residue residue(int count, Body body) {
  body();   // the first one fills the caches
  const DWORD h = handleCount();
  const size_t b = privateBytes();
  for (int i = 0; i < count; ++i) body();
  return {(static_cast<double>(handleCount()) - h) / count, (static_cast<double>(privateBytes()) - b) / count};
}

Platform platformResidue() {
  Platform p;
  HWND window = CreateWindowW(L"STATIC", L"soak", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320, 240, nullptr,
                              nullptr, nullptr, nullptr);
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  D3DPRESENT_PARAMETERS pp{};
  pp.Windowed = TRUE;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.hDeviceWindow = window;
  IDirect3DDevice9* device = nullptr;
  if (d3d && SUCCEEDED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                         D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device))) {
    p.texture = residue(10000, [&] {
      IDirect3DTexture9* t = nullptr;
      if (SUCCEEDED(D3DXCreateTexture(device, 16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t)))
        t->Release();
    });
    p.box = residue(10000, [&] {
      ID3DXMesh* m = nullptr;
      if (SUCCEEDED(D3DXCreateBox(device, 1, 1, 1, &m, nullptr))) m->Release();
    });
    device->Release();
  }
  if (d3d) d3d->Release();
  DestroyWindow(window);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  p.graph = residue(20, [] {
    IGraphBuilder* g = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   reinterpret_cast<void**>(&g)))) {
      g->RenderFile(L"demo_tune.wav", nullptr);
      g->Release();
    }
  });
  CoUninitialize();
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  const int thousands = argc > 1 ? std::max(10, atoi(argv[1])) : 1000;
  const int chunks = thousands / 10;   // 10 000 iterations each
  const int port = qrt::test::freePort();
  const Platform platform = platformResidue();
  std::printf("platform, per plain make and release: texture %+.2f handles %+.0f bytes; D3DX box %+.2f handles "
              "%+.0f bytes; DirectShow graph %+.2f handles %+.0f bytes\n",
              platform.texture.handles, platform.texture.bytes, platform.box.handles, platform.box.bytes,
              platform.graph.handles, platform.graph.bytes);

  Script s;
  const int zero = s.integer(0), one = s.integer(1);
  s.call("G@SETUP", {s.integer(320), s.integer(240), s.integer(32), one});
  const int key = s.text("soak");
  const int server = s.call("P@SRVMAKE", {s.integer(port), key, zero});
  auto connect = [&](int user, int accepted) {
    s.callInto("P@USERMAKE", user, {s.text("127.0.0.1"), s.integer(port), key, zero});
    const int state = s.slot();
    s.loopUntil(1000000, accepted, [&] {
      s.callInto("P@USERGETSTATE", state, {user});
      s.callInto("P@SRVGETUSER", accepted, {server});
    });
    s.loopUntil(1000000, state, [&] { s.callInto("P@USERGETSTATE", state, {user}); });
  };
  const int user = s.slot(), accepted = s.slot();
  connect(user, accepted);

  const int hello = s.text("hello, "), joined = s.slot(), name = s.text("soak.txt");
  const int got = s.slot(), popped = s.slot(), poppedText = s.slot();
  const int spareUser = s.slot(), spareAccepted = s.slot(), chunksDone = s.integer(0);
  s.loop(chunks, [&] {
    s.loop(10, [&] {
      s.loop(1000, [&] {
        // Strings.
        const int number = s.callText("STR", {s.call("RAND"), s.integer(10)});
        s.main().join(hello, number, joined);
        // A file.
        const int file = s.call("F@OPEN", {name, s.integer(2), zero});
        s.run("F@WRITES", {file, joined});
        s.run("F@CLOSE", {file});
        // A message there and back.
        s.run("P@PUSHINT", {user, s.integer(42)});
        s.run("P@PUSHSTR", {user, joined});
        s.run("P@SEND", {user});
        s.main().native([&](qrt::img::X86& x) { x.storeImm(got, 0); x.next(); });
        s.loopUntil(1000000, got, [&] { s.callInto("P@RECV", got, {accepted}); });
        s.callInto("P@POPINT", popped, {accepted});
        s.callInto("P@POPSTR", poppedText, {accepted});
        // Handles of every cheap kind.
        s.run("G@RELEASE", {s.call("G@CHRMAKE", {s.integer(16), s.integer(16), zero})});
        s.run("G3@RELEASE", {s.call("G3@FRMMAKEBOX", {s.real(1), s.real(1), s.real(1)})});
        s.run("G3@RELEASE", {s.call("G3@LIGHTMAKE", {s.integer(4), s.real(1), s.real(1), s.real(1)})});
        s.run("W@RELEASE", {s.call("W@LOAD", {s.text("demo_blip.wav")})});
      });
      // The dearer kinds, once in a thousand.
      s.run("G@RELEASE", {s.call("G@CHRLOAD", {s.text("demo_sprites.bmp"), s.text("")})});
      s.run("G3@RELEASE", {s.call("G3@FRMLOAD", {s.text("demo_model.x")})});
      s.run("REDIMFREE", {s.call("REDIM", {s.integer(1000)})});
      s.main().native([&](qrt::img::X86& x) {
        x.storeImm(spareUser, 0);
        x.storeImm(spareAccepted, 0);
        x.next();
      });
      connect(spareUser, spareAccepted);
      s.run("P@CLOSE", {spareUser});
      s.run("P@CLOSE", {spareAccepted});
    });
    // A tune, once in ten thousand: under Wine each graph keeps handles of
    // its own (see the platform's figures below).
    s.run("M@RELEASE", {s.call("M@LOAD", {s.text("demo_tune.wav")})});
    s.main().native([&](qrt::img::X86& x) {
      x.load(qrt::img::EAX, chunksDone);
      x.inc(qrt::img::EAX);
      x.store(chunksDone, qrt::img::EAX);
      x.next();
    });
    s.wait();   // 10 000 more iterations: the driver takes a sample
  });
  s.run("F@DELETE", {name});
  Game game(s);

  std::vector<Sample> samples;
  const DWORD start = GetTickCount();
  samples.push_back(sample(0, game));
  int sampled = 0;
  while (game.step()) {
    const int chunk = game.integer(chunksDone);
    if (chunk == sampled) continue;   // a yield of another command
    sampled = chunk;
    samples.push_back(sample(10000ll * chunk, game));
    const Sample& now = samples.back();
    if (chunk % 10 == 0)
      std::printf("%8lld iterations  %5lu handles  %8.2f MB private  %lld strings  %lu s\n", now.iterations,
                  now.handles, now.privateBytes / 1048576.0, now.liveStrings, (GetTickCount() - start) / 1000);
    std::fflush(stdout);
  }
  const bool boxes = !game.boxes().empty();
  if (boxes) std::printf("soak: the game raised box %d\n", game.boxes().front().code);
  if (game.integer(popped) != 42 || game.text(poppedText).rfind("hello, ", 0) != 0) {
    std::printf("soak: the last message came back wrong\n");
    return 1;
  }
  // Growth from the first sample (the caches and pools are full by then) to
  // the last.
  if (samples.size() < 3) return 1;
  const Sample& first = samples[1];
  const Sample& last = samples.back();
  std::printf("soak: %lld iterations in %lu s\n", last.iterations, (GetTickCount() - start) / 1000);
  std::printf("soak: handles %lu after 10 000 iterations, %lu at the end (%+ld); highest %lu\n", first.handles,
              last.handles, static_cast<long>(last.handles) - static_cast<long>(first.handles),
              [&] { DWORD h = 0; for (const Sample& x : samples) h = std::max(h, x.handles); return h; }());
  std::printf("soak: private bytes %.2f MB after 10 000 iterations, %.2f MB at the end (%+.2f MB)\n",
              first.privateBytes / 1048576.0, last.privateBytes / 1048576.0,
              (static_cast<double>(last.privateBytes) - first.privateBytes) / 1048576.0);
  // What the platform keeps of the objects made in between: a texture for
  // a surface and a box every iteration, an image's texture every
  // thousandth, a graph every ten thousandth. (Its bytes are not counted
  // the same way: Wine's heaps reuse what the plain loop left, so the
  // private bytes are read as they are, above and from the tenth sample on.)
  const double n = static_cast<double>(last.iterations - first.iterations);
  const double keptHandles =
      (n + n / 1000) * platform.texture.handles + n * platform.box.handles + n / 10000 * platform.graph.handles;
  const double leftHandles = static_cast<double>(last.handles) - first.handles - keptHandles;
  std::printf("soak: of the handles the platform keeps %+.0f; the rest: %+.0f\n", keptHandles, leftHandles);
  // Flat is the verdict: a few handles of slack for what the platform opens
  // on its own (a thread pool, a cache), a few bytes an iteration for heaps
  // that settle late.
  constexpr double kHandleSlack = 32, kBytesPerIteration = 8;
  bool flat = leftHandles <= kHandleSlack;
  if (!flat) std::printf("soak: LEAK: %.0f handles more than the platform keeps\n", leftHandles);
  if (samples.size() > 11) {
    const Sample& settled = samples[10];
    const double grown = static_cast<double>(last.privateBytes) - settled.privateBytes;
    const double perIteration = grown / static_cast<double>(last.iterations - settled.iterations);
    std::printf("soak: private bytes %.2f MB after %lld iterations, %+.2f MB from there to the end (%.2f bytes an "
                "iteration)\n",
                settled.privateBytes / 1048576.0, settled.iterations, grown / 1048576.0, perIteration);
    // Over 100 000 iterations at least, so that one heap growing shows as
    // what it is.
    if (last.iterations - settled.iterations >= 100000 && perIteration > kBytesPerIteration) {
      std::printf("soak: LEAK: %.2f bytes an iteration\n", perIteration);
      flat = false;
    }
  }
  return boxes || !flat ? 1 : 0;
}
