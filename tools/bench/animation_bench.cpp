// Animation and picking costs: the advance of 100 playing models of 20
// animated frames each, per G3@RENDER, and G3@FRMGETRAY against a model of
// 2048 triangles, through the engine; against plain C++ doing the same
// interpolation and the same triangle tests on arrays of its own.
//
//   animation_bench [renders] [rays]      (default 200, 1000)
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scene3d/keyframes.h"
#include "scene3d/ray.h"
#include "tests/support/script.h"
#include "tools/bench/clock.h"

using qrt::test::Program;
using qrt::test::Script;

namespace {

constexpr int kModels = 100, kBones = 20, kKeys = 30, kGrid = 32;

// Where the plain loops leave their results, so that they are computed.
volatile double g_sink;

using qrt::bench::now;

// A chain of 20 frames, each turning and moving over 30 keys, with one
// small triangle; and a flat grid of 2048 triangles for the rays.
std::string chainModel() {
  std::string x = "xof 0302txt 0032\nFrame Root {\n";
  x += " Mesh Tri { 3; 0.0;0.0;0.0;, 0.1;0.0;0.0;, 0.0;0.1;0.0;; 1; 3;0,1,2;; }\n";
  for (int b = 0; b < kBones; ++b) x += "Frame B" + std::to_string(b) + " {\n";
  for (int b = 0; b < kBones; ++b) x += "}\n";
  x += "}\nAnimationSet Play {\n";
  for (int b = 0; b < kBones; ++b) {
    x += " Animation { {B" + std::to_string(b) + "}\n  AnimationKey { 0; " + std::to_string(kKeys) + ";\n";
    for (int k = 0; k < kKeys; ++k) {
      const double a = 0.05 * k + 0.01 * b;
      x += "   " + std::to_string(k * 160) + ";4;" + std::to_string(std::cos(a)) + ",0.0," + std::to_string(std::sin(a)) +
           ",0.0;;" + (k + 1 < kKeys ? "," : ";") + "\n";
    }
    x += "  }\n  AnimationKey { 2; " + std::to_string(kKeys) + ";\n";
    for (int k = 0; k < kKeys; ++k)
      x += "   " + std::to_string(k * 160) + ";3;0.1," + std::to_string(0.01 * k) + ",0.0;;" + (k + 1 < kKeys ? "," : ";") + "\n";
    x += "  }\n }\n";
  }
  return x + "}\n";
}

std::string gridModel() {
  std::string x = "xof 0302txt 0032\nFrame Grid {\n Mesh G { " + std::to_string((kGrid + 1) * (kGrid + 1)) + ";\n";
  for (int j = 0; j <= kGrid; ++j)
    for (int i = 0; i <= kGrid; ++i)
      x += std::to_string(i * 0.1 - 1.6) + ";" + std::to_string(j * 0.1 - 1.6) + ";0.0;" +
           (i == kGrid && j == kGrid ? ";" : ",") + "\n";
  x += std::to_string(kGrid * kGrid * 2) + ";\n";
  for (int j = 0; j < kGrid; ++j)
    for (int i = 0; i < kGrid; ++i) {
      const int a = j * (kGrid + 1) + i, b = a + 1, c = a + kGrid + 1, d = c + 1;
      const bool last = i == kGrid - 1 && j == kGrid - 1;
      x += "3;" + std::to_string(a) + "," + std::to_string(c) + "," + std::to_string(b) + ";,3;" + std::to_string(b) +
           "," + std::to_string(c) + "," + std::to_string(d) + ";" + (last ? ";" : ",") + "\n";
    }
  return x + " }\n}\n";
}

std::string write(const std::string& name, const std::string& text) {
  const std::string path = (std::filesystem::temp_directory_path() / name).string();
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// Seconds per G3@RENDER of the 100 models, playing or not; and per ray.
struct EngineFigures {
  double renderPlaying, renderStill, ray;
};

EngineFigures engine(int renders, int rays) {
  const std::string chain = write("qrt_chain.x", chainModel()), grid = write("qrt_grid.x", gridModel());
  Script s;
  s.call("G@SETUP", {s.integer(320), s.integer(240), s.integer(32), s.integer(1)});
  std::vector<int> models;
  for (int m = 0; m < kModels; ++m) {
    const int f = s.call("G3@FRMLOAD", {s.text(chain)});
    s.run("G3@ADD", {f, s.integer(0)});
    s.run("G3@FRMSETANI", {f, s.integer(0), s.integer(1), s.real(0)});
    s.run("G3@FRMADDANITIME", {f, s.real(0.01f)});
    // Visited and advanced, never drawn: the renders time the advance.
    s.run("G3@FRMSETENABLE", {f, s.integer(0)});
    models.push_back(f);
  }
  const int target = s.call("G3@FRMLOAD", {s.text(grid)});
  s.run("G3@ADD", {target, s.integer(0)});
  s.wait();
  s.loop(renders, [&] { s.run("G3@RENDER", {s.integer(0), s.integer(0)}); });
  s.wait();
  for (int f : models) s.run("G3@FRMSETANIEND", {f});
  s.loop(renders, [&] { s.run("G3@RENDER", {s.integer(0), s.integer(0)}); });
  s.wait();
  // One ray first: the model's faces are read on the first ray.
  s.call("G3@FRMGETRAY", {target, s.real(0), s.real(0), s.real(-5), s.real(0), s.real(0), s.real(5)});
  s.wait();
  s.loop(rays, [&] {
    s.call("G3@FRMGETRAY", {target, s.real(0.33f), s.real(0.21f), s.real(-5), s.real(0.33f), s.real(0.21f), s.real(5)});
  });
  s.wait();
  Program game(s.build());
  game.step();
  game.step();
  EngineFigures out{};
  double t = now();
  game.step();
  out.renderPlaying = (now() - t) / renders;
  t = now();
  game.step();
  out.renderStill = (now() - t) / renders;
  game.step();   // the first ray
  t = now();
  game.step();
  out.ray = (now() - t) / rays;
  game.runToEnd();
  return out;
}

// The same work in plain C++: per model, 20 timelines of keys looked up,
// lerped and slerped into matrices; per ray, 2048 triangle tests.
double plainAdvance(int renders) {
  struct Timeline {
    std::vector<double> times;
    std::vector<qrt::anim::Quat> rotations;
    std::vector<qrt::anim::Vec3> positions;
  };
  std::vector<Timeline> timelines(kBones);
  for (int b = 0; b < kBones; ++b)
    for (int k = 0; k < kKeys; ++k) {
      const double a = 0.05 * k + 0.01 * b;
      timelines[b].times.push_back(k * 160.0);
      timelines[b].rotations.push_back({0, static_cast<float>(std::sin(a)), 0, static_cast<float>(std::cos(a))});
      timelines[b].positions.push_back({0.1f, 0.01f * k, 0});
    }
  std::vector<qrt::anim::Mat4> out(kBones);
  double time = 0, sum = 0;
  const double start = now();
  for (int r = 0; r < renders; ++r) {
    for (int m = 0; m < kModels; ++m) {
      time += 0.01 / kModels;
      const double ticks = std::fmod(time * 4800, 29 * 160.0);
      for (int b = 0; b < kBones; ++b) {
        const Timeline& t = timelines[b];
        const size_t i = std::min<size_t>(std::upper_bound(t.times.begin(), t.times.end(), ticks) - t.times.begin(),
                                          t.times.size() - 1);
        const size_t h = i == 0 ? 0 : i - 1;
        const float f = i == h ? 0.0f : static_cast<float>((ticks - t.times[h]) / (t.times[i] - t.times[h]));
        qrt::anim::Pose p;
        p.rotation = qrt::anim::slerp(t.rotations[h], t.rotations[i], f);
        p.position = {t.positions[h].x + (t.positions[i].x - t.positions[h].x) * f,
                      t.positions[h].y + (t.positions[i].y - t.positions[h].y) * f, 0};
        out[b] = qrt::anim::toMatrix(p);
      }
      sum += out[kBones - 1].m[13];
    }
  }
  const double seconds = now() - start;
  g_sink = sum;
  return seconds / renders;
}

double plainRay(int rays) {
  std::vector<qrt::RayPoint> corners;
  for (int j = 0; j < kGrid; ++j)
    for (int i = 0; i < kGrid; ++i) {
      const float x = i * 0.1f - 1.6f, y = j * 0.1f - 1.6f;
      corners.insert(corners.end(), {{x, y, 0}, {x, y + 0.1f, 0}, {x + 0.1f, y, 0}, {x + 0.1f, y, 0},
                                     {x, y + 0.1f, 0}, {x + 0.1f, y + 0.1f, 0}});
    }
  int hits = 0;
  const double start = now();
  for (int r = 0; r < rays; ++r) {
    const qrt::RayPoint origin{0.33f + r * 1e-7f, 0.21f, -5}, direction{0, 0, 1};
    float nearest = 0, d = 0;
    bool hit = false;
    for (size_t t = 0; t + 2 < corners.size(); t += 3)
      if (qrt::rayMeetsTriangle(origin, direction, corners[t], corners[t + 1], corners[t + 2], d) &&
          (!hit || d < nearest)) {
        nearest = d;
        hit = true;
      }
    hits += hit;
  }
  const double seconds = now() - start;
  g_sink = hits;
  return seconds / rays;
}

}  // namespace

int main(int argc, char** argv) {
  qrt::bench::warnWhenEmulated();
  const int renders = argc > 1 ? std::atoi(argv[1]) : 200;
  const int rays = argc > 2 ? std::atoi(argv[2]) : 1000;
  const EngineFigures e = engine(renders, rays);
  const double advance = (e.renderPlaying - e.renderStill) / kModels;
  const double plainPerModel = plainAdvance(renders) / kModels;
  const double ray = plainRay(rays);
  std::printf("%d models x %d animated frames, %d renders; %d rays at %d triangles\n", kModels, kBones, renders, rays,
              kGrid * kGrid * 2);
  std::printf("%-28s %12s %12s %8s\n", "", "engine us", "plain us", "ratio");
  std::printf("%-28s %12.2f %12.2f %8.2f\n", "advance of one model", advance * 1e6, plainPerModel * 1e6,
              plainPerModel / advance);
  std::printf("%-28s %12.2f %12.2f %8.2f\n", "G3@FRMGETRAY", e.ray * 1e6, ray * 1e6, ray / e.ray);
  return 0;
}
