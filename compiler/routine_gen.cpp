// Statements and the routine as a whole.
#include "compiler/routine_gen.h"

#include <stdexcept>

#include "base/vocabulary.h"

namespace qrt::qrtc {

using img::Cond;
using img::Reg;

namespace {

int64_t slotsOf(const Var& v) {
  if (v.dynamic()) return 1 + v.dynamicDims;
  int64_t n = v.elementSize;
  for (int32_t d : v.dims) n *= d;
  return n;
}

// The scalar fields of a type, flattened: offsets of its numbers and of its
// strings.
void flatten(const Program& p, Type t, int32_t offset, std::vector<int32_t>& numbers, std::vector<int32_t>& strings) {
  if (t.is(Base::Struct)) {
    for (const Field& f : p.structs[static_cast<size_t>(t.structIndex)].fields)
      flatten(p, f.type, offset + f.offset, numbers, strings);
    return;
  }
  if (t.is(Base::Str)) strings.push_back(offset);
  else numbers.push_back(offset);
}

struct ScalarField {
  int32_t offset;
  Type type;
};

void scalarFields(const Program& p, Type t, int32_t offset, std::vector<ScalarField>& out) {
  if (t.is(Base::Struct)) {
    for (const Field& f : p.structs[static_cast<size_t>(t.structIndex)].fields) scalarFields(p, f.type, offset + f.offset, out);
    return;
  }
  out.push_back({offset, t});
}

}  // namespace

int32_t assignStaticSlots(Program& p) {
  int64_t next = 0;
  for (Var* v : p.staticVars) {
    v->slot = static_cast<int32_t>(next);
    next += slotsOf(*v);
  }
  return static_cast<int32_t>(next);
}

RoutineGen::RoutineGen(Program& p, img::ImageBuilder& b, img::Routine& r, FuncInfo* func)
    : p_(p), b_(b), r_(r), func_(func), em_(r) {}

void RoutineGen::layoutVars() {
  std::vector<Var*>& vars = func_ ? func_->vars : p_.mainVars;
  int64_t next = 9;
  for (Var* v : vars) {
    v->slot = static_cast<int32_t>(next);
    next += slotsOf(*v);
    if (v->dynamic()) dynamicLocals_.push_back(v);
  }
  nextSlot_ = static_cast<int>(next);
}

int RoutineGen::rawTemp() {
  if (rawUsed_ == rawSlots_.size()) rawSlots_.push_back(nextSlot_++);
  return rawSlots_[rawUsed_++];
}

int RoutineGen::strTemp() {
  if (strUsed_ == strSlots_.size()) strSlots_.push_back(nextSlot_++);
  return strSlots_[strUsed_++];
}

int RoutineGen::permanentRaw() { return nextSlot_++; }

int RoutineGen::constSlot(const std::string& text) {
  auto it = constants_.find(text);
  if (it != constants_.end()) return it->second;
  const int slot = nextSlot_++;
  r_.constant(text, slot);
  constants_.emplace(text, slot);
  return slot;
}

void RoutineGen::statementStart() {
  if (!st_.empty()) throw std::logic_error("values left on the stack between statements");
  rawUsed_ = 0;
  strUsed_ = 0;
}

static bool anyLabel(const Block& b) {
  for (const StmtPtr& s : b) {
    if (!s) continue;
    if (s->kind == StmtKind::Label) return true;
    for (const Clause& c : s->clauses)
      if (anyLabel(c.body)) return true;
    if (anyLabel(s->body)) return true;
  }
  return false;
}

void RoutineGen::generate(Block& body) {
  layoutVars();
  hasLabels_ = anyLabel(body);
  block(body);
  statementStart();
  if (!func_) {
    if (em_.reachable()) em_.op().end();
  } else if (em_.reachable()) {
    if (func_->result.is(Base::Str)) {
      // Falling off the end returns "" as an object of this frame, like
      // every string return, so that the caller's variable keeps its own.
      const int empty = constSlot("");
      em_.op().join(empty, empty, 8);
    }
    freeDynamicArrays();
    em_.op().ret();
  }
  em_.finish();
  r_.setSlotCount(std::max(nextSlot_, 9));
}

void RoutineGen::block(Block& b) {
  for (StmtPtr& s : b)
    if (s) statement(*s);
}

void RoutineGen::statement(Stmt& s) {
  statementStart();
  switch (s.kind) {
    case StmtKind::Decl: return declaration(s);
    case StmtKind::Array: return arrayStatement(s);
    case StmtKind::Assign: return assign(s);
    case StmtKind::Call: genCall(*s.call, 0, false); return;
    case StmtKind::If: return ifStatement(s);
    case StmtKind::For: return forStatement(s);
    case StmtKind::While: return whileStatement(s);
    case StmtKind::Loop: return loopStatement(s);
    case StmtKind::Switch: return switchStatement(s);
    case StmtKind::Select: return selectStatement(s);
    case StmtKind::Break: em_.jump(loops_.back().breakTo); return;
    case StmtKind::Continue:
      for (size_t k = loops_.size(); k-- > 0;) {
        if (loops_[k].continueTo >= 0) {
          em_.jump(loops_[k].continueTo);
          return;
        }
      }
      return;
    case StmtKind::Label: {
      auto it = labels_.find(s.key);
      if (it == labels_.end()) it = labels_.emplace(s.key, em_.label()).first;
      em_.bind(it->second);
      return;
    }
    case StmtKind::Goto: {
      auto it = labels_.find(s.key);
      if (it == labels_.end()) it = labels_.emplace(s.key, em_.label()).first;
      em_.jump(it->second);
      return;
    }
    case StmtKind::End: return endProgram();
    case StmtKind::Return: return returnStatement(&s);
  }
}

// --- assignments and declarations ---

void RoutineGen::assign(Stmt& s) {
  if (s.lhs->type.is(Base::Struct)) return assignStruct(*s.lhs, *s.rhs);
  if (assignInPlace(s)) return;
  Place pl = place(*s.lhs);
  if (s.lhs->type.is(Base::Str)) return storeStr(pl, *s.rhs);
  gen(*s.rhs);
  storePlace(pl);
}

// A structure copied field by field; strings are copied, not shared.
void RoutineGen::assignStruct(Expr& lhs, Expr& rhs) {
  Place l = place(lhs);
  const bool lElem = l.kind != Place::Frame && l.kind != Place::Static;
  int lIndex = lElem ? toSlot(st_.size() - 1) : 0;
  if (lElem) pop();
  Place r = place(rhs);
  const bool rElem = r.kind != Place::Frame && r.kind != Place::Static;
  int rIndex = rElem ? toSlot(st_.size() - 1) : 0;
  if (rElem) pop();
  auto pushIndex = [&](int slot) {
    Operand o;
    o.kind = Operand::Slot;
    o.slot = slot;
    push(o);
  };
  std::vector<ScalarField> fields;
  scalarFields(p_, lhs.type, 0, fields);
  for (const ScalarField& f : fields) {
    Place lf = l, rf = r;
    lf.slot += f.offset;
    rf.slot += f.offset;
    lf.type = rf.type = f.type;
    lf.real = rf.real = f.type.is(Base::Real);
    if (f.type.is(Base::Str)) {
      if (rElem) pushIndex(rIndex);
      StrVal v = strFromPlace(rf);
      if (lElem) pushIndex(lIndex);
      strOp7(lf, v);
    } else {
      if (lElem) pushIndex(lIndex);
      if (rElem) pushIndex(rIndex);
      loadPlace(rf);
      storePlace(lf);
    }
  }
}

static Place varPlace(const Var& v) {
  Place pl;
  pl.kind = v.isStatic ? Place::Static : Place::Frame;
  pl.slot = v.slot;
  pl.type = v.type;
  pl.real = v.type.is(Base::Real);
  return pl;
}

void RoutineGen::declaration(Stmt& s) {
  for (DeclItem& item : s.items) {
    if (!item.var) continue;
    Var& v = *item.var;
    statementStart();
    if (v.dynamic()) {
      dynamicArray(v, item);
      continue;
    }
    if (item.init) {
      Place pl = varPlace(v);
      if (v.type.is(Base::Str)) {
        storeStr(pl, *item.init);
      } else {
        gen(*item.init);
        storePlace(pl);
      }
      continue;
    }
    // A STATIC keeps its value; a variable of a frame starts again at zero
    // each time its declaration runs (a fresh frame already is zero).
    if (!v.isStatic && !s.runsOnce) zeroVar(v);
  }
}

// Zeroes a frame variable: numbers to 0, strings to "".
void RoutineGen::zeroVar(Var& v) {
  std::vector<int32_t> numbers, strings;
  flatten(p_, v.type, 0, numbers, strings);
  const int64_t count = slotsOf(v) / std::max(v.elementSize, 1);
  img::X86& x = em_.x();
  if (strings.empty()) {
    const int64_t total = slotsOf(v);
    if (total <= 16) {
      for (int64_t k = 0; k < total; ++k) x.movImm(img::slotMem(v.slot + static_cast<int>(k)), 0);
      return;
    }
    // mov ecx, total / L: mov dword [ebx+ecx*4+4*(slot-1)], 0 / dec ecx / jnz L
    x.movImm(img::ECX, static_cast<uint32_t>(total));
    Lbl top = em_.label();
    em_.bind(top);
    em_.x().movImm(img::Mem{img::EBX, img::ECX, 4, 4 * (v.slot - 1)}, 0);
    em_.x().dec(img::ECX);
    em_.jumpIf(Cond::NE, top);
    return;
  }
  // Elements with strings: one store op per string.
  const int32_t size = std::max(v.elementSize, 1);
  if (count <= 8) {
    for (int64_t e = 0; e < count; ++e) {
      const int32_t first = v.slot + static_cast<int32_t>(e) * size;
      for (int32_t n : numbers) em_.x().movImm(img::slotMem(first + n), 0);
      for (int32_t s : strings) em_.op().store(first + s, 4);  // slot 4 is always 0: ""
    }
    return;
  }
  const int i = permanentRaw();
  em_.x().movImm(img::slotMem(i), 0);
  Lbl top = em_.label();
  em_.bind(top);
  for (int32_t n : numbers) {
    img::X86& y = em_.x();
    y.mov(img::EAX, img::slotMem(i));
    y.imulImm(img::EAX, img::EAX, size);
    y.movImm(img::Mem{img::EBX, img::EAX, 4, 4 * (v.slot + n)}, 0);
  }
  for (int32_t s : strings) {
    img::X86& y = em_.x();
    y.mov(img::EAX, img::slotMem(i));
    y.imulImm(img::EAX, img::EAX, size);
    y.aluImm(img::Alu::Add, img::EAX, v.slot + s);
    y.mov(img::slotMem(6), img::EAX);
    img::StrForm form;
    form.firstElement = true;
    em_.op().store(6, 4, form);
  }
  img::X86& z = em_.x();
  z.mov(img::EAX, img::slotMem(i));
  z.inc(img::EAX);
  z.mov(img::slotMem(i), img::EAX);
  z.aluImm(img::Alu::Cmp, img::EAX, static_cast<int32_t>(count));
  em_.jumpIf(Cond::L, top);
}

// An array whose size is computed: its dimensions (each at least 1, their
// product a block the runtime can give), then REDIM; an earlier block of
// the same declaration is freed first.
void RoutineGen::dynamicArray(Var& v, DeclItem& item) {
  const size_t base = st_.size();
  for (ExprPtr& d : item.dims) gen(*d);
  // Each dimension into its slot, checked; the product in EAX.
  Reg statics = img::NOREG;
  auto dimMem = [&](int d) -> img::Mem {
    if (!v.isStatic) return img::slotMem(v.slot + 1 + d);
    return img::Mem{statics, img::NOREG, 1, 4 * (v.slot + 1 + d)};
  };
  flush();
  img::X86& x = em_.x();
  if (v.isStatic) {
    statics = img::EDX;
    x.mov(statics, img::slotMem(3));
  }
  for (int d = 0; d < v.dynamicDims; ++d) {
    const Operand& o = st_[base + static_cast<size_t>(d)];
    if (o.kind == Operand::Imm) em_.x().movImm(img::ECX, o.imm);
    else em_.x().mov(img::ECX, img::slotMem(o.slot));
    em_.x().aluImm(img::Alu::Cmp, img::ECX, 1);
    em_.failIf(Cond::L);
    em_.x().mov(dimMem(d), img::ECX);
    if (d == 0) {
      em_.x().mov(img::EAX, img::ECX);
    } else {
      em_.x().imul(img::EAX, img::ECX);
      em_.failIf(Cond::O);
    }
  }
  st_.resize(base);
  (void)x;
  const int total = rawTemp();
  em_.x().mov(img::slotMem(total), img::EAX);
  em_.x().aluImm(img::Alu::Cmp, img::EAX, 1 << 28);
  em_.failIf(Cond::G);
  int addr = v.slot;
  if (v.isStatic) {
    addr = rawTemp();
    img::X86& y = em_.x();
    y.mov(img::EAX, img::slotMem(3));
    y.mov(img::EAX, img::Mem{img::EAX, img::NOREG, 1, 4 * v.slot});
    y.mov(img::slotMem(addr), img::EAX);
  }
  em_.op().command("REDIMFREE", 0, {addr});
  em_.op().command("REDIM", addr, {total});
  if (v.isStatic) {
    img::X86& y = em_.x();
    y.mov(img::ECX, img::slotMem(3));
    y.mov(img::EAX, img::slotMem(addr));
    y.mov(img::Mem{img::ECX, img::NOREG, 1, 4 * v.slot}, img::EAX);
  }
}

void RoutineGen::arrayStatement(Stmt& s) {
  if (s.items.empty() || !s.items.front().var) return;
  Var& v = *s.items.front().var;
  const int32_t n = v.dims.front();
  const bool isStr = v.type.is(Base::Str);
  for (int32_t k = 0; k < n; ++k) {
    Expr* value = k < static_cast<int32_t>(s.values.size()) ? s.values[static_cast<size_t>(k)].get() : nullptr;
    Place pl = varPlace(v);
    pl.slot += k;
    if (isStr) {
      StrVal src;
      src.slot = value ? constSlot(value->s) : 4;
      strOp7(pl, src);
      continue;
    }
    Operand o;
    o.kind = Operand::Imm;
    o.real = v.type.is(Base::Real);
    if (value) o.imm = o.real ? img::realBits(value->r) : static_cast<uint32_t>(value->i);
    push(o);
    storePlace(pl);
  }
}

// --- control flow ---

void RoutineGen::ifStatement(Stmt& s) {
  Lbl end = em_.label();
  for (size_t k = 0; k < s.clauses.size(); ++k) {
    Clause& c = s.clauses[k];
    const bool last = k + 1 == s.clauses.size();
    if (!c.cond) {
      block(c.body);
      break;
    }
    Lbl next = em_.label();
    statementStart();
    cond(*c.cond, next, false);
    block(c.body);
    if (!last) em_.jump(end);
    em_.bind(next);
  }
  em_.bind(end);
}

// FOR i = a TO b STEP s: b and s once; the body does not run when a is
// already past b; the counter stops short of overflowing.
void RoutineGen::forStatement(Stmt& s) {
  const bool promoted = promoted_.empty() && staticBase_ == img::NOREG && beginPromotion(s);
  Place counter = place(*s.lhs);
  gen(*s.rhs);
  storePlace(counter);

  Operand limit;
  if (s.cond->constant) {
    limit.kind = Operand::Imm;
    limit.imm = static_cast<uint32_t>(s.cond->i);
  } else {
    const int slot = permanentRaw();
    gen(*s.cond);
    storePlace(Place{Place::Frame, slot, 0, false, intType()});
    limit.kind = Operand::Slot;
    limit.slot = slot;
  }
  const bool constantStep = !s.step || s.step->constant;
  const int32_t step = !s.step ? 1 : s.step->constant ? s.step->i : 0;
  int stepSlot = 0;
  if (!constantStep) {
    stepSlot = permanentRaw();
    gen(*s.step);
    storePlace(Place{Place::Frame, stepSlot, 0, false, intType()});
  }

  Lbl body = em_.label(), cont = em_.label(), end = em_.label(), test = em_.label();
  // Compares the counter with the limit; jumps to `target` when it is past it
  // (`past`) or within it.
  auto compare = [&](bool up, Lbl target, bool past) {
    statementStart();
    loadPlace(counter);
    push(limit);
    Reg r = regRead(st_.size() - 2);
    const Operand l = st_.back();
    if (l.kind == Operand::Imm) em_.x().aluImm(img::Alu::Cmp, r, static_cast<int32_t>(l.imm));
    else em_.x().alu(img::Alu::Cmp, r, img::slotMem(l.slot));
    pop();
    pop();
    const Cond beyond = up ? Cond::G : Cond::L;
    em_.jumpIf(past ? beyond : static_cast<Cond>(static_cast<uint8_t>(beyond) ^ 1), target);
  };
  // The counter steps where it is; a step past the largest or smallest INT
  // ends the loop (the counter wraps, as all INT arithmetic does).
  auto advance = [&]() {
    statementStart();
    img::X86& x = em_.x();
    Operand by;
    if (constantStep) {
      by.kind = Operand::Imm;
      by.imm = static_cast<uint32_t>(step);
    } else {
      by.kind = Operand::Reg;
      by.reg = allocReg(0);
      x.mov(by.reg, img::slotMem(stepSlot));
    }
    img::Reg base = img::NOREG;
    img::Mem m;
    switch (counter.kind) {
      case Place::Register:
        if (by.kind == Operand::Imm) x.aluImm(img::Alu::Add, counter.reg, static_cast<int32_t>(by.imm));
        else x.alu(img::Alu::Add, counter.reg, by.reg);
        em_.jumpIf(Cond::O, end);
        return;
      case Place::Static:
        base = staticBase_;
        if (base == img::NOREG) {
          base = by.kind == Operand::Reg && by.reg == img::EAX ? img::ECX : img::EAX;
          x.mov(base, img::slotMem(3));
        }
        m = img::Mem{base, img::NOREG, 1, 4 * counter.slot};
        break;
      default: m = img::slotMem(counter.slot); break;
    }
    if (by.kind == Operand::Imm) x.aluImm(img::Alu::Add, m, static_cast<int32_t>(by.imm));
    else x.alu(img::Alu::Add, m, by.reg);
    em_.jumpIf(Cond::O, end);
  };

  if (constantStep) {
    const bool up = step >= 0;
    compare(up, end, true);
    em_.bind(body);
    loopBody(s.body, end, cont);
    em_.bind(cont);
    advance();
    compare(up, body, false);
  } else {
    Lbl down = em_.label();
    em_.bind(test);
    statementStart();
    em_.x().aluImm(img::Alu::Cmp, img::slotMem(stepSlot), 0);
    em_.jumpIf(Cond::L, down);
    compare(true, end, true);
    em_.jump(body);
    em_.bind(down);
    compare(false, end, true);
    em_.bind(body);
    loopBody(s.body, end, cont);
    em_.bind(cont);
    advance();
    em_.jump(test);
  }
  em_.bind(end);
  if (promoted) endPromotion();
}

void RoutineGen::loopBody(Block& body, Lbl breakTo, Lbl continueTo) {
  loops_.push_back({breakTo, continueTo});
  block(body);
  loops_.pop_back();
}

void RoutineGen::whileStatement(Stmt& s) {
  const bool promoted = promoted_.empty() && staticBase_ == img::NOREG && beginPromotion(s);
  Lbl test = em_.label(), body = em_.label(), end = em_.label();
  em_.jump(test);
  em_.bind(body);
  loopBody(s.body, end, test);
  em_.bind(test);
  statementStart();
  cond(*s.cond, body, true);
  em_.bind(end);
  if (promoted) endPromotion();
}

void RoutineGen::loopStatement(Stmt& s) {
  const bool promoted = promoted_.empty() && staticBase_ == img::NOREG && beginPromotion(s);
  Lbl top = em_.label(), end = em_.label();
  em_.bind(top);
  loopBody(s.body, end, top);
  em_.jump(top);
  em_.bind(end);
  if (promoted) endPromotion();
}

// SWITCH: compares and jumps to the matching CASE, which runs on into the
// next one until BREAK.
void RoutineGen::switchStatement(Stmt& s) {
  Lbl end = em_.label();
  std::vector<Lbl> at(s.clauses.size());
  Lbl fallback = end;
  for (size_t k = 0; k < s.clauses.size(); ++k) {
    at[k] = em_.label();
    if (s.clauses[k].isDefault) fallback = at[k];
  }
  gen(*s.cond);
  const size_t i = st_.size() - 1;
  if (st_[i].kind == Operand::Imm) {
    // A constant: straight to its case.
    Lbl target = fallback;
    for (size_t k = 0; k < s.clauses.size(); ++k)
      for (ExprPtr& v : s.clauses[k].values)
        if (static_cast<uint32_t>(v->i) == st_[i].imm) target = at[k];
    pop();
    em_.jump(target);
  } else {
    const Reg r = toReg(i);
    for (size_t k = 0; k < s.clauses.size(); ++k) {
      for (ExprPtr& v : s.clauses[k].values) {
        em_.x().aluImm(img::Alu::Cmp, r, v->i);
        em_.jumpIf(Cond::E, at[k]);
      }
    }
    pop();
    em_.jump(fallback);
  }
  loops_.push_back({end, -1});
  for (size_t k = 0; k < s.clauses.size(); ++k) {
    em_.bind(at[k]);
    block(s.clauses[k].body);
  }
  loops_.pop_back();
  em_.bind(end);
}

// SELECT: the first WHEN with a value equal to the SELECT's runs; no running
// on.
void RoutineGen::selectStatement(Stmt& s) {
  Lbl end = em_.label();
  std::vector<Lbl> at(s.clauses.size());
  Lbl other = end;
  for (size_t k = 0; k < s.clauses.size(); ++k) {
    at[k] = em_.label();
    if (s.clauses[k].isDefault) other = at[k];
  }
  const Type t = s.cond->type;
  if (t.is(Base::Str)) {
    StrVal sel = genStr(*s.cond);
    if (sel.borrowed) sel = ownCopy(sel);
    for (size_t k = 0; k < s.clauses.size(); ++k) {
      for (ExprPtr& v : s.clauses[k].values) {
        StrVal w = genStr(*v);
        const int r = rawTemp();
        flush();
        img::StrForm form;
        form.firstStatic = sel.isStatic;
        form.secondStatic = w.isStatic;
        em_.op().compare(img::Equal, sel.slot, w.slot, r, form);
        em_.x().aluImm(img::Alu::Cmp, img::slotMem(r), 0);
        em_.jumpIf(Cond::NE, at[k]);
      }
    }
  } else {
    gen(*s.cond);
    if (st_.back().kind == Operand::Fpu) flush();
    Operand sel;
    sel.kind = Operand::Slot;
    sel.slot = toSlot(st_.size() - 1);
    sel.real = t.is(Base::Real);
    pop();
    for (size_t k = 0; k < s.clauses.size(); ++k) {
      for (ExprPtr& v : s.clauses[k].values) {
        push(sel);
        gen(*v);
        compareTop(BinOp::Eq, sel.real, at[k], true);
      }
    }
  }
  em_.jump(other);
  for (size_t k = 0; k < s.clauses.size(); ++k) {
    em_.bind(at[k]);
    block(s.clauses[k].body);
    em_.jump(end);
  }
  em_.bind(end);
}

void RoutineGen::freeDynamicArrays() {
  for (Var* v : dynamicLocals_) em_.op().command("REDIMFREE", 0, {v->slot});
}

void RoutineGen::returnStatement(Stmt* s) {
  if (!func_) return endProgram();
  if (s && s->value) {
    Expr& v = *s->value;
    if (func_->result.is(Base::Str)) {
      const bool direct = (v.kind == ExprKind::Binary && v.bin == BinOp::Add) ||
                          (v.kind == ExprKind::Call && v.call == CallKind::Func);
      if (direct) {
        genStr(v, 8);
      } else {
        // Joined with "": the result is always this frame's own object,
        // which the return hands to the caller as a copy.
        StrVal val = genStr(v);
        const int empty = constSlot("");
        flush();
        img::StrForm form;
        form.firstStatic = val.isStatic;
        em_.op().join(val.slot, empty, 8, form);
      }
    } else {
      gen(v);
      storePlace(Place{Place::Frame, 8, 0, func_->result.is(Base::Real), func_->result});
    }
  } else if (func_->result.is(Base::Str)) {
    const int empty = constSlot("");
    em_.op().join(empty, empty, 8);
  }
  freeDynamicArrays();
  em_.op().ret();
  em_.leave();
}

void RoutineGen::endProgram() {
  if (!func_) {
    em_.op().end();
    em_.leave();
    return;
  }
  // Op 0 in a FUNC returns; SYSEXIT ends the program from anywhere.
  em_.op().command("SYSEXIT", 0, {});
  em_.op().ret();
  em_.leave();
}

}  // namespace qrt::qrtc
