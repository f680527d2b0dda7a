// mkdemo: writes the files the demo game (examples/demo) loads: its sprite
// sheet, its X-file model and its sounds. They are kept beside the demo's
// scripts; run this again only to change them:
//
//   tools/winebed/wine-run build/tools/mkdemo.exe examples/demo
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "image/image_builder.h"
#include "tools/media/sound_files.h"

namespace {

using namespace qrt::img;
namespace media = qrt::media;

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

// --- The model -------------------------------------------------------------------
//
// A little house: walls and a roof on a frame of their own, each with its
// material, and two animation sets the demo cross-fades between.

std::string demoModel() {
  std::string x = "xof 0302txt 0032\n"
                  "template AnimTicksPerSecond { <9E415A43-7BA6-4a73-8743-B73D47E88476> DWORD AnimTicksPerSecond; }\n";
  auto frameOpen = [&](const char* name, float ty) {
    char line[200];
    std::snprintf(line, sizeof line,
                  "Frame %s {\n FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, "
                  "0.0,%.3f,0.0,1.0;; }\n",
                  name, ty);
    x += line;
  };
  auto material = [&](float r, float g, float b) {
    char line[160];
    std::snprintf(line, sizeof line, "Material { %.3f;%.3f;%.3f;1.0;; 8.0; 0.2;0.2;0.2;; 0.0;0.0;0.0;; }\n", r, g,
                  b);
    return std::string(line);
  };
  frameOpen("House", 0.0f);
  // The walls: a cube of side 1.6 (the loader's mesh has no normals: they
  // are computed when it is loaded).
  frameOpen("Walls", 0.0f);
  x += "Mesh Walls { 8;\n"
       " -0.8;-0.8;-0.8;, -0.8;0.8;-0.8;, 0.8;0.8;-0.8;, 0.8;-0.8;-0.8;,\n"
       " -0.8;-0.8;0.8;, -0.8;0.8;0.8;, 0.8;0.8;0.8;, 0.8;-0.8;0.8;;\n"
       " 12; 3;0,1,2;, 3;0,2,3;, 3;4,6,5;, 3;4,7,6;, 3;4,5,1;, 3;4,1,0;,\n"
       " 3;3,2,6;, 3;3,6,7;, 3;1,5,6;, 3;1,6,2;, 3;4,0,3;, 3;4,3,7;;\n"
       " MeshMaterialList { 1; 12; 0,0,0,0,0,0,0,0,0,0,0,0;; " +
       material(0.8f, 0.3f, 0.2f) + " }\n}\n}\n";
  // The roof: a pyramid on a frame of its own, above the walls.
  frameOpen("Roof", 0.8f);
  x += "Mesh Roof { 5;\n"
       " -1.0;0.0;-1.0;, -1.0;0.0;1.0;, 1.0;0.0;1.0;, 1.0;0.0;-1.0;, 0.0;1.1;0.0;;\n"
       " 6; 3;0,4,3;, 3;3,4,2;, 3;2,4,1;, 3;1,4,0;, 3;0,3,2;, 3;0,2,1;;\n"
       " MeshMaterialList { 1; 6; 0,0,0,0,0,0;; " +
       material(0.2f, 0.55f, 0.3f) + " }\n}\n}\n";
  x += "}\n";
  // "Bounce" lifts the roof and lets it fall; "Spin" turns the house once
  // round (a quarter turn per key), both looping once a second and a half.
  x += "AnimTicksPerSecond { 20; }\n";
  x += "AnimationSet Bounce { Animation { {Roof} AnimationKey { 2; 3;"
       " 0;3;0.0,0.8,0.0;;, 15;3;0.0,1.4,0.0;;, 30;3;0.0,0.8,0.0;;; } } }\n";
  x += "AnimationSet Spin { Animation { {House} AnimationKey { 0; 5;"
       " 0;4;1.0,0.0,0.0,0.0;;, 8;4;0.7071068,0.0,0.7071068,0.0;;, 15;4;0.0,0.0,1.0,0.0;;,"
       " 23;4;-0.7071068,0.0,0.7071068,0.0;;, 30;4;-1.0,0.0,0.0,0.0;;; } } }\n";
  return x;
}


// --- The sounds ------------------------------------------------------------------
//
// A blip when an arrow key goes down, a crash when the rocket runs into a
// ball, and the tune in the background.

const media::PcmFormat kFormat{.channels = 1, .bits = 16, .rate = 22050};
// The tune has nothing above a few kHz: half the rate keeps the file small.
const media::PcmFormat kTuneFormat{.channels = 1, .bits = 16, .rate = 11025};
constexpr double kTau = 6.28318530717958647692;

// A short rising chirp.
std::vector<float> blip() {
  std::vector<float> s(kFormat.rate / 12);
  double phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / s.size();
    phase += kTau * (880 + 660 * t) / kFormat.rate;
    s[i] = static_cast<float>(0.5 * std::sin(phase) * (1 - t));
  }
  return s;
}

// A burst of noise over a falling thump.
std::vector<float> crash() {
  std::vector<float> s(kFormat.rate / 3);
  std::minstd_rand noise(7);
  std::uniform_real_distribution<double> spread(-1, 1);
  double phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kFormat.rate;
    phase += kTau * (140 - 200 * t) / kFormat.rate;
    s[i] = static_cast<float>(std::exp(-9 * t) * (0.45 * spread(noise) + 0.5 * std::sin(phase)));
  }
  return s;
}

// Eight seconds of arpeggios over a bass line, in four chords.
std::vector<float> tune() {
  const int chords[4][3] = {{60, 64, 67}, {57, 60, 64}, {53, 57, 60}, {55, 59, 62}};
  const double step = 0.125;   // seconds a note
  std::vector<float> s(static_cast<size_t>(8 * kTuneFormat.rate));
  auto hz = [](int key) { return 440.0 * std::pow(2.0, (key - 69) / 12.0); };
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kTuneFormat.rate;
    const int n = static_cast<int>(t / step), chord = n / 16 % 4;
    const int key = chords[chord][n % 3] + 12 * (n % 6 / 3);
    const double inNote = t - n * step;
    const double lead = std::sin(kTau * hz(key) * t) * std::exp(-10 * inNote);
    const double bass = std::sin(kTau * hz(chords[chord][0] - 24) * t);
    s[i] = static_cast<float>(0.3 * lead + 0.2 * bass);
  }
  return s;
}

void writeDemoSounds(const std::filesystem::path& folder) {
  writeFile(folder / "demo_blip.wav", media::waveFile(kFormat, media::pcmFrom(kFormat, blip())));
  writeFile(folder / "demo_crash.wav", media::waveFile(kFormat, media::pcmFrom(kFormat, crash())));
  writeFile(folder / "demo_tune.wav", media::waveFile(kTuneFormat, media::pcmFrom(kTuneFormat, tune())));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: mkdemo <folder>\n", stderr);
    return 2;
  }
  try {
    const std::filesystem::path folder = argv[1];
    writeFile(folder / "demo_sprites.bmp", bmp24(drawSheet()));
    const std::string model = demoModel();
    writeFile(folder / "demo_model.x", std::vector<uint8_t>(model.begin(), model.end()));
    writeDemoSounds(folder);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mkdemo: %s\n", e.what());
    return 1;
  }
  return 0;
}
