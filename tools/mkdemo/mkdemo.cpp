// mkdemo: writes the demo game's program image, the sprite sheet and the
// sounds it loads.
//
//   mkdemo <image file>          (demo_sprites.bmp and demo_*.wav beside it)
//   qrtlink link qrtrun.exe <image file> demo.exe
//
// The demo is a game as the script compiler would emit it: native blocks do
// the arithmetic and the loops, op 3 calls the built-in commands. It draws
// moving, rotating and blended sprites from the sheet, Japanese and English
// text and a frame counter; the arrow keys or the held left mouse button fly
// the rocket, and typed (or IME) text goes into a line on the screen, until
// Escape closes it. A tune plays all along; an arrow key blips, and the
// rocket crashes into the balls audibly. With the environment
// variable QRT_DEMO_SHOT set it saves the screen to demo_shot.png after
// three seconds and ends by itself (for screenshots without a display).
// Started with the word `host` or `join` two copies play together over
// 127.0.0.1, each showing the other's rocket (demo_network.h).
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tools/imagebuilder/image_builder.h"
#include "tools/mkdemo/demo_edit_line.h"
#include "tools/mkdemo/demo_input.h"
#include "tools/mkdemo/demo_network.h"
#include "tools/mkdemo/demo_scene.h"
#include "tools/mkdemo/demo_sound.h"

namespace {

using namespace qrt::img;

// --- The sprite sheet ----------------------------------------------------------
//
// 128 x 32, four 32 x 32 cells on black (the load colour key): a grey ball
// (tinted per copy by the modulation colour), a star, a gem and a rocket.

constexpr int kSheetWidth = 128, kSheetHeight = 32;
constexpr double kPi = 3.14159265358979323846;

struct Sheet {
  std::vector<uint32_t> rgb = std::vector<uint32_t>(kSheetWidth * kSheetHeight, 0);
  void set(int cell, int x, int y, double r, double g, double b) {
    auto c = [](double v) { return static_cast<uint32_t>(std::lround(std::fmin(255.0, std::fmax(8.0, v)))); };
    rgb[static_cast<size_t>(y) * kSheetWidth + cell * 32 + x] = c(r) << 16 | c(g) << 8 | c(b);
  }
};

bool insidePolygon(const std::vector<std::pair<double, double>>& p, double x, double y) {
  bool in = false;
  for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
    if ((p[i].second > y) != (p[j].second > y) &&
        x < (p[j].first - p[i].first) * (y - p[i].second) / (p[j].second - p[i].second) + p[i].first) {
      in = !in;
    }
  }
  return in;
}

Sheet drawSheet() {
  Sheet s;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      // Ball: a lit sphere in greys.
      const double dx = (px - 16) / 15, dy = (py - 16) / 15, rr = dx * dx + dy * dy;
      if (rr <= 1) {
        const double dz = std::sqrt(1 - rr);
        const double diffuse = std::fmax(0, (-dx * 0.5 - dy * 0.6 + dz * 0.62));
        const double spec = std::pow(std::fmax(0, -dx * 0.3 - dy * 0.4 + dz * 0.87), 24);
        const double v = 40 + 190 * diffuse + 255 * spec;
        s.set(0, x, y, v, v, v);
      }
      // Star: five points, yellow to orange from the middle out.
      std::vector<std::pair<double, double>> star;
      for (int k = 0; k < 10; ++k) {
        const double a = -kPi / 2 + k * kPi / 5, r = (k % 2) ? 6.5 : 15.5;
        star.emplace_back(16 + r * std::cos(a), 16.5 + r * std::sin(a));
      }
      if (insidePolygon(star, px, py)) {
        const double d = std::hypot(px - 16, py - 16.5) / 15.5;
        s.set(1, x, y, 255, 240 - 120 * d, 60 - 40 * d);
      }
      // Gem: a diamond with four shaded facets.
      const double gx = px - 16, gy = py - 16;
      if (std::fabs(gx) + std::fabs(gy) <= 15) {
        const double shade = (gx < 0 ? 1.0 : 0.7) * (gy < 0 ? 1.0 : 0.75);
        s.set(2, x, y, 60 * shade, 200 * shade + 40, 255 * shade);
      }
      // Rocket pointing right: flame, body, window, nose, fins.
      const bool body = px >= 7 && px <= 23 && py >= 12 && py <= 20;
      const bool nose = px > 23 && px <= 31 && std::fabs(py - 16) <= (31 - px) * 0.5;
      const bool fin = px >= 7 && px <= 13 && std::fabs(py - 16) <= 4 + (13 - px) * 1.2;
      const bool flame = px >= 1 && px < 7 && std::fabs(py - 16) <= (px - 1) * 0.5 + 0.8;
      if (flame) s.set(3, x, y, 255, 150 + 15 * (7 - px), 40);
      if (fin) s.set(3, x, y, 200, 40, 50);
      if (body || nose) s.set(3, x, y, 225 - (py - 12) * 6, 230 - (py - 12) * 6, 240);
      if (std::hypot(px - 19, py - 16) <= 2.6) s.set(3, x, y, 70, 150, 255);
    }
  }
  return s;
}

std::vector<uint8_t> bmp24(const Sheet& s) {
  const int row = kSheetWidth * 3;   // a multiple of 4
  std::vector<uint8_t> f;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) f.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  f.push_back('B');
  f.push_back('M');
  put(54 + row * kSheetHeight, 4);
  put(0, 4);
  put(54, 4);
  put(40, 4);
  put(kSheetWidth, 4);
  put(kSheetHeight, 4);
  put(1, 2);
  put(24, 2);
  for (int i = 0; i < 6; ++i) put(0, 4);
  for (int y = kSheetHeight - 1; y >= 0; --y)
    for (int x = 0; x < kSheetWidth; ++x) put(s.rgb[static_cast<size_t>(y) * kSheetWidth + x], 3);
  return f;
}

// --- The game -------------------------------------------------------------------

// cp932 texts.
const char kTitle[] =   // ２Ｄスプライトのデモ：移動・回転・半透明
    "\x82\x51\x82\x63\x83\x58\x83\x76\x83\x89\x83\x43\x83\x67\x82\xcc\x83\x66\x83\x82\x81\x46"
    "\x88\xda\x93\xae\x81\x45\x89\xf1\x93\x5d\x81\x45\x94\xbc\x93\xa7\x96\xbe";
const char kJapanese[] =   // 日本語の文字も表示できます
    "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8e\x9a\x82\xe0\x95\x5c\x8e\xa6\x82\xc5\x82\xab"
    "\x82\xdc\x82\xb7";

constexpr int kBalls = 10, kGems = 6;

class DemoGame {
 public:
  DemoGame() : m_(b_.main()) {}

  std::vector<uint8_t> build() {
    // Constants are gathered while the game is written and stored by one
    // native block placed at the end, which the first op jumps to.
    Label init = m_.label(), begin = m_.label();
    m_.native([&](X86& x) { x.next(init); });
    m_.bind(begin);
    game();
    m_.bind(init);
    m_.native([&](X86& x) {
      for (const auto& [slot, bits] : constants_) x.storeImm(slot, bits);
      x.next(begin);
    });
    return b_.build();
  }

 private:
  int k(int32_t v) { return constant(static_cast<uint32_t>(v), ints_); }
  int kf(float v) { return constant(realBits(v), reals_); }
  int constant(uint32_t bits, std::map<uint32_t, int>& pool) {
    auto it = pool.find(bits);
    if (it != pool.end()) return it->second;
    int s = m_.slot();
    pool[bits] = s;
    constants_.emplace_back(s, bits);
    return s;
  }
  int text(const char* t) { return m_.constant(t); }
  void call(std::string_view name, int result, const std::vector<int>& args = {}) { m_.command(name, result, args); }

  void game() {
    const int screen = m_.slot(), shot = m_.slot();
    const int ball = m_.slot(), star = m_.slot(), gem = m_.slot(), rocket = m_.slot(), panel = m_.slot();
    const int start = m_.slot(), now = m_.slot(), t = m_.slot();
    const int frames = m_.slot(), fps = m_.slot(), lastTick = m_.slot(), lastFrames = m_.slot();
    const int i = m_.slot(), cx = m_.slot(), cy = m_.slot(), mirror = m_.slot();
    const int red = m_.slot(), green = m_.slot(), blue = m_.slot();
    const int angle = m_.slot(), spin = m_.slot(), scale = m_.slot(), sine = m_.slot(), cosine = m_.slot();
    const int temp = m_.slot(), number = m_.slot();
    const int counted = m_.slot(), labelled = m_.slot(), line = m_.slot();

    // Set-up: the command line first, so that a two-player copy keeps
    // stepping while inactive from its first step on; a 640 x 480 window,
    // then the screenshot switch from the environment
    // (GetEnvironmentVariableA(name, NULL, 0) > 0 when set).
    const qrt::demo::Network net = qrt::demo::readRole(m_);
    call("G@SETUP", screen, {k(640), k(480), k(32), k(1)});
    const int getEnv = b_.exfunc("kernel32.dll", "GetEnvironmentVariableA", Int, {Str, Int, Int});
    m_.exfuncCall(getEnv, shot, {k(0), k(0), text("QRT_DEMO_SHOT")});
    // On a machine that runs the game several times slower (the test bed
    // says how many in QRT_PACE) a two-player copy waits as much longer for
    // its peer before it gives up.
    const int readEnv = b_.exfunc("msvcrt.dll", "getenv", Str, {Str});
    const int paceText = m_.slot(), pace = m_.slot();
    m_.exfuncCall(readEnv, paceText, {text("QRT_PACE")});
    call("ATOI", pace, {paceText});
    qrt::demo::stretchShot(m_, net, pace);

    // Four surfaces share the sheet's texture, each with its own cell.
    const int sheet = text("demo_sprites.bmp");
    call("G@CHRLOADCKEY", 0, {k(0), k(0), k(0)});
    const int sprites[] = {ball, star, gem, rocket};
    for (int cell = 0; cell < 4; ++cell) {
      call("G@CHRLOAD", sprites[cell], {sheet, 0});
      call("G@CHRRECT", 0, {sprites[cell], k(cell * 32), k(0), k(cell * 32 + 31), k(31)});
    }
    call("G@CHRCOLORA", 0, {gem, k(255), k(255), k(255), k(150)});
    // A dark, half-transparent panel behind the text, stretched by fitted copies.
    call("G@CHRMAKE", panel, {k(8), k(8), k(0)});
    call("G@CHRCLEAR", 0, {panel, k(0), k(0), k(20)});
    call("G@CHRCOLORA", 0, {panel, k(255), k(255), k(255), k(170)});

    // The 3D scene behind everything.
    const qrt::demo::Scene scene = qrt::demo::declareScene(m_, text("demo_model.x"));

    // The player's rocket and the text line.
    const qrt::demo::Player player = qrt::demo::declarePlayer(m_, 320 - 16, 392 - 16);
    const qrt::demo::EditLine edit = qrt::demo::declareEditLine(m_, {.x = 20, .y = 84});
    const qrt::demo::Sounds sounds = qrt::demo::loadSounds(m_);
    qrt::demo::startNetwork(m_, net, player, sheet);
    const int lastX = m_.slot();

    call("SYSTIME", start);
    m_.native([&](X86& x) {
      x.storeImm(mirror, 0);
      x.load(EAX, player.x);
      x.store(lastX, EAX);
      x.storeImm(frames, 0);
      x.storeImm(fps, 0);
      x.storeImm(lastFrames, 0);
      x.load(EAX, start);
      x.store(lastTick, EAX);
      x.next();
    });

    // --- one frame ---
    Label frame = m_.here();
    call("SYSTIME", now);
    m_.native([&](X86& x) {
      // t = now - start; once a second: fps = frames counted * 1000 / elapsed
      x.load(EAX, now);
      x.subSlot(EAX, start);
      x.store(t, EAX);
      x.load(ECX, now);
      x.subSlot(ECX, lastTick);
      x.cmpImm(ECX, 1000);
      Label keep = x.label();
      x.jcc(Cond::L, keep);
      x.load(EAX, frames);
      x.subSlot(EAX, lastFrames);
      x.imulImm(EAX, 1000);
      x.cdq();
      x.idiv(ECX);
      x.store(fps, EAX);
      x.load(EAX, now);
      x.store(lastTick, EAX);
      x.load(EAX, frames);
      x.store(lastFrames, EAX);
      x.bind(keep);
      x.next();
    });
    call("G@CHRCLEAR", 0, {screen, k(14), k(18), k(44)});
    qrt::demo::renderScene(m_);

    // Gems orbit the middle, half transparent and spinning.
    m_.native([&](X86& x) {
      x.storeImm(i, 0);
      x.next();
    });
    Label gemLoop = m_.here();
    m_.native([&](X86& x) {
      // angle = t * 0.03 + i * 60; spin = t * 0.25
      x.fild(i);
      x.fmul(kf(360.0f / kGems));
      x.fstp(temp);
      x.fild(t);
      x.fmul(kf(0.03f));
      x.fadd(temp);
      x.fstp(angle);
      x.fild(t);
      x.fmul(kf(0.25f));
      x.fstp(spin);
      x.next();
    });
    call("SIN", sine, {angle});
    call("COS", cosine, {angle});
    m_.native([&](X86& x) {
      // cx = 320 + cos * 190; cy = 250 + sin * 120
      x.fld(cosine);
      x.fmul(kf(190.0f));
      x.fistp(cx);
      x.load(EAX, cx);
      x.addImm(EAX, 320);
      x.store(cx, EAX);
      x.fld(sine);
      x.fmul(kf(120.0f));
      x.fistp(cy);
      x.load(EAX, cy);
      x.addImm(EAX, 250);
      x.store(cy, EAX);
      x.next();
    });
    call("G@CHRCOPYC", 0, {gem, screen, cx, cy, k(0), kf(1.5f), spin});
    m_.native([&](X86& x) {
      x.load(EAX, i);
      x.inc(EAX);
      x.store(i, EAX);
      x.cmpImm(EAX, kGems);
      Label done = x.label();
      x.jcc(Cond::GE, done);
      x.next(gemLoop);
      x.bind(done);
      x.next();
    });

    // Balls bounce off the edges, each tinted by its modulation colour.
    // Positions are worked out from the time alone, so the speed does not
    // depend on the frame rate: a triangle wave over the free width.
    m_.native([&](X86& x) {
      x.storeImm(i, 0);
      qrt::demo::startTouches(x, sounds);
      x.next();
    });
    Label ballLoop = m_.here();
    m_.native([&](X86& x) {
      // bounce(origin, speed, span) = p < span ? p : 2 * span - p,
      // p = (origin + speed * t) mod (2 * span)
      // Speeds are in sixteenths of a pixel per 8 ms: 7.8 pixels a second each.
      auto bounce = [&](int originFactor, int speedBase, int speedStep, int span, int out) {
        x.load(ECX, i);
        x.imulImm(ECX, speedStep);
        x.addImm(ECX, speedBase);
        x.load(EAX, t);
        x.imul(EAX, ECX);
        x.movImm(ECX, 8 * 16);
        x.cdq();
        x.idiv(ECX);
        x.load(ECX, i);
        x.imulImm(ECX, originFactor);
        x.add(EAX, ECX);
        x.movImm(ECX, 2 * span);
        x.cdq();
        x.idiv(ECX);                       // EDX = p
        x.cmpImm(EDX, span);
        Label low = x.label();
        x.jcc(Cond::L, low);
        x.neg(EDX);
        x.addImm(EDX, 2 * span);
        x.bind(low);
        x.addImm(EDX, 16);
        x.store(out, EDX);
      };
      bounce(97, 10, 2, 640 - 32, cx);
      bounce(61, 7, 3, 480 - 32, cy);
      // Bright tints: 128 + (i * step) mod 128.
      auto tint = [&](int step, int out) {
        x.load(EAX, i);
        x.imulImm(EAX, step);
        x.addImm(EAX, 40);
        x.movImm(ECX, 128);
        x.cdq();
        x.idiv(ECX);
        x.addImm(EDX, 128);
        x.store(out, EDX);
      };
      tint(53, red);
      tint(97, green);
      tint(29, blue);
      qrt::demo::noteTouch(x, sounds, player, cx, cy);
      x.next();
    });
    call("G@CHRCOLORA", 0, {ball, red, green, blue, k(255)});
    call("G@CHRCOPYC", 0, {ball, screen, cx, cy, k(0), kf(1.0f), kf(0.0f)});
    m_.native([&](X86& x) {
      x.load(EAX, i);
      x.inc(EAX);
      x.store(i, EAX);
      x.cmpImm(EAX, kBalls);
      Label done = x.label();
      x.jcc(Cond::GE, done);
      x.next(ballLoop);
      x.bind(done);
      x.next();
    });

    // The star turns in the middle and breathes: scale = 2.5 + 0.8 sin(t * 0.15).
    m_.native([&](X86& x) {
      x.fild(t);
      x.fmul(kf(0.15f));
      x.fstp(angle);
      x.fild(t);
      x.fmul(kf(0.09f));
      x.fstp(spin);
      x.next();
    });
    call("SIN", sine, {angle});
    m_.native([&](X86& x) {
      x.fld(sine);
      x.fmul(kf(0.8f));
      x.fadd(kf(2.5f));
      x.fstp(scale);
      x.next();
    });
    call("G@CHRCOPYC", 0, {star, screen, k(320), k(250), k(0), scale, spin});

    // The rocket is the player's: it faces the way it last moved.
    qrt::demo::movePlayer(m_, player, {.width = 640, .height = 480, .spriteSize = 32});
    qrt::demo::updateScene(m_, scene, player.mouseX, player.mouseY);
    qrt::demo::playSounds(m_, sounds, player);
    m_.native([&](X86& x) {
      x.load(EAX, player.x);
      x.cmpSlot(EAX, lastX);
      Label left = x.label(), done = x.label();
      x.jcc(Cond::E, done);
      x.jcc(Cond::L, left);
      x.storeImm(mirror, 0);
      x.jmp(done);
      x.bind(left);
      x.storeImm(mirror, 2);
      x.bind(done);
      x.store(lastX, EAX);
      x.addImm(EAX, 16);
      x.store(cx, EAX);
      x.load(EAX, player.y);
      x.addImm(EAX, 16);
      x.store(cy, EAX);
      x.next();
    });
    qrt::demo::stepNetwork(m_, net, player, mirror, now);
    qrt::demo::drawPeer(m_, net, screen);
    call("G@CHRCOPYC", 0, {rocket, screen, cx, cy, mirror, kf(1.0f), kf(0.0f)});

    // Panels and text.
    call("G@CHRRECT", 0, {screen, k(8), k(6), k(631), k(71)});
    call("G@CHRCOPY", 0, {panel, screen, k(0), kf(1.0f), kf(0.0f)});
    call("G@CHRRECT", 0, {screen, k(8), k(430), k(631), k(471)});
    call("G@CHRCOPY", 0, {panel, screen, k(0), kf(1.0f), kf(0.0f)});
    call("G@CHRRECT", 0, {screen, k(0), k(0), k(639), k(479)});
    call("G@PRINT", 0, {screen, k(20), k(10), text(kTitle)});
    call("G@PRINT", 0, {screen, k(20), k(40), text("Arrow keys or mouse fly the rocket - Esc quits")});
    call("G@PRINT", 0, {screen, k(300), k(438), text(kJapanese)});
    call("STR", number, {frames, k(0)});
    m_.join(text("FRAME "), number, counted);
    m_.join(counted, text("    FPS "), labelled);
    call("STR", number, {fps, k(0)});
    m_.join(labelled, number, line);
    call("G@PRINT", 0, {screen, k(20), k(438), line});
    qrt::demo::drawEditLine(m_, edit, screen);
    qrt::demo::drawNetworkStatus(m_, net, screen);

    // Screenshot mode: after three seconds save the frame (before it is
    // presented: the swap discards the back buffer) and end; a two-player
    // copy first waits a little for its peer.
    Label snap = m_.label();
    m_.native([&](X86& x) {
      x.load(EAX, shot);
      x.cmpImm(EAX, 0);
      Label go = x.label();
      x.jcc(Cond::E, go);
      x.load(EAX, t);
      x.cmpImm(EAX, 3000);
      x.jcc(Cond::L, go);
      qrt::demo::holdShot(x, net, t, now, go);
      x.next(snap);
      x.bind(go);
      x.next();
    });
    call("G@FLIP", 0);
    m_.native([&](X86& x) {
      x.load(EAX, frames);
      x.inc(EAX);
      x.store(frames, EAX);
      x.next(frame);
    });

    m_.bind(snap);
    call("G@CHRSAVE", 0, {screen, text("demo_shot.png"), 0, k(3)});
    qrt::demo::reportNetwork(m_, net);
    call("SYSEXIT", 0);
    m_.end();
  }

  ImageBuilder b_;
  Routine& m_;
  std::map<uint32_t, int> ints_, reals_;
  std::vector<std::pair<int, uint32_t>> constants_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: mkdemo <image file>\n", stderr);
    return 2;
  }
  try {
    const std::filesystem::path image = argv[1];
    writeFile(image, DemoGame().build());
    writeFile(image.parent_path() / "demo_sprites.bmp", bmp24(drawSheet()));
    const std::string model = qrt::demo::demoModel();
    writeFile(image.parent_path() / "demo_model.x", std::vector<uint8_t>(model.begin(), model.end()));
    qrt::demo::writeDemoSounds(image.parent_path());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mkdemo: %s\n", e.what());
    return 1;
  }
  return 0;
}
