// A small x86-32 emitter for the native blocks of program images.
//
// A native block runs with EBX pointing at the current frame (slot k at
// [ebx+4k], slot 3 holding the static area's address) and must leave by
// storing the offset of the next op into slot 0 and returning: next().
// The emitter writes straight into its routine's op stream; label
// references are resolved when the image is built, so a block may jump to
// code anywhere in the image, including other routines.
#pragma once
#include <cstdint>
#include <initializer_list>

namespace qrt::img {

class Routine;

// A position in the image: an op (bound with Routine::bind) or a place in
// native code (bound with X86::bind). Labels belong to the whole builder, so
// any routine may name them. Exits (next) name ops; jumps (jmp, jcc) name
// native code: jumping onto an op would run its op word as machine code, and
// build() refuses both mix-ups.
struct Label {
  int id = -1;
};

enum Reg : uint8_t { EAX = 0, ECX = 1, EDX = 2, EBX = 3, ESP = 4, EBP = 5, ESI = 6, EDI = 7, NOREG = 8 };

// A memory operand [base + index*scale + disp]; index NOREG when there is
// none. Slot k of the frame is Mem{EBX, NOREG, 1, 4k}.
struct Mem {
  Reg base = EBX;
  Reg index = NOREG;
  uint8_t scale = 1;  // 1, 2, 4 or 8
  int32_t disp = 0;
};
inline Mem slotMem(int slot) { return Mem{EBX, NOREG, 1, 4 * slot}; }

// The ALU operations of the 0x01..0x3B and 0x81/0x83 groups, by their
// ModRM extension.
enum class Alu : uint8_t { Add = 0, Or = 1, And = 4, Sub = 5, Xor = 6, Cmp = 7 };

// Shifts by a constant (0xC1 group).
enum class Shift : uint8_t { Shl = 4, Shr = 5, Sar = 7 };

// x87 arithmetic, by the ModRM extension of 0xD8 (memory: st0 = st0 op m32)
// and 0xDE (register, popping: st(i) = st(i) op st0 for Sub and Div,
// st(i) = st0 op st(i) for SubR and DivR).
enum class FOp : uint8_t { Add = 0, Mul = 1, Sub = 4, SubR = 5, Div = 6, DivR = 7 };

// Condition codes of jcc/setcc (signed: L/LE/G/GE, unsigned: B/BE/A/AE).
enum class Cond : uint8_t {
  O = 0x0, NO = 0x1, B = 0x2, AE = 0x3, E = 0x4, NE = 0x5, BE = 0x6, A = 0x7,
  S = 0x8, NS = 0x9, P = 0xA, NP = 0xB, L = 0xC, GE = 0xD, LE = 0xE, G = 0xF,
};

// The bit pattern of a real as a slot holds it.
uint32_t realBits(float value);

class X86 {
 public:
  explicit X86(Routine& routine) : r_(routine) {}

  // --- leaving the block ---
  // mov dword [ebx], <offset of the op at `op`>; ret
  void next(Label op);
  // Leaves to the op right after this block.
  void next();
  // The loop counter of most test programs: decrements the slot, leaves to
  // `loopOp` while it is not zero, then to the op after this block.
  void countDown(int slot, Label loopOp);

  // --- frame slots ---
  void load(Reg dst, int slot);             // mov dst, [ebx+4*slot]
  void store(int slot, Reg src);            // mov [ebx+4*slot], src
  void storeImm(int slot, uint32_t value);  // mov dword [ebx+4*slot], imm32
  void addSlot(Reg dst, int slot);          // add dst, [ebx+4*slot]
  void subSlot(Reg dst, int slot);          // sub dst, [ebx+4*slot]
  void cmpSlot(Reg dst, int slot);          // cmp dst, [ebx+4*slot]

  // --- static area (slot 3 holds its address); `tmp` is clobbered ---
  void loadStatic(Reg dst, int staticSlot);             // mov dst,[ebx+12]; mov dst,[dst+4k]
  void storeStatic(int staticSlot, Reg src, Reg tmp);   // mov tmp,[ebx+12]; mov [tmp+4k],src
  void storeStaticImm(int staticSlot, uint32_t value, Reg tmp);

  // --- general memory operands [base+disp] ---
  void loadMem(Reg dst, Reg base, int32_t disp);
  void storeMem(Reg base, int32_t disp, Reg src);

  // --- registers ---
  void mov(Reg dst, Reg src);
  void movImm(Reg dst, uint32_t value);
  void add(Reg dst, Reg src);
  void sub(Reg dst, Reg src);
  void cmp(Reg a, Reg b);
  void and_(Reg dst, Reg src);
  void or_(Reg dst, Reg src);
  void xor_(Reg dst, Reg src);
  void imul(Reg dst, Reg src);
  void addImm(Reg dst, int32_t value);
  void subImm(Reg dst, int32_t value);
  void cmpImm(Reg a, int32_t value);
  void imulImm(Reg dst, int32_t value);
  void inc(Reg r);
  void dec(Reg r);
  void neg(Reg r);
  void cdq();
  void idiv(Reg divisor);                   // edx:eax / divisor
  void push(Reg r);
  void pop(Reg r);
  void setcc(Cond c, Reg byteReg);          // AL/CL/DL/BL only (reg < 4)
  // 0 / -1 truth value from flags: setcc low byte, movzx, neg.
  void truth(Cond c, Reg dst);

  // --- control flow inside native code ---
  Label label();                            // a new, unbound label
  void bind(Label codeLabel);               // binds a label at the current code position
  Label here();                             // new label bound here
  void jmp(Label code);                     // E9 rel32
  void jcc(Cond c, Label code);             // 0F 8x rel32
  void ret();

  // --- x87 on frame slots (reals are single precision) ---
  void fld(int slot);     // fld dword [ebx+4k]
  void fild(int slot);    // fild dword [ebx+4k]
  void fstp(int slot);    // fstp dword [ebx+4k]
  void fistp(int slot);   // fistp dword [ebx+4k]
  void fadd(int slot);    // fadd dword [ebx+4k]
  void fsub(int slot);
  void fmul(int slot);
  void fdiv(int slot);
  void fcomip(int i);     // fcomip st(0), st(i): sets ZF/PF/CF like an unsigned compare
  void fstpSt(int i);     // fstp st(i); fstpSt(0) pops the stack

  // --- general operands (what a compiler's code generator needs) ---
  void mov(Reg dst, const Mem& m);             // mov dst, [m]
  void mov(const Mem& m, Reg src);             // mov [m], src
  void movImm(const Mem& m, uint32_t value);   // mov dword [m], imm32
  void alu(Alu op, Reg dst, Reg src);          // op dst, src
  void alu(Alu op, Reg dst, const Mem& src);   // op dst, [m]
  void alu(Alu op, const Mem& dst, Reg src);   // op [m], src
  void aluImm(Alu op, Reg dst, int32_t value);
  void aluImm(Alu op, const Mem& dst, int32_t value);
  void imul(Reg dst, const Mem& src);          // imul dst, [m]
  void imulImm(Reg dst, Reg src, int32_t value);
  void lea(Reg dst, const Mem& m);
  void shift(Shift op, Reg r, uint8_t count);
  void not_(Reg r);
  void test(Reg a, Reg b);
  void idiv(const Mem& divisor);               // edx:eax / [m]
  void movzx8(Reg dst, Reg src8);              // movzx dst, src's low byte (AL..BL)
  void ud2();                                  // stops the program: the runtime's internal-error box
  // x87
  void fld(const Mem& m);
  void fild(const Mem& m);
  void fst(const Mem& m);
  void fstp(const Mem& m);
  void fistp(const Mem& m);
  void fop(FOp op, const Mem& m);              // st0 = st0 op [m] (SubR, DivR: [m] op st0)
  void fopPop(FOp op, int i);                  // st(i) = st(i) op st0 (SubR, DivR: st0 op st(i)), pop
  void fldSt(int i);                           // push st(i)
  void fxch(int i);
  void fchs();
  void fldz();
  void fnstcw(const Mem& m);
  void fldcw(const Mem& m);

  // --- raw bytes (count as a possible exit for the fall-through check) ---
  void bytes(std::initializer_list<uint8_t> b);
  void u8(uint8_t b);
  void u32(uint32_t v);

  bool endsInExit() const { return exits_; }

 private:
  void memOperand(uint8_t opcode, uint8_t reg, Reg base, int32_t disp);
  void memOperand(uint8_t opcode, uint8_t reg, const Mem& m);
  void modrm(const Mem& m, uint8_t reg);
  void touchMem(const Mem& m);
  void slotOperand(uint8_t opcode, uint8_t reg, int slot);
  void aluRegReg(uint8_t opcode, Reg dst, Reg src);
  void aluImm(uint8_t ext, Reg dst, int32_t value);
  void emit(uint8_t b);
  void emit32(uint32_t v);
  void touch(int slot);

  Routine& r_;
  bool exits_ = false;
  Label after_;  // the op after this block, bound once the block is done

  friend class Routine;
};

}  // namespace qrt::img
