#include "tools/mkdemo/demo_input.h"

namespace qrt::demo {

namespace {

using namespace img;

// DirectInput key codes of the arrow keys.
constexpr uint32_t kDikLeft = 0xCB, kDikRight = 0xCD, kDikUp = 0xC8, kDikDown = 0xD0;

// reg <- clamp(reg, 0, high)
void clamp(X86& x, Reg r, int32_t high) {
  Label aboveZero = x.label(), belowHigh = x.label();
  x.cmpImm(r, 0);
  x.jcc(Cond::GE, aboveZero);
  x.movImm(r, 0);
  x.bind(aboveZero);
  x.cmpImm(r, high);
  x.jcc(Cond::LE, belowHigh);
  x.movImm(r, static_cast<uint32_t>(high));
  x.bind(belowHigh);
}

}  // namespace

Player declarePlayer(Routine& m, int startX, int startY) {
  Player p{};
  p.x = m.slot();
  p.y = m.slot();
  for (int& k : p.keys) k = m.slot();
  for (int& h : p.held) h = m.slot();
  p.mouseMode = m.slot();
  p.axisX = m.slot();
  p.axisY = m.slot();
  p.leftButton = m.slot();
  p.mouseX = m.slot();
  p.mouseY = m.slot();
  p.pressed = m.slot();
  m.native([&](X86& x) {
    x.storeImm(p.x, static_cast<uint32_t>(startX));
    x.storeImm(p.y, static_cast<uint32_t>(startY));
    const uint32_t codes[4] = {kDikLeft, kDikRight, kDikUp, kDikDown};
    for (int i = 0; i < 4; ++i) x.storeImm(p.keys[i], codes[i]);
    x.storeImm(p.mouseMode, 2);
    x.storeImm(p.axisX, 0);
    x.storeImm(p.axisY, 1);
    x.storeImm(p.leftButton, 0);
    x.next();
  });
  return p;
}

void movePlayer(Routine& m, const Player& p, const Playfield& field) {
  m.command("I@KEYGET", 0);
  for (int i = 0; i < 4; ++i) m.command("I@KEYBTN", p.held[i], {p.keys[i]});
  m.command("I@MSGET", 0, {p.mouseMode});
  m.command("I@MSPOS", p.mouseX, {p.axisX});
  m.command("I@MSPOS", p.mouseY, {p.axisY});
  m.command("I@MSBTN", p.pressed, {p.leftButton});

  const int half = field.spriteSize / 2;
  const int maxX = field.width - field.spriteSize, maxY = field.height - field.spriteSize;
  m.native([&](X86& x) {
    Label keys = x.label(), done = x.label();
    // Left button held: the sprite's centre goes to the cursor.
    x.load(EAX, p.pressed);
    x.cmpImm(EAX, 0);
    x.jcc(Cond::E, keys);
    x.load(EAX, p.mouseX);
    x.subImm(EAX, half);
    x.load(ECX, p.mouseY);
    x.subImm(ECX, half);
    x.jmp(done);

    // Arrow keys: (right - left) and (down - up) steps.
    x.bind(keys);
    x.load(EAX, p.held[1]);
    x.subSlot(EAX, p.held[0]);
    x.imulImm(EAX, field.speed);
    x.addSlot(EAX, p.x);
    x.load(ECX, p.held[3]);
    x.subSlot(ECX, p.held[2]);
    x.imulImm(ECX, field.speed);
    x.addSlot(ECX, p.y);

    x.bind(done);
    clamp(x, EAX, maxX);
    clamp(x, ECX, maxY);
    x.store(p.x, EAX);
    x.store(p.y, ECX);
    x.next();
  });
}

}  // namespace qrt::demo
