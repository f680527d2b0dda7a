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

enum Reg : uint8_t { EAX = 0, ECX = 1, EDX = 2, EBX = 3, ESP = 4, EBP = 5, ESI = 6, EDI = 7 };

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

  // --- raw bytes (count as a possible exit for the fall-through check) ---
  void bytes(std::initializer_list<uint8_t> b);
  void u8(uint8_t b);
  void u32(uint32_t v);

  bool endsInExit() const { return exits_; }

 private:
  void memOperand(uint8_t opcode, uint8_t reg, Reg base, int32_t disp);
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
