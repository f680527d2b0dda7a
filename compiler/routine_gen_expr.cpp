// Expressions of numbers: arithmetic, comparisons, conversions, variables
// and array elements, and conditions as compare-and-branch.
#include <bit>
#include <functional>
#include <stdexcept>

#include "compiler/routine_gen.h"

namespace qrt::qrtc {

using img::Cond;
using img::Reg;

namespace {

uint32_t bit(Reg r) { return r == img::NOREG ? 0 : 1u << r; }

bool isCompare(BinOp op) {
  return op == BinOp::Eq || op == BinOp::Ne || op == BinOp::Lt || op == BinOp::Gt || op == BinOp::Le ||
         op == BinOp::Ge;
}

Cond signedCond(BinOp op) {
  switch (op) {
    case BinOp::Eq: return Cond::E;
    case BinOp::Ne: return Cond::NE;
    case BinOp::Lt: return Cond::L;
    case BinOp::Gt: return Cond::G;
    case BinOp::Le: return Cond::LE;
    default: return Cond::GE;
  }
}

// a op b  ==  b swapped(op) a
BinOp swapped(BinOp op) {
  switch (op) {
    case BinOp::Lt: return BinOp::Gt;
    case BinOp::Gt: return BinOp::Lt;
    case BinOp::Le: return BinOp::Ge;
    case BinOp::Ge: return BinOp::Le;
    default: return op;
  }
}

Cond negate(Cond c) { return static_cast<Cond>(static_cast<uint8_t>(c) ^ 1); }

img::Alu aluOf(BinOp op) {
  switch (op) {
    case BinOp::Add: return img::Alu::Add;
    case BinOp::Sub: return img::Alu::Sub;
    case BinOp::And: return img::Alu::And;
    case BinOp::Or: return img::Alu::Or;
    default: return img::Alu::Xor;
  }
}

img::FOp fopOf(BinOp op) {
  switch (op) {
    case BinOp::Add: return img::FOp::Add;
    case BinOp::Sub: return img::FOp::Sub;
    case BinOp::Mul: return img::FOp::Mul;
    default: return img::FOp::Div;
  }
}

// The operation with its operands the other way round.
img::FOp reversedFop(BinOp op) {
  switch (op) {
    case BinOp::Sub: return img::FOp::SubR;
    case BinOp::Div: return img::FOp::DivR;
    default: return fopOf(op);
  }
}

bool powerOfTwo(int32_t v) { return v > 1 && (v & (v - 1)) == 0; }

}  // namespace

void RoutineGen::gen(Expr& e) {
  if (e.constant) {
    Operand o;
    o.kind = Operand::Imm;
    o.real = e.type.is(Base::Real);
    o.imm = o.real ? img::realBits(e.r) : static_cast<uint32_t>(e.i);
    push(o);
    return;
  }
  switch (e.kind) {
    case ExprKind::Path: return genLoad(e);
    case ExprKind::Call:
      if (e.call == CallKind::ToInt || e.call == CallKind::ToReal) return genConvert(e);
      {
        const int slot = genCall(e, 0, true);
        Operand o;
        o.kind = Operand::Slot;
        o.slot = slot;
        o.real = e.type.is(Base::Real);
        push(o);
      }
      return;
    case ExprKind::Unary: {
      gen(*e.a);
      if (e.type.is(Base::Real)) {
        toFpu(st_.size() - 1);
        em_.x().fchs();
        return;
      }
      const Reg r = toReg(st_.size() - 1);
      if (e.un == UnOp::Neg) em_.x().neg(r);
      else em_.x().not_(r);
      return;
    }
    case ExprKind::Binary:
      if (e.a->type.is(Base::Str)) {
        genStrCompare(e);
        return;
      }
      if (isCompare(e.bin)) return genCompareValue(e);
      if (e.type.is(Base::Real)) return genBinaryReal(e);
      return genBinaryInt(e);
    default: break;
  }
  throw std::logic_error("an expression of a kind the generator does not know");
}

void RoutineGen::genBinaryInt(Expr& e) {
  gen(*e.a);
  gen(*e.b);
  const BinOp op = e.bin;
  if (op == BinOp::Div || op == BinOp::Mod) return genDivide(op);
  const size_t ia = st_.size() - 2, ib = st_.size() - 1;
  const bool commutative = op == BinOp::Add || op == BinOp::Mul || op == BinOp::And || op == BinOp::Or ||
                           op == BinOp::Xor;
  if (commutative && st_[ia].kind != Operand::Reg && st_[ib].kind == Operand::Reg) std::swap(st_[ia], st_[ib]);
  const Reg ra = toReg(ia);
  const Operand b = st_[ib];
  img::X86& x = em_.x();
  if (op == BinOp::Mul) {
    if (b.kind == Operand::Imm) {
      const auto v = static_cast<int32_t>(b.imm);
      if (powerOfTwo(v)) x.shift(img::Shift::Shl, ra, static_cast<uint8_t>(std::countr_zero(static_cast<uint32_t>(v))));
      else x.imulImm(ra, ra, v);
    } else if (b.kind == Operand::Slot) {
      x.imul(ra, img::slotMem(b.slot));
    } else {
      x.imul(ra, b.reg);
    }
  } else {
    const img::Alu alu = aluOf(op);
    if (b.kind == Operand::Imm) x.aluImm(alu, ra, static_cast<int32_t>(b.imm));
    else if (b.kind == Operand::Slot) x.alu(alu, ra, img::slotMem(b.slot));
    else x.alu(alu, ra, b.reg);
  }
  pop();
}

// INT / and MOD: truncation toward zero, the remainder taking the left
// side's sign. Division by zero stops the program (the processor's fault,
// which the runtime reports); INT_MIN / -1 wraps instead of faulting.
void RoutineGen::genDivide(BinOp op) {
  const size_t ia = st_.size() - 2, ib = st_.size() - 1;
  const bool mod = op == BinOp::Mod;
  if (st_[ib].kind == Operand::Imm) {
    const auto d = static_cast<int32_t>(st_[ib].imm);
    if (d == 0) {
      em_.fail();
      pop();
      st_[ia] = Operand{};
      return;
    }
    if (d == 1 || d == -1) {
      pop();
      if (mod) {
        st_[ia] = Operand{};
      } else if (d == -1) {
        em_.x().neg(toReg(ia));
      }
      return;
    }
    if (powerOfTwo(d)) {
      const int k = std::countr_zero(static_cast<uint32_t>(d));
      pop();
      const Reg ra = toReg(ia);
      const Reg t = allocReg(bit(ra));
      img::X86& x = em_.x();
      // t = d - 1 for negative a, else 0: added first, it makes the shift
      // round toward zero.
      x.mov(t, ra);
      x.shift(img::Shift::Sar, t, 31);
      x.shift(img::Shift::Shr, t, static_cast<uint8_t>(32 - k));
      x.alu(img::Alu::Add, ra, t);
      if (mod) {
        x.aluImm(img::Alu::And, ra, d - 1);
        x.alu(img::Alu::Sub, ra, t);
      } else {
        x.shift(img::Shift::Sar, ra, static_cast<uint8_t>(k));
      }
      return;
    }
  }
  const uint32_t eaxEdx = bit(img::EAX) | bit(img::EDX);
  // Only a divisor the program computes can be -1 (a constant one was
  // handled above).
  const bool mayBeMinusOne = st_[ib].kind != Operand::Imm;
  // The divisor: memory or a register other than EAX and EDX.
  if (st_[ib].kind == Operand::Imm || (st_[ib].kind == Operand::Reg && (eaxEdx & bit(st_[ib].reg))))
    toReg(ib, eaxEdx | (st_[ia].kind == Operand::Reg ? bit(st_[ia].reg) : 0));
  // Nothing else may stay in EAX or EDX.
  for (size_t k = 0; k < st_.size(); ++k) {
    if (k == ia || k == ib || st_[k].kind != Operand::Reg || !(eaxEdx & bit(st_[k].reg))) continue;
    const uint32_t avoid = eaxEdx | (st_[ib].kind == Operand::Reg ? bit(st_[ib].reg) : 0) |
                           (st_[ia].kind == Operand::Reg ? bit(st_[ia].reg) : 0);
    toReg(k, avoid);
  }
  img::X86& x = em_.x();
  Operand& a = st_[ia];
  if (!(a.kind == Operand::Reg && a.reg == img::EAX)) {
    if (a.kind == Operand::Reg) x.mov(img::EAX, a.reg);
    else if (a.kind == Operand::Slot) x.mov(img::EAX, img::slotMem(a.slot));
    else x.movImm(img::EAX, a.imm);
    a.kind = Operand::Reg;
    a.reg = img::EAX;
    a.pinned = false;
  }
  const Operand b = st_[ib];
  Lbl divide = -1, done = -1;
  if (mayBeMinusOne) {
    divide = em_.label();
    done = em_.label();
    if (b.kind == Operand::Reg) x.aluImm(img::Alu::Cmp, b.reg, -1);
    else x.aluImm(img::Alu::Cmp, img::slotMem(b.slot), -1);
    em_.jumpIf(Cond::NE, divide);
    if (mod) em_.x().movImm(img::EDX, 0);
    else em_.x().neg(img::EAX);
    em_.jump(done);
    em_.bind(divide);
  }
  img::X86& y = em_.x();
  y.cdq();
  if (b.kind == Operand::Reg) y.idiv(b.reg);
  else y.idiv(img::slotMem(b.slot));
  if (mayBeMinusOne) em_.bind(done);
  pop();
  st_[ia].reg = mod ? img::EDX : img::EAX;
  st_[ia].pinned = false;
}

void RoutineGen::genBinaryReal(Expr& e) {
  gen(*e.a);
  gen(*e.b);
  const BinOp op = e.bin;
  const size_t ia = st_.size() - 2, ib = st_.size() - 1;
  if (st_[ib].kind == Operand::Fpu) {
    if (st_[ia].kind == Operand::Fpu) {
      em_.x().fopPop(fopOf(op), 1);  // st1 = st1 op st0, pop
      pop();
      return;
    }
    // a is in memory, b on the x87 stack: st0 = a op st0.
    em_.x().fop(reversedFop(op), realMem(ia));
    const Operand result = st_[ib];
    pop();
    pop();
    push(result);
    return;
  }
  toFpu(ia);
  em_.x().fop(fopOf(op), realMem(ib));
  pop();
}

// An INT comparison's flags, for `a op b` with a and b the top two entries
// (both popped). Returns the condition that holds when the comparison does.
static Cond intCompare(RoutineGen* g, std::vector<Operand>& st, BinOp op, Emitter& em,
                       const std::function<Reg(size_t)>& regFor) {
  (void)g;
  const size_t ia = st.size() - 2, ib = st.size() - 1;
  // A constant on the left goes right.
  if (st[ia].kind == Operand::Imm && st[ib].kind != Operand::Imm) {
    std::swap(st[ia], st[ib]);
    op = swapped(op);
  }
  const Operand a = st[ia], b = st[ib];
  if (a.kind == Operand::Slot && b.kind == Operand::Imm) {
    em.x().aluImm(img::Alu::Cmp, img::slotMem(a.slot), static_cast<int32_t>(b.imm));
  } else if (a.kind == Operand::Slot && b.kind == Operand::Reg) {
    em.x().alu(img::Alu::Cmp, img::slotMem(a.slot), b.reg);
  } else {
    const Reg ra = regFor(ia);
    const Operand bb = st[ib];
    if (bb.kind == Operand::Imm) {
      if (bb.imm == 0 && (op == BinOp::Eq || op == BinOp::Ne)) em.x().test(ra, ra);
      else em.x().aluImm(img::Alu::Cmp, ra, static_cast<int32_t>(bb.imm));
    } else if (bb.kind == Operand::Slot) {
      em.x().alu(img::Alu::Cmp, ra, img::slotMem(bb.slot));
    } else {
      em.x().alu(img::Alu::Cmp, ra, bb.reg);
    }
  }
  st.pop_back();
  st.pop_back();
  return signedCond(op);
}

// REAL comparison: both on the x87 stack, compared and popped; jumps to
// `target` when the comparison's truth is `jumpIf`. Unordered values (NaN)
// make every comparison false but <>.
static void realCompareJump(RoutineGen& g, BinOp op, Lbl target, bool jumpIf, Emitter& em,
                            const std::function<void(size_t)>& load, std::vector<Operand>& st) {
  (void)g;
  const size_t ia = st.size() - 2, ib = st.size() - 1;
  // The x87 order after loading: which of a and b is st0.
  bool aOnTop;
  if (st[ib].kind == Operand::Fpu) {
    if (st[ia].kind == Operand::Fpu) {
      aOnTop = false;
    } else {
      load(ia);  // a above b, for this comparison only
      aOnTop = true;
    }
  } else {
    load(ia);
    load(ib);
    aOnTop = false;
  }
  // st0 must be the left side of the unsigned condition: a for > and >=,
  // b for < and <=.
  bool wantA = op == BinOp::Gt || op == BinOp::Ge || op == BinOp::Eq || op == BinOp::Ne;
  if (op == BinOp::Eq || op == BinOp::Ne) wantA = aOnTop;
  img::X86& x = em.x();
  if (wantA != aOnTop) x.fxch(1);
  x.fcomip(1);
  x.fstpSt(0);
  st.pop_back();
  st.pop_back();
  const bool equalTest = op == BinOp::Eq || op == BinOp::Ne;
  if (!equalTest) {
    const Cond holds = (op == BinOp::Gt || op == BinOp::Lt) ? Cond::A : Cond::AE;
    em.jumpIf(jumpIf ? holds : negate(holds), target);
    return;
  }
  // Equal: ZF set and PF clear.
  const bool jumpWhenEqual = (op == BinOp::Eq) == jumpIf;
  if (jumpWhenEqual) {
    Lbl skip = em.label();
    em.jumpIf(Cond::P, skip);
    em.jumpIf(Cond::E, target);
    em.bind(skip);
  } else {
    em.jumpIf(Cond::P, target);
    em.jumpIf(Cond::NE, target);
  }
}

void RoutineGen::genCompareValue(Expr& e) {
  gen(*e.a);
  gen(*e.b);
  if (e.a->type.is(Base::Real)) {
    // 0 or -1 by a branch: x87 flags have the unordered case to mind.
    const Reg r = allocReg(0);
    Operand result;
    result.kind = Operand::Reg;
    result.reg = r;
    // Reserve r while the comparison's operands are loaded.
    st_.insert(st_.end() - 2, result);
    em_.x().alu(img::Alu::Xor, r, r);
    Lbl skip = em_.label();
    fpuRoom(2);
    realCompareJump(*this, e.bin, skip, false, em_, [this](size_t i) { loadFpu(i); }, st_);
    em_.x().movImm(r, 0xFFFFFFFFu);
    em_.bind(skip);
    return;
  }
  const size_t ia = st_.size() - 2;
  // The result's register: a byte register, chosen before the flags are set.
  Reg r = img::NOREG;
  if (st_[ia].kind == Operand::Reg && st_[ia].reg <= img::EDX) r = st_[ia].reg;
  else if (st_[ia + 1].kind == Operand::Reg && st_[ia + 1].reg <= img::EDX) r = st_[ia + 1].reg;
  uint32_t avoid = 0;
  for (size_t k = ia; k < st_.size(); ++k)
    if (st_[k].kind == Operand::Reg) avoid |= bit(st_[k].reg);
  if (r == img::NOREG) r = allocReg(avoid, true);
  const Cond c = intCompare(this, st_, e.bin, em_, [this](size_t i) { return regRead(i); });
  img::X86& x = em_.x();
  x.setcc(c, r);
  x.movzx8(r, r);
  x.neg(r);
  Operand result;
  result.kind = Operand::Reg;
  result.reg = r;
  push(result);
}

void RoutineGen::genConvert(Expr& e) {
  Expr& a = *e.args[0];
  gen(a);
  const size_t i = st_.size() - 1;
  if (e.call == CallKind::ToReal) {
    if (a.type.is(Base::Real)) return;
    Operand& o = st_[i];
    if (o.kind == Operand::Reg) spill(i);
    fpuRoom();
    if (st_[i].kind == Operand::Imm) {
      em_.x().movImm(img::slotMem(6), st_[i].imm);
      em_.x().fild(img::slotMem(6));
    } else {
      em_.x().fild(img::slotMem(st_[i].slot));
    }
    st_[i].kind = Operand::Fpu;
    st_[i].real = true;
    return;
  }
  if (a.type.is(Base::Int)) return;
  // REAL to INT toward zero: the x87 rounds by its control word, which is
  // set to truncate for this one store and put back.
  toFpu(i);
  const int saved = rawTemp(), changed = rawTemp();
  const Reg r = allocReg(0);
  img::X86& x = em_.x();
  x.fnstcw(img::slotMem(saved));
  x.mov(r, img::slotMem(saved));
  x.aluImm(img::Alu::Or, r, 0x0C00);
  x.mov(img::slotMem(changed), r);
  x.fldcw(img::slotMem(changed));
  x.fistp(img::slotMem(changed));
  x.fldcw(img::slotMem(saved));
  x.mov(r, img::slotMem(changed));
  st_[i].kind = Operand::Reg;
  st_[i].reg = r;
  st_[i].real = false;
}

// --- variables and elements ---

void RoutineGen::elementIndex(Expr& e, const Var& v) {
  const int rank = v.rank();
  for (int d = 0; d < rank; ++d) {
    gen(*e.indices[static_cast<size_t>(d)]);
    const size_t ii = st_.size() - 1;
    // Bounds: unsigned, so that a negative index fails too.
    if (v.dynamic()) {
      const Reg r = regRead(ii);
      if (v.isStatic) {
        const Reg t = staticBase_ != img::NOREG ? staticBase_ : allocReg(1u << r);
        if (staticBase_ == img::NOREG) em_.x().mov(t, img::slotMem(3));
        em_.x().alu(img::Alu::Cmp, r, img::Mem{t, img::NOREG, 1, 4 * (v.slot + 1 + d)});
      } else {
        em_.x().alu(img::Alu::Cmp, r, img::slotMem(v.slot + 1 + d));
      }
      em_.failIf(Cond::AE);
    } else {
      const int32_t dim = v.dims[static_cast<size_t>(d)];
      if (st_[ii].kind == Operand::Imm) {
        if (st_[ii].imm >= static_cast<uint32_t>(dim)) em_.fail();
      } else {
        const Reg r = regRead(ii);
        em_.x().aluImm(img::Alu::Cmp, r, dim);
        em_.failIf(Cond::AE);
      }
    }
    if (d == 0) continue;
    // linear = linear * dim + index
    const size_t il = st_.size() - 2;
    if (v.dynamic()) {
      const Reg rl = toReg(il);
      if (v.isStatic) {
        const Reg t = staticBase_ != img::NOREG ? staticBase_ : allocReg(1u << rl);
        if (staticBase_ == img::NOREG) em_.x().mov(t, img::slotMem(3));
        em_.x().imul(rl, img::Mem{t, img::NOREG, 1, 4 * (v.slot + 1 + d)});
      } else {
        em_.x().imul(rl, img::slotMem(v.slot + 1 + d));
      }
    } else {
      const int32_t dim = v.dims[static_cast<size_t>(d)];
      if (st_[il].kind == Operand::Imm) {
        st_[il].imm = static_cast<uint32_t>(static_cast<int64_t>(static_cast<int32_t>(st_[il].imm)) * dim);
      } else {
        const Reg rl = toReg(il);
        em_.x().imulImm(rl, rl, dim);
      }
    }
    if (st_[il].kind == Operand::Imm && st_[ii].kind == Operand::Imm) {
      st_[il].imm += st_[ii].imm;
      pop();
      continue;
    }
    if (st_[il].kind == Operand::Imm) std::swap(st_[il], st_[ii]);
    const Reg rl = toReg(il);
    const Operand idx = st_[ii];
    if (idx.kind == Operand::Imm) em_.x().aluImm(img::Alu::Add, rl, static_cast<int32_t>(idx.imm));
    else if (idx.kind == Operand::Slot) em_.x().alu(img::Alu::Add, rl, img::slotMem(idx.slot));
    else em_.x().alu(img::Alu::Add, rl, idx.reg);
    pop();
  }
  if (v.elementSize != 1) {
    const size_t il = st_.size() - 1;
    if (st_[il].kind == Operand::Imm) {
      st_[il].imm *= static_cast<uint32_t>(v.elementSize);
    } else {
      const Reg rl = toReg(il);
      em_.x().imulImm(rl, rl, v.elementSize);
    }
  }
}

Place RoutineGen::place(Expr& e) {
  Var& v = *e.var;
  Place pl;
  pl.type = e.type;
  pl.real = e.type.is(Base::Real);
  if (!v.isArray()) {
    pl.kind = v.isStatic ? Place::Static : Place::Frame;
    pl.slot = v.slot + e.fieldOffset;
    if (pl.kind == Place::Frame && !promoted_.empty()) {
      auto it = promoted_.find(pl.slot);
      if (it != promoted_.end()) {
        pl.kind = Place::Register;
        pl.reg = it->second;
      }
    }
    return pl;
  }
  elementIndex(e, v);
  if (v.dynamic()) {
    pl.kind = Place::Dynamic;
    pl.addrSlot = v.slot;
    pl.slot = e.fieldOffset;
    pl.staticAddr = v.isStatic;
  } else {
    pl.kind = v.isStatic ? Place::StaticElem : Place::FrameElem;
    pl.slot = v.slot + e.fieldOffset;
  }
  return pl;
}

// The memory operand of an element whose index (in slots) is the stack
// entry `indexEntry`: a constant index of a frame array is folded into the
// displacement (`index` NOREG), any other is read into the register
// `index`. `baseReg` is the register the array's address was loaded into,
// if any.
img::Mem RoutineGen::elementMem(const Place& pl, size_t indexEntry, Reg& index, Reg& baseReg) {
  img::X86& x = em_.x();
  index = img::NOREG;
  baseReg = img::NOREG;
  img::Mem m;
  m.disp = 4 * pl.slot;
  if (st_[indexEntry].kind == Operand::Imm && pl.kind == Place::FrameElem)
    m.disp += 4 * static_cast<int32_t>(st_[indexEntry].imm);
  else
    index = regRead(indexEntry);
  m.index = index;
  m.scale = index == img::NOREG ? 1 : 4;
  switch (pl.kind) {
    case Place::FrameElem:
      m.base = img::EBX;
      break;
    case Place::StaticElem:
      if (staticBase_ != img::NOREG) {
        baseReg = staticBase_;
      } else {
        baseReg = allocReg(bit(index));
        x.mov(baseReg, img::slotMem(3));
      }
      m.base = baseReg;
      break;
    case Place::Dynamic:
      baseReg = allocReg(bit(index));
      if (pl.staticAddr) {
        x.mov(baseReg, staticBase_ != img::NOREG ? img::Mem{staticBase_, img::NOREG, 1, 4 * pl.addrSlot}
                                                 : img::slotMem(3));
        if (staticBase_ == img::NOREG) x.mov(baseReg, img::Mem{baseReg, img::NOREG, 1, 4 * pl.addrSlot});
      } else {
        x.mov(baseReg, img::slotMem(pl.addrSlot));
      }
      m.base = baseReg;
      break;
    default: break;
  }
  return m;
}

void RoutineGen::genLoad(Expr& e) {
  Place pl = place(e);
  loadPlace(pl);
}

// Pushes the value at `pl` (an element's index, on the stack, is replaced).
void RoutineGen::loadPlace(const Place& pl) {
  Operand o;
  o.real = pl.real;
  switch (pl.kind) {
    case Place::Frame:
      o.kind = Operand::Slot;
      o.slot = pl.slot;
      push(o);
      return;
    case Place::Register:
      o.kind = Operand::Reg;
      o.reg = pl.reg;
      o.pinned = true;
      push(o);
      return;
    case Place::Static: {
      const Reg r = allocReg(0);
      img::X86& x = em_.x();
      const Reg base = staticBase_ != img::NOREG ? staticBase_ : r;
      if (staticBase_ == img::NOREG) x.mov(r, img::slotMem(3));
      const img::Mem m{base, img::NOREG, 1, 4 * pl.slot};
      if (pl.real) {
        fpuRoom();
        em_.x().fld(m);
        o.kind = Operand::Fpu;
      } else {
        x.mov(r, m);
        o.kind = Operand::Reg;
        o.reg = r;
      }
      push(o);
      return;
    }
    default: break;
  }
  // Elements: the index is on top.
  const size_t ii = st_.size() - 1;
  Reg index, base;
  const img::Mem m = elementMem(pl, ii, index, base);
  if (pl.real) {
    pop();
    fpuRoom();
    em_.x().fld(m);
    o.kind = Operand::Fpu;
    push(o);
    return;
  }
  const bool ownIndex = index != img::NOREG && !st_[ii].pinned;
  const Reg r = ownIndex ? index : allocReg(bit(base) | bit(index));
  em_.x().mov(r, m);
  pop();
  o.kind = Operand::Reg;
  o.reg = r;
  push(o);
}

// Stores the top entry at `pl`; an element's index is the entry below it.
// Both are popped.
void RoutineGen::storePlace(const Place& pl) {
  const size_t iv = st_.size() - 1;
  auto storeTo = [&](const img::Mem& m) {
    Operand& v = st_[st_.size() - 1];
    img::X86& x = em_.x();
    switch (v.kind) {
      case Operand::Imm: x.movImm(m, v.imm); break;
      case Operand::Reg: x.mov(m, v.reg); break;
      case Operand::Fpu: x.fstp(m); break;
      case Operand::Slot: {
        const Reg r = allocReg(bit(m.base) | bit(m.index));
        x.mov(r, img::slotMem(v.slot));
        x.mov(m, r);
        break;
      }
    }
    pop();
  };
  switch (pl.kind) {
    case Place::Frame:
      storeTo(img::slotMem(pl.slot));
      return;
    case Place::Register: {
      const Operand v = st_[iv];
      img::X86& x = em_.x();
      if (v.kind == Operand::Imm) x.movImm(pl.reg, v.imm);
      else if (v.kind == Operand::Slot) x.mov(pl.reg, img::slotMem(v.slot));
      else if (v.kind == Operand::Reg && v.reg != pl.reg) x.mov(pl.reg, v.reg);
      pop();
      return;
    }
    case Place::Static: {
      if (staticBase_ != img::NOREG) {
        storeTo(img::Mem{staticBase_, img::NOREG, 1, 4 * pl.slot});
        return;
      }
      uint32_t avoid = st_[iv].kind == Operand::Reg ? bit(st_[iv].reg) : 0;
      const Reg s = allocReg(avoid);
      em_.x().mov(s, img::slotMem(3));
      storeTo(img::Mem{s, img::NOREG, 1, 4 * pl.slot});
      return;
    }
    default: break;
  }
  Reg index, base;
  storeTo(elementMem(pl, st_.size() - 2, index, base));
  pop();  // the index
}

// --- conditions ---

bool RoutineGen::isTruth(const Expr& e) {
  if (e.constant) return e.type.is(Base::Int) && (e.i == 0 || e.i == -1);
  if (e.kind == ExprKind::Binary) {
    if (isCompare(e.bin)) return true;
    if (e.bin == BinOp::And || e.bin == BinOp::Or || e.bin == BinOp::Xor) return isTruth(*e.a) && isTruth(*e.b);
  }
  if (e.kind == ExprKind::Unary && e.un == UnOp::Not) return isTruth(*e.a);
  return false;
}

// Whether leaving `e` unevaluated changes nothing: no op, nothing that can
// stop the program.
bool RoutineGen::canShortCircuit(const Expr& e) const {
  if (e.hasOps) return false;
  if (e.constant) return true;
  switch (e.kind) {
    case ExprKind::Int:
    case ExprKind::Real:
    case ExprKind::Str: return true;
    case ExprKind::Path: return e.var && !e.var->isArray();
    case ExprKind::Call:
      return (e.call == CallKind::ToInt || e.call == CallKind::ToReal) && canShortCircuit(*e.args[0]);
    case ExprKind::Unary: return canShortCircuit(*e.a);
    case ExprKind::Binary:
      if ((e.bin == BinOp::Div || e.bin == BinOp::Mod) && e.type.is(Base::Int) && !(e.b->constant && e.b->i != 0))
        return false;
      return canShortCircuit(*e.a) && canShortCircuit(*e.b);
  }
  return false;
}

void RoutineGen::cond(Expr& e, Lbl target, bool jumpIf) {
  if (e.constant && e.type.is(Base::Int)) {
    if ((e.i != 0) == jumpIf) em_.jump(target);
    return;
  }
  if (e.kind == ExprKind::Unary && e.un == UnOp::Not && isTruth(*e.a)) return cond(*e.a, target, !jumpIf);
  if (e.kind == ExprKind::Binary && (e.bin == BinOp::And || e.bin == BinOp::Or) && isTruth(*e.a) &&
      isTruth(*e.b) && canShortCircuit(*e.b)) {
    const bool isAnd = e.bin == BinOp::And;
    if (isAnd == jumpIf) {
      // AND, jump when true / OR, jump when false: both must agree.
      Lbl skip = em_.label();
      cond(*e.a, skip, !jumpIf);
      cond(*e.b, target, jumpIf);
      em_.bind(skip);
    } else {
      cond(*e.a, target, jumpIf);
      cond(*e.b, target, jumpIf);
    }
    return;
  }
  if (e.kind == ExprKind::Binary && isCompare(e.bin)) return compareBranch(e, target, jumpIf);
  gen(e);
  const size_t i = st_.size() - 1;
  Operand o = st_[i];
  if (o.kind == Operand::Slot) {
    em_.x().aluImm(img::Alu::Cmp, img::slotMem(o.slot), 0);
  } else {
    const Reg r = toReg(i);
    em_.x().test(r, r);
  }
  pop();
  em_.jumpIf(jumpIf ? Cond::NE : Cond::E, target);
}

void RoutineGen::compareBranch(Expr& e, Lbl target, bool jumpIf) {
  if (e.a->type.is(Base::Str)) {
    genStrCompare(e);
    const Operand o = pop();
    em_.x().aluImm(img::Alu::Cmp, img::slotMem(o.slot), 0);
    em_.jumpIf(jumpIf ? Cond::NE : Cond::E, target);
    return;
  }
  gen(*e.a);
  gen(*e.b);
  compareTop(e.bin, e.a->type.is(Base::Real), target, jumpIf);
}

// Compares the top two entries (popped) and jumps when the comparison's
// truth is `jumpIf`.
void RoutineGen::compareTop(BinOp op, bool real, Lbl target, bool jumpIf) {
  if (real) {
    fpuRoom(2);
    realCompareJump(*this, op, target, jumpIf, em_, [this](size_t i) { loadFpu(i); }, st_);
    return;
  }
  const Cond c = intCompare(this, st_, op, em_, [this](size_t i) { return regRead(i); });
  em_.jumpIf(jumpIf ? c : negate(c), target);
}

}  // namespace qrt::qrtc
