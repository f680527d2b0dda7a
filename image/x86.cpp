#include "image/x86.h"

#include <bit>
#include <stdexcept>

#include "image/image_builder.h"

namespace qrt::img {

uint32_t realBits(float value) { return std::bit_cast<uint32_t>(value); }

namespace {
bool fitsInt8(int32_t v) { return v >= -128 && v <= 127; }
}  // namespace

void X86::emit(uint8_t b) {
  r_.code_.push_back(b);
  exits_ = false;
}

void X86::emit32(uint32_t v) {
  for (int i = 0; i < 4; ++i) emit(static_cast<uint8_t>(v >> (8 * i)));
}

void X86::touch(int slot) { r_.touch(slot); }

// opcode, ModRM (and SIB) for [base+disp], shortest displacement.
void X86::memOperand(uint8_t opcode, uint8_t reg, Reg base, int32_t disp) {
  emit(opcode);
  uint8_t mod = (disp == 0 && base != EBP) ? 0 : fitsInt8(disp) ? 1 : 2;
  emit(static_cast<uint8_t>(mod << 6 | (reg & 7) << 3 | base));
  if (base == ESP) emit(0x24);
  if (mod == 1) emit(static_cast<uint8_t>(disp));
  if (mod == 2) emit32(static_cast<uint32_t>(disp));
}

void X86::slotOperand(uint8_t opcode, uint8_t reg, int slot) {
  touch(slot);
  memOperand(opcode, reg, EBX, 4 * slot);
}

void X86::aluRegReg(uint8_t opcode, Reg dst, Reg src) {
  emit(opcode);
  emit(static_cast<uint8_t>(0xC0 | src << 3 | dst));
}

void X86::aluImm(uint8_t ext, Reg dst, int32_t value) {
  if (fitsInt8(value)) {
    emit(0x83);
    emit(static_cast<uint8_t>(0xC0 | ext << 3 | dst));
    emit(static_cast<uint8_t>(value));
  } else {
    emit(0x81);
    emit(static_cast<uint8_t>(0xC0 | ext << 3 | dst));
    emit32(static_cast<uint32_t>(value));
  }
}

void X86::next(Label op) {
  emit(0xC7);
  emit(0x03);  // mov dword [ebx], imm32
  r_.fixupAbs(op);
  emit(0xC3);
  exits_ = true;
}

void X86::next() {
  if (after_.id < 0) after_ = r_.label();
  next(after_);
}

void X86::countDown(int slot, Label loopOp) {
  Label done = r_.label();
  load(EAX, slot);
  dec(EAX);
  store(slot, EAX);
  jcc(Cond::E, done);
  next(loopOp);
  bind(done);
  next();
}

void X86::load(Reg dst, int slot) { slotOperand(0x8B, dst, slot); }
void X86::store(int slot, Reg src) { slotOperand(0x89, src, slot); }
void X86::storeImm(int slot, uint32_t value) {
  slotOperand(0xC7, 0, slot);
  emit32(value);
}
void X86::addSlot(Reg dst, int slot) { slotOperand(0x03, dst, slot); }
void X86::subSlot(Reg dst, int slot) { slotOperand(0x2B, dst, slot); }
void X86::cmpSlot(Reg dst, int slot) { slotOperand(0x3B, dst, slot); }

void X86::loadStatic(Reg dst, int staticSlot) {
  r_.touchStatic(staticSlot);
  memOperand(0x8B, dst, EBX, 12);
  memOperand(0x8B, dst, dst, 4 * staticSlot);
}

void X86::storeStatic(int staticSlot, Reg src, Reg tmp) {
  r_.touchStatic(staticSlot);
  memOperand(0x8B, tmp, EBX, 12);
  memOperand(0x89, src, tmp, 4 * staticSlot);
}

void X86::storeStaticImm(int staticSlot, uint32_t value, Reg tmp) {
  r_.touchStatic(staticSlot);
  memOperand(0x8B, tmp, EBX, 12);
  memOperand(0xC7, 0, tmp, 4 * staticSlot);
  emit32(value);
}

void X86::loadMem(Reg dst, Reg base, int32_t disp) { memOperand(0x8B, dst, base, disp); }
void X86::storeMem(Reg base, int32_t disp, Reg src) { memOperand(0x89, src, base, disp); }

void X86::mov(Reg dst, Reg src) { aluRegReg(0x89, dst, src); }
void X86::movImm(Reg dst, uint32_t value) {
  emit(static_cast<uint8_t>(0xB8 + dst));
  emit32(value);
}
void X86::add(Reg dst, Reg src) { aluRegReg(0x01, dst, src); }
void X86::sub(Reg dst, Reg src) { aluRegReg(0x29, dst, src); }
void X86::cmp(Reg a, Reg b) { aluRegReg(0x39, a, b); }
void X86::and_(Reg dst, Reg src) { aluRegReg(0x21, dst, src); }
void X86::or_(Reg dst, Reg src) { aluRegReg(0x09, dst, src); }
void X86::xor_(Reg dst, Reg src) { aluRegReg(0x31, dst, src); }
void X86::imul(Reg dst, Reg src) {
  emit(0x0F);
  emit(0xAF);
  emit(static_cast<uint8_t>(0xC0 | dst << 3 | src));
}
void X86::addImm(Reg dst, int32_t value) { aluImm(0, dst, value); }
void X86::subImm(Reg dst, int32_t value) { aluImm(5, dst, value); }
void X86::cmpImm(Reg a, int32_t value) { aluImm(7, a, value); }
void X86::imulImm(Reg dst, int32_t value) {
  emit(fitsInt8(value) ? 0x6B : 0x69);
  emit(static_cast<uint8_t>(0xC0 | dst << 3 | dst));
  if (fitsInt8(value)) emit(static_cast<uint8_t>(value));
  else emit32(static_cast<uint32_t>(value));
}
void X86::inc(Reg r) { emit(static_cast<uint8_t>(0x40 + r)); }
void X86::dec(Reg r) { emit(static_cast<uint8_t>(0x48 + r)); }
void X86::neg(Reg r) {
  emit(0xF7);
  emit(static_cast<uint8_t>(0xD8 + r));
}
void X86::cdq() { emit(0x99); }
void X86::idiv(Reg divisor) {
  emit(0xF7);
  emit(static_cast<uint8_t>(0xF8 + divisor));
}
void X86::push(Reg r) { emit(static_cast<uint8_t>(0x50 + r)); }
void X86::pop(Reg r) { emit(static_cast<uint8_t>(0x58 + r)); }

void X86::setcc(Cond c, Reg byteReg) {
  if (byteReg > EBX) throw std::logic_error("setcc needs AL, CL, DL or BL");
  emit(0x0F);
  emit(static_cast<uint8_t>(0x90 + static_cast<uint8_t>(c)));
  emit(static_cast<uint8_t>(0xC0 | byteReg));
}

void X86::truth(Cond c, Reg dst) {
  setcc(c, dst);
  emit(0x0F);
  emit(0xB6);  // movzx dst, dst8
  emit(static_cast<uint8_t>(0xC0 | dst << 3 | dst));
  neg(dst);
}

Label X86::label() { return r_.label(); }

void X86::bind(Label codeLabel) { r_.bindAt(codeLabel, true); }

Label X86::here() {
  Label l = r_.label();
  bind(l);
  return l;
}

void X86::jmp(Label code) {
  emit(0xE9);
  r_.fixupRel(code);
  exits_ = true;
}

void X86::jcc(Cond c, Label code) {
  emit(0x0F);
  emit(static_cast<uint8_t>(0x80 + static_cast<uint8_t>(c)));
  r_.fixupRel(code);
  exits_ = false;
}

void X86::ret() {
  emit(0xC3);
  exits_ = true;
}

void X86::fld(int slot) { slotOperand(0xD9, 0, slot); }
void X86::fild(int slot) { slotOperand(0xDB, 0, slot); }
void X86::fstp(int slot) { slotOperand(0xD9, 3, slot); }
void X86::fistp(int slot) { slotOperand(0xDB, 3, slot); }
void X86::fadd(int slot) { slotOperand(0xD8, 0, slot); }
void X86::fmul(int slot) { slotOperand(0xD8, 1, slot); }
void X86::fsub(int slot) { slotOperand(0xD8, 4, slot); }
void X86::fdiv(int slot) { slotOperand(0xD8, 6, slot); }
void X86::fcomip(int i) {
  emit(0xDF);
  emit(static_cast<uint8_t>(0xF0 + i));
}
void X86::fstpSt(int i) {
  emit(0xDD);
  emit(static_cast<uint8_t>(0xD8 + i));
}

// ModRM, SIB and displacement of a general memory operand.
void X86::modrm(const Mem& m, uint8_t reg) {
  if (m.index == ESP || m.base == NOREG || m.index > NOREG)
    throw std::logic_error("memory operand without a base, or with esp as its index");
  const bool sib = m.index != NOREG || m.base == ESP;
  const uint8_t mod = (m.disp == 0 && m.base != EBP) ? 0 : fitsInt8(m.disp) ? 1 : 2;
  const uint8_t rm = sib ? 4 : m.base;
  emit(static_cast<uint8_t>(mod << 6 | (reg & 7) << 3 | rm));
  if (sib) {
    const uint8_t ss = m.scale == 8 ? 3 : m.scale == 4 ? 2 : m.scale == 2 ? 1 : 0;
    const uint8_t index = m.index == NOREG ? 4 : m.index;
    emit(static_cast<uint8_t>(ss << 6 | index << 3 | m.base));
  }
  if (mod == 1) emit(static_cast<uint8_t>(m.disp));
  if (mod == 2) emit32(static_cast<uint32_t>(m.disp));
}

// Frame slots named directly grow the frame the builder writes.
void X86::memOperand(uint8_t opcode, uint8_t reg, const Mem& m) {
  touchMem(m);
  emit(opcode);
  modrm(m, reg);
}

void X86::touchMem(const Mem& m) {
  if (m.base == EBX && m.index == NOREG && m.disp >= 0 && m.disp % 4 == 0) touch(m.disp / 4);
}

void X86::mov(Reg dst, const Mem& m) { memOperand(0x8B, dst, m); }
void X86::mov(const Mem& m, Reg src) { memOperand(0x89, src, m); }
void X86::movImm(const Mem& m, uint32_t value) {
  memOperand(0xC7, 0, m);
  emit32(value);
}
void X86::alu(Alu op, Reg dst, Reg src) { aluRegReg(static_cast<uint8_t>(static_cast<uint8_t>(op) << 3 | 0x01), dst, src); }
void X86::alu(Alu op, Reg dst, const Mem& src) {
  memOperand(static_cast<uint8_t>(static_cast<uint8_t>(op) << 3 | 0x03), dst, src);
}
void X86::alu(Alu op, const Mem& dst, Reg src) {
  memOperand(static_cast<uint8_t>(static_cast<uint8_t>(op) << 3 | 0x01), src, dst);
}
void X86::aluImm(Alu op, Reg dst, int32_t value) { aluImm(static_cast<uint8_t>(op), dst, value); }
void X86::aluImm(Alu op, const Mem& dst, int32_t value) {
  memOperand(fitsInt8(value) ? 0x83 : 0x81, static_cast<uint8_t>(op), dst);
  if (fitsInt8(value)) emit(static_cast<uint8_t>(value));
  else emit32(static_cast<uint32_t>(value));
}
void X86::imul(Reg dst, const Mem& src) {
  touchMem(src);
  emit(0x0F);
  emit(0xAF);
  modrm(src, dst);
}
void X86::imulImm(Reg dst, Reg src, int32_t value) {
  emit(fitsInt8(value) ? 0x6B : 0x69);
  emit(static_cast<uint8_t>(0xC0 | dst << 3 | src));
  if (fitsInt8(value)) emit(static_cast<uint8_t>(value));
  else emit32(static_cast<uint32_t>(value));
}
void X86::lea(Reg dst, const Mem& m) {
  emit(0x8D);
  modrm(m, dst);
}
void X86::shift(Shift op, Reg r, uint8_t count) {
  emit(0xC1);
  emit(static_cast<uint8_t>(0xC0 | static_cast<uint8_t>(op) << 3 | r));
  emit(count & 31);
}
void X86::not_(Reg r) {
  emit(0xF7);
  emit(static_cast<uint8_t>(0xD0 + r));
}
void X86::test(Reg a, Reg b) { aluRegReg(0x85, a, b); }
void X86::idiv(const Mem& divisor) { memOperand(0xF7, 7, divisor); }
void X86::movzx8(Reg dst, Reg src8) {
  if (src8 > EBX) throw std::logic_error("movzx8 reads AL, CL, DL or BL");
  emit(0x0F);
  emit(0xB6);
  emit(static_cast<uint8_t>(0xC0 | dst << 3 | src8));
}
void X86::ud2() {
  emit(0x0F);
  emit(0x0B);
  exits_ = true;
}
void X86::fld(const Mem& m) { memOperand(0xD9, 0, m); }
void X86::fild(const Mem& m) { memOperand(0xDB, 0, m); }
void X86::fst(const Mem& m) { memOperand(0xD9, 2, m); }
void X86::fstp(const Mem& m) { memOperand(0xD9, 3, m); }
void X86::fistp(const Mem& m) { memOperand(0xDB, 3, m); }
void X86::fop(FOp op, const Mem& m) { memOperand(0xD8, static_cast<uint8_t>(op), m); }
void X86::fopPop(FOp op, int i) {
  // 0xDE's register forms name the other way round from 0xD8's: /4 is
  // st(i) = st0 - st(i) (fsubrp), /5 st(i) = st(i) - st0 (fsubp).
  uint8_t ext = static_cast<uint8_t>(op);
  if (op == FOp::Sub) ext = 5;
  else if (op == FOp::SubR) ext = 4;
  else if (op == FOp::Div) ext = 7;
  else if (op == FOp::DivR) ext = 6;
  emit(0xDE);
  emit(static_cast<uint8_t>(0xC0 | ext << 3 | (i & 7)));
}
void X86::fldSt(int i) {
  emit(0xD9);
  emit(static_cast<uint8_t>(0xC0 + (i & 7)));
}
void X86::fxch(int i) {
  emit(0xD9);
  emit(static_cast<uint8_t>(0xC8 + (i & 7)));
}
void X86::fchs() {
  emit(0xD9);
  emit(0xE0);
}
void X86::fldz() {
  emit(0xD9);
  emit(0xEE);
}
void X86::fnstcw(const Mem& m) { memOperand(0xD9, 7, m); }
void X86::fldcw(const Mem& m) { memOperand(0xD9, 5, m); }

void X86::bytes(std::initializer_list<uint8_t> b) {
  for (uint8_t v : b) emit(v);
  exits_ = true;
}
void X86::u8(uint8_t b) {
  emit(b);
  exits_ = true;
}
void X86::u32(uint32_t v) {
  emit32(v);
  exits_ = true;
}

}  // namespace qrt::img
