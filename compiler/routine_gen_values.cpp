// The value stack: where an expression's values are while native code
// computes with them.
#include <stdexcept>

#include "compiler/routine_gen.h"

namespace qrt::qrtc {

using img::Reg;

namespace {

constexpr Reg kRegs[] = {img::EAX, img::ECX, img::EDX, img::ESI, img::EDI};
constexpr Reg kByteRegs[] = {img::EAX, img::ECX, img::EDX};

uint32_t bit(Reg r) { return 1u << r; }

}  // namespace

Operand RoutineGen::pop() {
  Operand o = st_.back();
  st_.pop_back();
  return o;
}

bool RoutineGen::regUsed(Reg r) const {
  if (reserved_ & bit(r)) return true;
  for (const Operand& o : st_)
    if (o.kind == Operand::Reg && o.reg == r) return true;
  return false;
}

// A free register; when none is, the deepest entry in a register moves to a
// temporary slot and gives up its register.
Reg RoutineGen::allocReg(uint32_t avoid, bool byteReg) {
  const Reg* begin = byteReg ? kByteRegs : kRegs;
  const Reg* end = byteReg ? std::end(kByteRegs) : std::end(kRegs);
  for (const Reg* r = begin; r != end; ++r)
    if (!(avoid & bit(*r)) && !regUsed(*r)) return *r;
  for (size_t i = 0; i < st_.size(); ++i) {
    const Operand& o = st_[i];
    if (o.kind != Operand::Reg || o.pinned || (avoid & bit(o.reg))) continue;
    for (const Reg* r = begin; r != end; ++r) {
      if (*r == o.reg) {
        const Reg freed = o.reg;
        spill(i);
        return freed;
      }
    }
  }
  throw std::logic_error("no register left for an expression");
}

void RoutineGen::spill(size_t i) {
  Operand& o = st_[i];
  if (o.kind != Operand::Reg) return;
  const int t = rawTemp();
  em_.x().mov(img::slotMem(t), o.reg);
  o.kind = Operand::Slot;
  o.slot = t;
  o.pinned = false;
}

// Entry i in a register, for reading only: a variable the loop keeps in a
// register is used where it is.
Reg RoutineGen::regRead(size_t i) {
  if (st_[i].kind == Operand::Reg) return st_[i].reg;
  return toReg(i);
}

// Entry i in a register of its own, which the caller may change.
Reg RoutineGen::toReg(size_t i, uint32_t avoid) {
  if (st_[i].kind == Operand::Reg && !st_[i].pinned && !(avoid & bit(st_[i].reg))) return st_[i].reg;
  if (st_[i].kind == Operand::Fpu) throw std::logic_error("a REAL where an INT was expected");
  uint32_t keep = avoid;
  if (st_[i].kind == Operand::Reg) keep |= bit(st_[i].reg);
  const Reg r = allocReg(keep);
  Operand& o = st_[i];  // allocReg may have moved other entries, not this one's kind
  img::X86& x = em_.x();
  switch (o.kind) {
    case Operand::Imm:
      if (o.imm == 0) x.alu(img::Alu::Xor, r, r);
      else x.movImm(r, o.imm);
      break;
    case Operand::Slot: x.mov(r, img::slotMem(o.slot)); break;
    case Operand::Reg: x.mov(r, o.reg); break;
    case Operand::Fpu: break;
  }
  o.kind = Operand::Reg;
  o.reg = r;
  o.pinned = false;
  return r;
}

// Entry i in a frame slot (an op's operand); REALs must already have left
// the x87 stack (flush).
int RoutineGen::toSlot(size_t i) {
  Operand& o = st_[i];
  switch (o.kind) {
    case Operand::Slot: return o.slot;
    case Operand::Reg: spill(i); return st_[i].slot;
    case Operand::Imm: {
      const int t = rawTemp();
      em_.x().movImm(img::slotMem(t), o.imm);
      o.kind = Operand::Slot;
      o.slot = t;
      return t;
    }
    case Operand::Fpu: break;
  }
  throw std::logic_error("an x87 value left on the stack before an op");
}

// Before an op: every register and x87 value into a temporary slot (ops
// keep neither).
void RoutineGen::flush() {
  for (size_t k = st_.size(); k-- > 0;) {
    Operand& o = st_[k];
    if (o.kind == Operand::Fpu) {
      const int t = rawTemp();
      em_.x().fstp(img::slotMem(t));
      o.kind = Operand::Slot;
      o.slot = t;
    }
  }
  for (size_t k = 0; k < st_.size(); ++k)
    if (st_[k].kind == Operand::Reg) spill(k);
}

int RoutineGen::fpuDepth() const {
  int n = 0;
  for (const Operand& o : st_)
    if (o.kind == Operand::Fpu) ++n;
  return n;
}

// The x87 stack holds eight values; well before that, the values on it move
// to temporary slots (from the top, the only place they can be stored from).
void RoutineGen::fpuRoom(int need) {
  if (fpuDepth() + need <= 7) return;
  for (size_t k = st_.size(); k-- > 0;) {
    Operand& o = st_[k];
    if (o.kind != Operand::Fpu) continue;
    const int t = rawTemp();
    em_.x().fstp(img::slotMem(t));
    o.kind = Operand::Slot;
    o.slot = t;
  }
}

// A REAL operand as a 32-bit memory operand for the x87. A constant goes
// through slot 6, the engine's scratch slot, and must be used at once.
img::Mem RoutineGen::realMem(size_t i) {
  Operand& o = st_[i];
  switch (o.kind) {
    case Operand::Slot: return img::slotMem(o.slot);
    case Operand::Imm: em_.x().movImm(img::slotMem(6), o.imm); return img::slotMem(6);
    case Operand::Reg: spill(i); return img::slotMem(st_[i].slot);
    case Operand::Fpu: break;
  }
  throw std::logic_error("an x87 value has no memory operand");
}

// Entry i onto the x87 stack; it must be the topmost entry that is or will
// be there.
void RoutineGen::toFpu(size_t i) {
  if (st_[i].kind == Operand::Fpu) return;
  fpuRoom();
  loadFpu(i);
}

// toFpu without making room: the caller has.
void RoutineGen::loadFpu(size_t i) {
  if (st_[i].kind == Operand::Fpu) return;
  img::X86& x = em_.x();
  Operand& o = st_[i];
  if (o.kind == Operand::Imm && o.imm == 0) {
    x.fldz();
  } else {
    x.fld(realMem(i));
  }
  st_[i].kind = Operand::Fpu;
}

}  // namespace qrt::qrtc
