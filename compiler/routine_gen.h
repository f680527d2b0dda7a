// Code generation of one routine (the main routine or a FUNC): its slots,
// the value stack of expressions, and statements.
//
// Expressions are compiled onto a value stack whose entries are constants,
// frame slots, registers or x87 registers. Registers are handed out as
// needed and an entry is moved to a temporary slot when they run out; before
// every op the whole stack is moved to slots, since ops do not keep
// registers. Temporary slots come in two kinds that never share a slot:
// raw ones (numbers and borrowed string addresses, written by native code)
// and string ones (only ever the destination of string ops, so that the
// engine finds either nothing or a string object of this frame there).
#pragma once
#include <array>
#include <string>
#include <unordered_map>
#include <vector>

#include "compiler/ast.h"
#include "compiler/emitter.h"
#include "image/image_builder.h"

namespace qrt::qrtc {

struct Operand {
  enum Kind : uint8_t { Imm, Reg, Slot, Fpu };
  Kind kind = Imm;
  bool real = false;     // REAL bits (else an INT or a string's address)
  uint32_t imm = 0;      // Imm: the value or the REAL's bits
  img::Reg reg = img::EAX;
  int32_t slot = 0;      // Slot: a frame slot
  bool pinned = false;   // Reg: the register a loop keeps a variable in; read it, never change it
};

// A string value for an op: a frame slot (variable, constant, temporary) or
// a static slot.
struct StrVal {
  bool isStatic = false;
  int32_t slot = 0;
  // The text belongs to someone who may change or free it before a later op
  // runs: a static variable, an array element or a command's temporary.
  bool borrowed = false;
  // A string temporary of this frame (a join's or a FUNC's result).
  bool ownedTemp = false;
};

// Where an assignment stores: a scalar of a frame or the static area; an
// element's index (in slots, from the array's first slot) is on the value
// stack.
struct Place {
  enum Kind : uint8_t { Frame, Static, FrameElem, StaticElem, Dynamic, Register };
  Kind kind = Frame;
  int32_t slot = 0;      // Frame/Static: the slot; *Elem: the array's first slot plus the field's offset
  int32_t addrSlot = 0;  // Dynamic: the slot holding the block's address
  bool real = false;
  Type type;
  img::Reg reg = img::NOREG;  // Register: where a loop keeps the variable
  bool staticAddr = false;    // Dynamic: the block's address is in the static area
};

struct LoopTargets {
  Lbl breakTo;
  Lbl continueTo;  // -1 for SWITCH, which CONTINUE passes through
};

class RoutineGen {
 public:
  RoutineGen(Program& p, img::ImageBuilder& b, img::Routine& r, FuncInfo* func);
  void generate(Block& body);

 private:
  friend class ExprTest;
  // --- slots ---
  void layoutVars();
  int rawTemp();
  int strTemp();
  int permanentRaw();
  int constSlot(const std::string& cp932);
  void statementStart();

  // --- value stack (routine_gen_values.cpp) ---
  void push(Operand o) { st_.push_back(o); }
  Operand pop();
  Operand& top(size_t k = 0) { return st_[st_.size() - 1 - k]; }
  bool regUsed(img::Reg r) const;
  img::Reg allocReg(uint32_t avoid = 0, bool byteReg = false);
  void spill(size_t i);
  img::Reg toReg(size_t i, uint32_t avoid = 0);
  img::Reg regRead(size_t i);
  int toSlot(size_t i);
  void flush();
  int fpuDepth() const;
  void fpuRoom(int need = 1);
  void loadFpu(size_t i);
  void toFpu(size_t i);
  img::Mem realMem(size_t i);

  // --- expressions (routine_gen_expr.cpp) ---
  void gen(Expr& e);
  void genBinaryInt(Expr& e);
  void genDivide(BinOp op);
  void genBinaryReal(Expr& e);
  void genCompareValue(Expr& e);
  void genConvert(Expr& e);
  void genLoad(Expr& e);
  Place place(Expr& e);
  void loadPlace(const Place& pl);
  void storePlace(const Place& pl);
  img::Mem elementMem(const Place& pl, size_t indexEntry, img::Reg& index, img::Reg& baseReg);
  void elementIndex(Expr& e, const Var& v);
  void cond(Expr& e, Lbl target, bool jumpIf);
  void compareBranch(Expr& e, Lbl target, bool jumpIf);
  void compareTop(BinOp op, bool real, Lbl target, bool jumpIf);
  bool canShortCircuit(const Expr& e) const;
  static bool isTruth(const Expr& e);

  // --- strings and calls (routine_gen_calls.cpp) ---
  StrVal genStr(Expr& e, int dest = 0);
  StrVal strFromPlace(const Place& pl);
  StrVal ownCopy(const StrVal& v);
  void storeStr(const Place& pl, Expr& value);
  void strOp7(const Place& dest, const StrVal& src);
  int frameStrSlot(const StrVal& v);
  int genCall(Expr& e, int dest, bool wantValue);
  void genStrCompare(Expr& e);

  // --- loops that keep variables in registers (routine_gen_loops.cpp) ---
  bool beginPromotion(Stmt& loop);
  void endPromotion();
  bool pure(const Stmt& s) const;
  bool pureBlock(const Block& b) const;
  bool pureExpr(const Expr& e) const;
  void weigh(const Stmt& s, int weight, std::unordered_map<int, int>& slots, int& statics) const;
  void weighExpr(const Expr& e, int weight, std::unordered_map<int, int>& slots, int& statics) const;
  bool assignInPlace(Stmt& s);

  // --- statements (routine_gen.cpp) ---
  void block(Block& b);
  // A loop's body, in which BREAK jumps to `breakTo` and CONTINUE to `continueTo`.
  void loopBody(Block& body, Lbl breakTo, Lbl continueTo);
  void statement(Stmt& s);
  void assign(Stmt& s);
  void assignStruct(Expr& lhs, Expr& rhs);
  void declaration(Stmt& s);
  void zeroVar(Var& v);
  void dynamicArray(Var& v, DeclItem& item);
  void arrayStatement(Stmt& s);
  void ifStatement(Stmt& s);
  void forStatement(Stmt& s);
  void whileStatement(Stmt& s);
  void loopStatement(Stmt& s);
  void switchStatement(Stmt& s);
  void selectStatement(Stmt& s);
  void returnStatement(Stmt* s);
  void freeDynamicArrays();
  void endProgram();

  Program& p_;
  img::ImageBuilder& b_;
  img::Routine& r_;
  FuncInfo* func_;
  Emitter em_;
  std::vector<Operand> st_;
  int nextSlot_ = 9;
  std::vector<int> rawSlots_, strSlots_;
  size_t rawUsed_ = 0, strUsed_ = 0;
  std::unordered_map<std::string, int> constants_;
  std::unordered_map<std::string, Lbl> labels_;
  std::vector<LoopTargets> loops_;
  std::vector<Var*> dynamicLocals_;
  int emptySlot_ = 0;  // the constant "" once needed
  // While a loop keeps variables in registers: frame slot -> register, and
  // the static area's address in a register of its own.
  std::unordered_map<int, img::Reg> promoted_;
  img::Reg staticBase_ = img::NOREG;
  uint32_t reserved_ = 0;  // registers the loop holds
  bool hasLabels_ = false; // a GOTO may enter a loop: nothing is kept in registers
};

// The whole static area's size (every STATIC variable's slots).
int32_t assignStaticSlots(Program& p);

}  // namespace qrt::qrtc
