// Strings, and calls of FUNCs, EXFUNCs and built-in commands: the ops.
#include <stdexcept>

#include "base/vocabulary.h"
#include "compiler/routine_gen.h"

namespace qrt::qrtc {

using img::Reg;

namespace {

int32_t compareCode(BinOp op) {
  switch (op) {
    case BinOp::Gt: return img::Greater;
    case BinOp::Lt: return img::Less;
    case BinOp::Ge: return img::GreaterEq;
    case BinOp::Le: return img::LessEq;
    case BinOp::Ne: return img::NotEq;
    default: return img::Equal;
  }
}

bool isJoin(const Expr& e) { return e.kind == ExprKind::Binary && e.bin == BinOp::Add && e.type.is(Base::Str); }

bool laterOps(const std::vector<ExprPtr>& args, size_t k) {
  for (size_t j = k + 1; j < args.size(); ++j)
    if (args[j]->hasOps) return true;
  return false;
}

}  // namespace

// A string's value as an op operand. `dest` (a frame slot of a string
// variable, or 0) receives a join's or a FUNC's result directly.
StrVal RoutineGen::genStr(Expr& e, int dest) {
  StrVal v;
  switch (e.kind) {
    case ExprKind::Str:
      v.slot = constSlot(e.s);
      return v;
    case ExprKind::Path: {
      Place pl = place(e);
      return strFromPlace(pl);
    }
    case ExprKind::Call: {
      const bool owned = e.call == CallKind::Func;
      const int slot = genCall(e, owned ? dest : 0, true);
      v.slot = slot;
      v.borrowed = !owned;
      v.ownedTemp = owned && dest == 0;
      return v;
    }
    case ExprKind::Binary: {
      if (!isJoin(e)) break;
      StrVal a = genStr(*e.a);
      if (a.borrowed && e.b->hasOps) a = ownCopy(a);
      StrVal b = genStr(*e.b);
      // A chain a + b + c reuses the first join's temporary.
      int c = dest;
      if (!c) c = a.ownedTemp ? a.slot : strTemp();
      flush();
      img::StrForm form;
      form.firstStatic = a.isStatic;
      form.secondStatic = b.isStatic;
      em_.op().join(a.slot, b.slot, c, form);
      v.slot = c;
      v.ownedTemp = dest == 0;
      return v;
    }
    default: break;
  }
  throw std::logic_error("a string expression of a kind the generator does not know");
}

// A string variable's value. An element is read through its address, copied
// into a raw slot: borrowed until the next op.
StrVal RoutineGen::strFromPlace(const Place& pl) {
  StrVal v;
  switch (pl.kind) {
    case Place::Frame:
      v.slot = pl.slot;
      return v;
    case Place::Static:
      v.isStatic = true;
      v.slot = pl.slot;
      v.borrowed = true;
      return v;
    default: break;
  }
  loadPlace(pl);  // the element's object address, in a register
  v.slot = toSlot(st_.size() - 1);
  pop();
  v.borrowed = true;
  return v;
}

StrVal RoutineGen::ownCopy(const StrVal& src) {
  StrVal v;
  v.slot = strTemp();
  v.ownedTemp = true;
  flush();
  img::StrForm form;
  form.secondStatic = src.isStatic;
  em_.op().store(v.slot, src.slot, form);
  return v;
}

// A frame slot holding the string (a command's operand): a static string's
// address is copied into a raw slot.
int RoutineGen::frameStrSlot(const StrVal& v) {
  if (!v.isStatic) return v.slot;
  const Reg r = allocReg(0);
  img::X86& x = em_.x();
  x.mov(r, img::slotMem(3));
  x.mov(r, img::Mem{r, img::NOREG, 1, 4 * v.slot});
  const int t = rawTemp();
  x.mov(img::slotMem(t), r);
  return t;
}

// dest <- src by the store op. An element destination's index is on top of
// the value stack; it goes to slot 6 as the element's slot number.
void RoutineGen::strOp7(const Place& dest, const StrVal& src) {
  img::StrForm form;
  form.secondStatic = src.isStatic;
  int x = dest.slot;
  if (dest.kind == Place::FrameElem || dest.kind == Place::StaticElem) {
    const size_t ii = st_.size() - 1;
    if (st_[ii].kind == Operand::Imm) {
      x = dest.slot + static_cast<int32_t>(st_[ii].imm);
      pop();
      form.firstStatic = dest.kind == Place::StaticElem;
    } else {
      const Reg r = toReg(ii);
      em_.x().aluImm(img::Alu::Add, r, dest.slot);
      pop();
      flush();
      em_.x().mov(img::slotMem(6), r);
      form.firstElement = true;
      form.firstStatic = dest.kind == Place::StaticElem;
      em_.op().store(6, src.slot, form);
      return;
    }
  } else {
    form.firstStatic = dest.kind == Place::Static;
  }
  flush();
  em_.op().store(x, src.slot, form);
}

void RoutineGen::storeStr(const Place& pl, Expr& value) {
  if (pl.kind == Place::Frame && (isJoin(value) || (value.kind == ExprKind::Call && value.call == CallKind::Func))) {
    genStr(value, pl.slot);
    return;
  }
  StrVal v = genStr(value);
  strOp7(pl, v);
}

void RoutineGen::genStrCompare(Expr& e) {
  StrVal a = genStr(*e.a);
  if (a.borrowed && e.b->hasOps) a = ownCopy(a);
  StrVal b = genStr(*e.b);
  const int r = rawTemp();
  flush();
  img::StrForm form;
  form.firstStatic = a.isStatic;
  form.secondStatic = b.isStatic;
  em_.op().compare(compareCode(e.bin), a.slot, b.slot, r, form);
  Operand o;
  o.kind = Operand::Slot;
  o.slot = r;
  push(o);
}

// A call's op. Returns the slot holding the result (0 when there is none or
// it is not wanted). `dest`: where a FUNC's string result goes.
int RoutineGen::genCall(Expr& e, int dest, bool wantValue) {
  std::vector<Type> params;
  Type result;
  if (e.call == CallKind::Command) {
    const CommandInfo& c = kCommands[e.command];
    for (int k = 0; k < c.parameterCount(); ++k) {
      const char l = c.parameterLetter(k);
      params.push_back(l == 'S' ? intType() : l == 'F' ? realType() : strType());
    }
    const char rl = c.resultLetter();
    result = rl == 'S' ? intType() : rl == 'F' ? realType() : rl == 'M' ? strType() : Type{};
  } else {
    params = e.func->paramTypes;
    result = e.func->result;
  }
  const size_t base = st_.size();
  std::vector<int> slots(e.args.size(), -1);
  for (size_t k = 0; k < e.args.size(); ++k) {
    Expr& a = *e.args[k];
    if (!params[k].is(Base::Str)) {
      gen(a);
      continue;
    }
    StrVal v = genStr(a);
    const bool later = laterOps(e.args, k);
    switch (e.call) {
      case CallKind::Command:
        if (v.borrowed && later) v = ownCopy(v);
        slots[k] = frameStrSlot(v);
        break;
      case CallKind::Func:
        // The FUNC shares the text until it assigns; a text someone else
        // may change meanwhile goes as a copy.
        if (v.borrowed || v.isStatic) v = ownCopy(v);
        slots[k] = v.slot;
        break;
      default: {
        // A DLL may write into the text it is given: a variable of this
        // frame goes itself (that is how a DLL fills a buffer), anything
        // else as a copy, so that constants stay what they are.
        const bool variable = a.kind == ExprKind::Path && a.var && !a.var->isStatic && !a.var->isArray();
        if (!variable) v = ownCopy(v);
        slots[k] = v.slot;
        break;
      }
    }
  }
  flush();
  size_t next = base;
  for (size_t k = 0; k < e.args.size(); ++k) {
    if (slots[k] >= 0) continue;
    slots[k] = toSlot(next++);
  }
  st_.resize(base);

  int resultSlot = 0;
  if (!result.is(Base::None)) {
    if (result.is(Base::Str)) {
      if (e.call == CallKind::Func) resultSlot = dest ? dest : (wantValue ? strTemp() : 0);
      else resultSlot = wantValue ? rawTemp() : 0;
    } else {
      resultSlot = wantValue ? (dest ? dest : rawTemp()) : 0;
    }
  }
  img::Routine& r = em_.op();
  switch (e.call) {
    case CallKind::Command: r.builtin(e.command, resultSlot, slots); break;
    case CallKind::Func: r.call(e.func->routine, resultSlot, slots); break;
    case CallKind::Exfunc: {
      // The function's first parameter receives the last operand.
      std::vector<int> reversed(slots.rbegin(), slots.rend());
      r.exfuncCall(e.func->routine, resultSlot, reversed);
      break;
    }
    default: throw std::logic_error("a call of a kind the generator does not know");
  }
  return resultSlot;
}

}  // namespace qrt::qrtc
