#include "tools/imagetools/x86_decode.h"

#include <cstdio>

namespace qrt::imgtools {

namespace {

enum class Form : uint8_t {
  Plain,       // ret, cdq
  OpReg,       // register in the opcode's low bits: push, pop, inc, dec
  OpRegImm32,  // mov r32, imm32
  RegRm,       // r32, r/m32
  RmReg,       // r/m32, r32
  Rm,          // r/m32 alone; the ModRM reg field extends the opcode
  RmImm8,      // r/m32, sign-extended imm8
  RmImm32,     // r/m32, imm32
  RegRmImm8,   // imul r32, r/m32, imm8
  RegRmImm32,
  Rm8,         // setcc r/m8
  RegRm8,      // movzx r32, r/m8
  Rel32,       // jmp, jcc
  StI,         // x87 with st(i) in the ModRM rm field
  Fixed,       // x87 register form with no operand (fchs): the ModRM byte is part of the opcode
};

enum class Mod : uint8_t { Any, Memory, Register };

struct Entry {
  bool twoByte;     // after 0F
  uint8_t opcode;
  uint8_t span;     // opcodes covered: 8 for +r forms, 16 for condition codes
  int8_t ext;       // required ModRM reg field, -1 when it names a register
  Mod mod;
  int8_t rm;        // required ModRM rm field (register forms), -1 for any
  Form form;
  bool writes;      // writes its r/m operand (a write of [ebx] sets the next op)
  const char* mnemonic;  // a '*' stands for the condition code
};

// clang-format off
constexpr Entry kTable[] = {
    {false, 0x8B, 1, -1, Mod::Any, -1, Form::RegRm, false, "mov"},
    {false, 0x89, 1, -1, Mod::Any, -1, Form::RmReg, true, "mov"},
    {false, 0xC7, 1, 0, Mod::Any, -1, Form::RmImm32, true, "mov"},
    {false, 0xB8, 8, -1, Mod::Any, -1, Form::OpRegImm32, false, "mov"},
    {false, 0x03, 1, -1, Mod::Any, -1, Form::RegRm, false, "add"},
    {false, 0x2B, 1, -1, Mod::Any, -1, Form::RegRm, false, "sub"},
    {false, 0x3B, 1, -1, Mod::Any, -1, Form::RegRm, false, "cmp"},
    {false, 0x01, 1, -1, Mod::Any, -1, Form::RmReg, true, "add"},
    {false, 0x29, 1, -1, Mod::Any, -1, Form::RmReg, true, "sub"},
    {false, 0x39, 1, -1, Mod::Any, -1, Form::RmReg, false, "cmp"},
    {false, 0x21, 1, -1, Mod::Any, -1, Form::RmReg, true, "and"},
    {false, 0x09, 1, -1, Mod::Any, -1, Form::RmReg, true, "or"},
    {false, 0x31, 1, -1, Mod::Any, -1, Form::RmReg, true, "xor"},
    {false, 0x83, 1, 0, Mod::Any, -1, Form::RmImm8, true, "add"},
    {false, 0x83, 1, 5, Mod::Any, -1, Form::RmImm8, true, "sub"},
    {false, 0x83, 1, 7, Mod::Any, -1, Form::RmImm8, false, "cmp"},
    {false, 0x81, 1, 0, Mod::Any, -1, Form::RmImm32, true, "add"},
    {false, 0x81, 1, 5, Mod::Any, -1, Form::RmImm32, true, "sub"},
    {false, 0x81, 1, 7, Mod::Any, -1, Form::RmImm32, false, "cmp"},
    {true,  0xAF, 1, -1, Mod::Any, -1, Form::RegRm, false, "imul"},
    {false, 0x6B, 1, -1, Mod::Any, -1, Form::RegRmImm8, false, "imul"},
    {false, 0x69, 1, -1, Mod::Any, -1, Form::RegRmImm32, false, "imul"},
    {false, 0x40, 8, -1, Mod::Any, -1, Form::OpReg, false, "inc"},
    {false, 0x48, 8, -1, Mod::Any, -1, Form::OpReg, false, "dec"},
    {false, 0x50, 8, -1, Mod::Any, -1, Form::OpReg, false, "push"},
    {false, 0x58, 8, -1, Mod::Any, -1, Form::OpReg, false, "pop"},
    {false, 0xF7, 1, 3, Mod::Any, -1, Form::Rm, true, "neg"},
    {false, 0xF7, 1, 7, Mod::Any, -1, Form::Rm, false, "idiv"},
    {false, 0x99, 1, -1, Mod::Any, -1, Form::Plain, false, "cdq"},
    {false, 0xC3, 1, -1, Mod::Any, -1, Form::Plain, false, "ret"},
    {true,  0x90, 16, -1, Mod::Any, -1, Form::Rm8, true, "set*"},
    {true,  0xB6, 1, -1, Mod::Any, -1, Form::RegRm8, false, "movzx"},
    {false, 0xE9, 1, -1, Mod::Any, -1, Form::Rel32, false, "jmp"},
    {true,  0x80, 16, -1, Mod::Any, -1, Form::Rel32, false, "j*"},
    {false, 0xD9, 1, 0, Mod::Memory, -1, Form::Rm, false, "fld"},
    {false, 0xD9, 1, 3, Mod::Memory, -1, Form::Rm, true, "fstp"},
    {false, 0xDB, 1, 0, Mod::Memory, -1, Form::Rm, false, "fild"},
    {false, 0xDB, 1, 3, Mod::Memory, -1, Form::Rm, true, "fistp"},
    {false, 0xD8, 1, 0, Mod::Memory, -1, Form::Rm, false, "fadd"},
    {false, 0xD8, 1, 1, Mod::Memory, -1, Form::Rm, false, "fmul"},
    {false, 0xD8, 1, 4, Mod::Memory, -1, Form::Rm, false, "fsub"},
    {false, 0xD8, 1, 6, Mod::Memory, -1, Form::Rm, false, "fdiv"},
    {false, 0xDF, 1, 6, Mod::Register, -1, Form::StI, false, "fcomip"},
    {false, 0xDD, 1, 3, Mod::Register, -1, Form::StI, false, "fstp"},
    // What the compiler's code generator adds.
    {false, 0x0B, 1, -1, Mod::Any, -1, Form::RegRm, false, "or"},
    {false, 0x23, 1, -1, Mod::Any, -1, Form::RegRm, false, "and"},
    {false, 0x33, 1, -1, Mod::Any, -1, Form::RegRm, false, "xor"},
    {false, 0x83, 1, 1, Mod::Any, -1, Form::RmImm8, true, "or"},
    {false, 0x83, 1, 4, Mod::Any, -1, Form::RmImm8, true, "and"},
    {false, 0x83, 1, 6, Mod::Any, -1, Form::RmImm8, true, "xor"},
    {false, 0x81, 1, 1, Mod::Any, -1, Form::RmImm32, true, "or"},
    {false, 0x81, 1, 4, Mod::Any, -1, Form::RmImm32, true, "and"},
    {false, 0x81, 1, 6, Mod::Any, -1, Form::RmImm32, true, "xor"},
    {false, 0x8D, 1, -1, Mod::Memory, -1, Form::RegRm, false, "lea"},
    {false, 0xC1, 1, 4, Mod::Register, -1, Form::RmImm8, false, "shl"},
    {false, 0xC1, 1, 5, Mod::Register, -1, Form::RmImm8, false, "shr"},
    {false, 0xC1, 1, 7, Mod::Register, -1, Form::RmImm8, false, "sar"},
    {false, 0xF7, 1, 2, Mod::Register, -1, Form::Rm, false, "not"},
    {false, 0x85, 1, -1, Mod::Any, -1, Form::RmReg, false, "test"},
    {true,  0x0B, 1, -1, Mod::Any, -1, Form::Plain, false, "ud2"},
    {false, 0xD9, 1, 2, Mod::Memory, -1, Form::Rm, true, "fst"},
    {false, 0xD9, 1, 5, Mod::Memory, -1, Form::Rm, false, "fldcw"},
    {false, 0xD9, 1, 7, Mod::Memory, -1, Form::Rm, true, "fnstcw"},
    {false, 0xD8, 1, 5, Mod::Memory, -1, Form::Rm, false, "fsubr"},
    {false, 0xD8, 1, 7, Mod::Memory, -1, Form::Rm, false, "fdivr"},
    {false, 0xD9, 1, 0, Mod::Register, -1, Form::StI, false, "fld"},
    {false, 0xD9, 1, 1, Mod::Register, -1, Form::StI, false, "fxch"},
    {false, 0xD9, 1, 4, Mod::Register, 0, Form::Fixed, false, "fchs"},
    {false, 0xD9, 1, 5, Mod::Register, 6, Form::Fixed, false, "fldz"},
    {false, 0xDE, 1, 0, Mod::Register, -1, Form::StI, false, "faddp"},
    {false, 0xDE, 1, 1, Mod::Register, -1, Form::StI, false, "fmulp"},
    {false, 0xDE, 1, 4, Mod::Register, -1, Form::StI, false, "fsubrp"},
    {false, 0xDE, 1, 5, Mod::Register, -1, Form::StI, false, "fsubp"},
    {false, 0xDE, 1, 6, Mod::Register, -1, Form::StI, false, "fdivrp"},
    {false, 0xDE, 1, 7, Mod::Register, -1, Form::StI, false, "fdivp"},
};
// clang-format on

constexpr const char* kReg32[] = {"eax", "ecx", "edx", "ebx", "esp", "ebp", "esi", "edi"};
constexpr const char* kReg8[] = {"al", "cl", "dl", "bl", "ah", "ch", "dh", "bh"};
constexpr const char* kCond[] = {"o", "no", "b", "ae", "e", "ne", "be", "a",
                                 "s", "ns", "p", "np", "l", "ge", "le", "g"};

bool needsModRm(Form f) {
  return f != Form::Plain && f != Form::OpReg && f != Form::OpRegImm32 && f != Form::Rel32;
}

// ud2 has a second opcode byte but no ModRM byte.
bool isUd2(bool twoByte, uint8_t opcode) { return twoByte && opcode == 0x0B; }

std::string number(int64_t v) {
  char t[24];
  if (v > -65536 && v < 65536) std::snprintf(t, sizeof t, "%lld", static_cast<long long>(v));
  else std::snprintf(t, sizeof t, "0x%08llX", static_cast<unsigned long long>(v & 0xFFFFFFFFll));
  return t;
}

// A ModRM operand (with SIB and displacement) read from the image.
struct ModRm {
  uint8_t mod = 0, reg = 0, rm = 0;
  bool memory = false;
  int base = -1, index = -1, scale = 1;
  int32_t disp = 0;
  uint8_t length = 0;  // ModRM, SIB and displacement bytes

  bool isSlot0() const { return memory && base == 3 && index < 0 && disp == 0; }

  std::string text(bool byteRegister, const char* size) const {
    if (!memory) return byteRegister ? kReg8[rm] : kReg32[rm];
    std::string s = size ? std::string(size) + " [" : "[";
    if (base >= 0) s += kReg32[base];
    if (index >= 0) s += std::string(base >= 0 ? "+" : "") + kReg32[index] + "*" + std::to_string(scale);
    if (disp != 0 || (base < 0 && index < 0)) {
      char t[16];
      if (base < 0 && index < 0) std::snprintf(t, sizeof t, "0x%08X", static_cast<unsigned>(disp));
      else std::snprintf(t, sizeof t, "%s0x%X", disp < 0 ? "-" : "+", disp < 0 ? 0u - static_cast<unsigned>(disp) : static_cast<unsigned>(disp));
      s += t;
    }
    return s + "]";
  }
  // Frame slots are how a reader thinks of [ebx+4k].
  std::string note() const {
    if (memory && base == 3 && index < 0 && disp >= 0 && disp % 4 == 0) return "slot " + std::to_string(disp / 4);
    return "";
  }
};

bool readModRm(const ImageView& image, uint64_t at, ModRm& m) {
  if (!image.fits(at, 1)) return false;
  const uint8_t b = image.byte(at);
  m.mod = b >> 6;
  m.reg = (b >> 3) & 7;
  m.rm = b & 7;
  m.length = 1;
  if (m.mod == 3) return true;
  m.memory = true;
  m.base = m.rm;
  if (m.rm == 4) {
    if (!image.fits(at + 1, 1)) return false;
    const uint8_t sib = image.byte(at + 1);
    m.length = 2;
    m.scale = 1 << (sib >> 6);
    m.index = ((sib >> 3) & 7) == 4 ? -1 : (sib >> 3) & 7;
    m.base = sib & 7;
    if (m.base == 5 && m.mod == 0) {
      m.base = -1;
      m.mod = 2;  // a bare disp32 follows
    }
  } else if (m.rm == 5 && m.mod == 0) {
    m.base = -1;
    m.mod = 2;
  }
  const uint64_t dispAt = at + m.length;
  if (m.mod == 1) {
    if (!image.fits(dispAt, 1)) return false;
    m.disp = static_cast<int8_t>(image.byte(dispAt));
    m.length += 1;
  } else if (m.mod == 2) {
    if (!image.fits(dispAt, 4)) return false;
    m.disp = static_cast<int32_t>(image.word(dispAt));
    m.length += 4;
  }
  return true;
}

const Entry* find(bool twoByte, uint8_t opcode, int regField, int rmField, bool memory) {
  for (const Entry& e : kTable) {
    if (e.twoByte != twoByte || opcode < e.opcode || opcode >= e.opcode + e.span) continue;
    if (e.ext >= 0 && e.ext != regField) continue;
    if (e.rm >= 0 && e.rm != rmField) continue;
    if ((e.mod == Mod::Memory && !memory) || (e.mod == Mod::Register && memory)) continue;
    return &e;
  }
  return nullptr;
}

std::string mnemonic(const Entry& e, uint8_t opcode) {
  std::string m = e.mnemonic;
  if (auto star = m.find('*'); star != std::string::npos) m.replace(star, 1, kCond[(opcode - e.opcode) & 15]);
  return m;
}

}  // namespace

Instruction decodeInstruction(const ImageView& image, uint32_t at) {
  Instruction in;
  in.at = at;
  uint64_t p = at;
  const bool twoByte = image.fits(p, 1) && image.byte(p) == 0x0F;
  if (twoByte) ++p;
  if (!image.fits(p, 1)) return in;
  const uint8_t opcode = image.byte(p++);

  ModRm m;
  // The ModRM byte picks the row for opcodes that share one.
  const bool haveModRm = !isUd2(twoByte, opcode) && readModRm(image, p, m);
  const Entry* e = find(twoByte, opcode, haveModRm ? m.reg : -1, haveModRm ? m.rm : -1, haveModRm && m.memory);
  if (!e || (needsModRm(e->form) && !haveModRm)) {
    in.text = "db 0x" + hex8(image.byte(at)).substr(6);
    return in;
  }
  if (needsModRm(e->form)) p += m.length;

  const int low = opcode & 7;
  const char* size = m.memory ? "dword" : nullptr;
  std::string ops;
  uint32_t imm = 0;
  auto immediate = [&](int bytes) {
    if (!image.fits(p, bytes)) return false;
    imm = bytes == 1 ? static_cast<uint32_t>(static_cast<int8_t>(image.byte(p))) : image.word(p);
    p += bytes;
    return true;
  };
  bool ok = true;
  switch (e->form) {
    case Form::Plain: break;
    case Form::OpReg: ops = kReg32[low]; break;
    case Form::OpRegImm32:
      ok = immediate(4);
      ops = std::string(kReg32[low]) + ", " + number(static_cast<int32_t>(imm));
      break;
    case Form::RegRm: ops = std::string(kReg32[m.reg]) + ", " + m.text(false, nullptr); break;
    case Form::RmReg: ops = m.text(false, nullptr) + ", " + kReg32[m.reg]; break;
    case Form::Rm: ops = m.text(false, size); break;
    case Form::RmImm8:
    case Form::RmImm32:
      ok = immediate(e->form == Form::RmImm8 ? 1 : 4);
      ops = m.text(false, size) + ", " + number(static_cast<int32_t>(imm));
      break;
    case Form::RegRmImm8:
    case Form::RegRmImm32:
      ok = immediate(e->form == Form::RegRmImm8 ? 1 : 4);
      ops = std::string(kReg32[m.reg]) + ", " + m.text(false, nullptr) + ", " + number(static_cast<int32_t>(imm));
      break;
    case Form::Rm8: ops = m.text(true, m.memory ? "byte" : nullptr); break;
    case Form::RegRm8: ops = std::string(kReg32[m.reg]) + ", " + m.text(true, m.memory ? "byte" : nullptr); break;
    case Form::Rel32:
      ok = immediate(4);
      in.target = static_cast<uint32_t>(p) + imm;
      ops = hex8(in.target);
      break;
    case Form::StI:
      ops = e->opcode == 0xDF   ? "st(0), st(" + std::to_string(m.rm) + ")"
            : e->opcode == 0xDE ? "st(" + std::to_string(m.rm) + "), st(0)"
                                : "st(" + std::to_string(m.rm) + ")";
      break;
    case Form::Fixed: break;
  }
  if (!ok) {
    in.text = "db 0x" + hex8(image.byte(at)).substr(6);
    return in;
  }
  in.length = static_cast<uint8_t>(p - at);
  in.flow = e->form == Form::Rel32      ? (e->twoByte ? Instruction::Flow::Branch : Instruction::Flow::Jump)
            : opcode == 0xC3 && !twoByte ? Instruction::Flow::Return
            : isUd2(twoByte, opcode)     ? Instruction::Flow::Stop
                                         : Instruction::Flow::Next;
  in.text = mnemonic(*e, opcode);
  if (!ops.empty()) in.text += " " + ops;
  if (e->writes && m.isSlot0() && needsModRm(e->form)) {
    if (opcode == 0xC7) {
      in.setsNextOp = true;
      in.nextOp = imm;
      in.text = "mov dword [ebx], 0x" + hex8(imm) + "  ; next op " + hex8(imm);
    } else {
      in.writesPc = true;
      in.text += "  ; slot 0: the next op";
    }
  } else if (needsModRm(e->form) && !m.note().empty()) {
    in.text += "  ; " + m.note();
  }
  return in;
}

}  // namespace qrt::imgtools
