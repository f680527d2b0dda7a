#include "tools/mkdemo/demo_scene.h"

#include <cstdio>
#include <vector>

namespace qrt::demo {

using namespace img;

namespace {

// Set-up runs once: each literal gets a native block of its own.
struct Literals {
  Routine& m;
  int i(int32_t v) {
    const int s = m.slot();
    m.native([&](X86& x) {
      x.storeImm(s, static_cast<uint32_t>(v));
      x.next();
    });
    return s;
  }
  int f(float v) { return i(static_cast<int32_t>(realBits(v))); }
};

int make(Routine& m, const char* command, const std::vector<int>& args) {
  const int frame = m.slot();
  m.command(command, frame, args);
  return frame;
}

void place(Routine& m, Literals& k, int frame, float x, float y, float z) {
  m.command("G3@FRMSETPOS", 0, {frame, k.f(x), k.f(y), k.f(z)});
  m.command("G3@ADD", 0, {frame, k.i(0)});
}

void colour(Routine& m, Literals& k, int frame, float r, float g, float b, float a = 1.0f) {
  m.command("G3@FRMSETMCOLOR", 0, {frame, k.f(r), k.f(g), k.f(b), k.f(a)});
}

void turn(Routine& m, Literals& k, int frame, float x, float y, float z) {
  m.command("G3@FRMSETROTAUTO", 0, {frame, k.f(x), k.f(y), k.f(z)});
}

}  // namespace

Scene declareScene(Routine& m, int modelName) {
  Literals k{m};
  Scene sc{};
  const int root = k.i(0);

  // A white directional pair: the weaker opposite light keeps the backs
  // from going black.
  const int light = m.slot();
  m.command("G3@LIGHTMAKE", light, {k.i(4), k.f(0.9f), k.f(0.9f), k.f(0.85f)});
  m.command("G3@LIGHTSETDIR", 0, {light, k.f(0.5f), k.f(-0.7f), k.f(1.0f)});
  m.command("G3@ADD", 0, {light, root});

  // Fog into the background's blue: far frames fade into it.
  m.command("G3@FRMSETFOGMODE", 0, {root, k.i(3)});
  m.command("G3@FRMSETFOGCOLOR", 0, {root, k.f(14 / 255.0f), k.f(18 / 255.0f), k.f(44 / 255.0f), k.f(1)});
  m.command("G3@FRMSETFOGSTART", 0, {root, k.f(8)});
  m.command("G3@FRMSETFOGEND", 0, {root, k.f(26)});
  // Straight along +z, so that the cursor's ray is simple to make.
  m.command("G3@CAMERASETEYE", 0, {k.f(0), k.f(1), k.f(-9)});
  m.command("G3@CAMERASETLOOK", 0, {k.f(0), k.f(1), k.f(0)});

  const int torus = make(m, "G3@FRMMAKETORUS", {k.f(0.35f), k.f(0.9f), k.i(16), k.i(32)});
  colour(m, k, torus, 1.0f, 0.55f, 0.1f);
  turn(m, k, torus, 1.2f, 2.0f, 0.0f);
  place(m, k, torus, -4.2f, 1.6f, 5.0f);

  const int sphere = make(m, "G3@FRMMAKESPHERE", {k.f(0.9f), k.i(24), k.i(16)});
  colour(m, k, sphere, 0.2f, 0.8f, 0.9f);
  m.command("G3@FRMSETLIGHTS", 0, {sphere, k.i(1)});
  place(m, k, sphere, 4.2f, 1.6f, 5.0f);

  const int teapot = make(m, "G3@FRMMAKETEAPOT", {});
  colour(m, k, teapot, 0.95f, 0.85f, 0.2f);
  turn(m, k, teapot, 0.0f, 1.5f, 0.0f);
  m.command("G3@FRMSETSCALE", 0, {teapot, k.f(2.2f), k.f(2.2f), k.f(2.2f)});
  place(m, k, teapot, 0.0f, 0.0f, 16.0f);

  const int model = make(m, "G3@FRMLOAD", {modelName});
  place(m, k, model, -4.0f, -1.8f, 6.0f);
  m.command("G3@FRMSETANI", 0, {model, k.i(0), k.i(1), k.f(0)});
  sc.house = model;

  const int text = make(m, "G3@FRMMAKETEXT", {m.constant("3D"), k.f(0.01f), k.f(0.4f)});
  colour(m, k, text, 0.75f, 0.4f, 1.0f);
  turn(m, k, text, 0.0f, 1.0f, 0.0f);
  m.command("G3@FRMSETSCALE", 0, {text, k.f(1.3f), k.f(1.3f), k.f(1.3f)});
  place(m, k, text, 3.3f, -2.3f, 6.0f);

  // A half-transparent billboard: source alpha over what is behind.
  const int board = make(m, "G3@FRMMAKEBOARD", {k.i(120), k.i(40)});
  colour(m, k, board, 0.3f, 0.9f, 0.5f, 0.45f);
  m.command("G3@FRMSETTEXENABLE", 0, {board, k.i(0), k.i(0)});
  m.command("G3@FRMSETBLEND", 0, {board, k.i(4), k.i(5)});
  m.command("G3@FRMSETBILL", 0, {board, k.i(1)});
  place(m, k, board, 0.0f, 3.4f, 8.0f);

  for (int* slot : {&sc.frames, &sc.tinted, &sc.rightWas, &sc.rightNow, &sc.hit, &sc.set}) *slot = k.i(0);
  for (int& r : sc.ray) r = m.slot();
  sc.zero = k.i(0);
  sc.one = k.i(1);
  sc.fade = k.f(0.6f);
  sc.red[0] = k.f(1.0f);
  sc.red[1] = k.f(0.25f);
  sc.red[2] = k.f(0.25f);
  sc.inherit = k.f(-1.0f);
  sc.nearX = k.f(320.0f);
  sc.halfPixel = k.f(240.0f);
  // tan(22.5 degrees) / 240: a pixel's width one unit in front of the eye.
  sc.k = k.f(0.41421356f / 240.0f);
  // The ray starts at the eye.
  m.native([&](X86& x) {
    x.storeImm(sc.ray[0], realBits(0.0f));
    x.storeImm(sc.ray[1], realBits(1.0f));
    x.storeImm(sc.ray[2], realBits(-9.0f));
    x.storeImm(sc.ray[5], realBits(-8.0f));
    x.next();
  });
  return sc;
}

void updateScene(Routine& m, const Scene& sc, int mouseX, int mouseY) {
  // Every 150 frames the house changes to its other set, fading over the
  // change.
  Label change = m.label(), after = m.label();
  m.native([&](X86& x) {
    x.load(EAX, sc.frames);
    x.inc(EAX);
    x.store(sc.frames, EAX);
    x.cdq();
    x.movImm(ECX, 150);
    x.idiv(ECX);
    x.cmpImm(EDX, 0);
    Label keep = x.label();
    x.jcc(Cond::NE, keep);
    x.xor_(EAX, EAX);
    x.load(ECX, sc.set);
    x.cmpImm(ECX, 0);
    x.setcc(Cond::E, EAX);
    x.store(sc.set, EAX);
    x.next(change);
    x.bind(keep);
    x.next(after);
  });
  m.bind(change);
  m.command("G3@FRMSETANICHG", 0, {sc.house, sc.set, sc.one, sc.fade});
  m.bind(after);

  // A right click (down now, up before) picks along the cursor's ray.
  m.command("I@MSBTN", sc.rightNow, {sc.one});
  Label pick = m.label(), done = m.label();
  m.native([&](X86& x) {
    x.load(EAX, sc.rightNow);
    x.load(ECX, sc.rightWas);
    x.store(sc.rightWas, EAX);
    Label no = x.label();
    x.cmpImm(EAX, 0);
    x.jcc(Cond::E, no);
    x.cmpImm(ECX, 0);
    x.jcc(Cond::NE, no);
    // x = (mouse x - 320) * k, y = 1 - (mouse y - 240) * k, one unit ahead.
    x.fild(mouseX);
    x.fsub(sc.nearX);
    x.fmul(sc.k);
    x.fstp(sc.ray[3]);
    x.fild(mouseY);
    x.fsub(sc.halfPixel);
    x.fmul(sc.k);
    x.fstp(sc.ray[4]);
    x.fld(sc.ray[1]);
    x.fsub(sc.ray[4]);
    x.fstp(sc.ray[4]);
    x.next(pick);
    x.bind(no);
    x.next(done);
  });
  m.bind(pick);
  m.command("G3@FRMGETRAY", sc.hit, {sc.house, sc.ray[0], sc.ray[1], sc.ray[2], sc.ray[3], sc.ray[4], sc.ray[5]});
  Label tintOn = m.label(), tintOff = m.label();
  m.native([&](X86& x) {
    x.load(EAX, sc.hit);
    x.cmpImm(EAX, 0);
    Label missed = x.label(), wasOn = x.label();
    x.jcc(Cond::E, missed);
    x.load(EAX, sc.tinted);
    x.cmpImm(EAX, 0);
    x.jcc(Cond::NE, wasOn);
    x.storeImm(sc.tinted, 1);
    x.next(tintOn);
    x.bind(wasOn);
    x.storeImm(sc.tinted, 0);
    x.next(tintOff);
    x.bind(missed);
    x.next(done);
  });
  m.bind(tintOn);
  m.command("G3@FRMSETAMBIENT", 0, {sc.house, sc.red[0], sc.red[1], sc.red[2]});
  m.native([&](X86& x) { x.next(done); });
  m.bind(tintOff);
  m.command("G3@FRMSETAMBIENT", 0, {sc.house, sc.inherit, sc.inherit, sc.inherit});
  m.bind(done);
}

void renderScene(Routine& m) {
  const int zero = m.slot();
  m.native([&](X86& x) {
    x.storeImm(zero, 0);
    x.next();
  });
  m.command("G3@RENDER", 0, {zero, zero});
}

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

}  // namespace qrt::demo
