// Loops whose code is native from end to end keep their busiest INT
// variables (and the static area's address) in ESI and EDI for as long as
// they run: loaded before the loop, written back where every way out of it
// meets. No op runs inside such a loop, so nothing else reads the frame
// meanwhile.
#include <algorithm>

#include "compiler/routine_gen.h"

namespace qrt::qrtc {

namespace {

constexpr img::Reg kLoopRegs[] = {img::ESI, img::EDI};
constexpr int kStaticBase = -1;  // the weights' key for the static area's address

bool promotable(const Var* v) { return v && v->type.is(Base::Int) && !v->isArray() && !v->isStatic; }

bool structHasStrings(const Program& p, Type t) {
  if (t.is(Base::Str)) return true;
  if (!t.is(Base::Struct)) return false;
  for (const Field& f : p.structs[static_cast<size_t>(t.structIndex)].fields)
    if (structHasStrings(p, f.type)) return true;
  return false;
}

}  // namespace

bool RoutineGen::pureExpr(const Expr& e) const {
  if (e.hasOps) return false;
  return !e.type.is(Base::Str);
}

bool RoutineGen::pureBlock(const Block& b) const {
  for (const StmtPtr& s : b)
    if (s && !pure(*s)) return false;
  return true;
}

// Whether a statement's code has no op in it.
bool RoutineGen::pure(const Stmt& s) const {
  auto exprOk = [&](const ExprPtr& e) { return !e || pureExpr(*e); };
  switch (s.kind) {
    case StmtKind::Decl:
      for (const DeclItem& item : s.items) {
        if (!item.var || item.var->dynamic() || structHasStrings(p_, item.var->type)) return false;
        if (!exprOk(item.init)) return false;
      }
      return true;
    case StmtKind::Array: return !s.items.empty() && s.items.front().var && !s.items.front().var->type.is(Base::Str);
    case StmtKind::Assign:
      if (structHasStrings(p_, s.lhs->type)) return false;
      if (!pureExpr(*s.lhs) && !s.lhs->type.is(Base::Struct)) return false;
      for (const Selector& sel : s.lhs->path)
        if (sel.index && !pureExpr(*sel.index)) return false;
      return s.lhs->type.is(Base::Struct) || pureExpr(*s.rhs);
    case StmtKind::If:
      for (const Clause& c : s.clauses)
        if (!exprOk(c.cond) || !pureBlock(c.body)) return false;
      return true;
    case StmtKind::For: return exprOk(s.lhs) && exprOk(s.rhs) && exprOk(s.cond) && exprOk(s.step) && pureBlock(s.body);
    case StmtKind::While: return exprOk(s.cond) && pureBlock(s.body);
    case StmtKind::Loop: return pureBlock(s.body);
    case StmtKind::Switch:
      if (!exprOk(s.cond)) return false;
      for (const Clause& c : s.clauses)
        if (!pureBlock(c.body)) return false;
      return true;
    case StmtKind::Select:
      if (!exprOk(s.cond)) return false;
      for (const Clause& c : s.clauses) {
        for (const ExprPtr& v : c.values)
          if (!exprOk(v)) return false;
        if (!pureBlock(c.body)) return false;
      }
      return true;
    case StmtKind::Break:
    case StmtKind::Continue: return true;
    default: return false;  // calls, labels, jumps, returns and the end run ops
  }
}

void RoutineGen::weighExpr(const Expr& e, int weight, std::unordered_map<int, int>& slots, int& statics) const {
  if (e.kind == ExprKind::Path && e.var) {
    if (e.var->isStatic) statics += weight;
    else if (promotable(e.var)) slots[e.var->slot] += weight;
    for (const Selector& s : e.path)
      if (s.index) weighExpr(*s.index, weight, slots, statics);
  }
  if (e.a) weighExpr(*e.a, weight, slots, statics);
  if (e.b) weighExpr(*e.b, weight, slots, statics);
  for (const ExprPtr& a : e.args) weighExpr(*a, weight, slots, statics);
}

// Uses of each variable in a loop, an inner loop's counting eight times as
// much as its outer one's.
void RoutineGen::weigh(const Stmt& s, int weight, std::unordered_map<int, int>& slots, int& statics) const {
  auto w = [&](const ExprPtr& e, int k) {
    if (e) weighExpr(*e, k, slots, statics);
  };
  const bool loop = s.kind == StmtKind::For || s.kind == StmtKind::While || s.kind == StmtKind::Loop;
  const int inner = loop ? std::min(weight * 8, 1 << 20) : weight;
  for (const DeclItem& item : s.items) w(item.init, weight);
  w(s.lhs, inner);
  w(s.rhs, weight);
  w(s.cond, inner);
  w(s.step, weight);
  for (const Clause& c : s.clauses) {
    w(c.cond, weight);
    for (const ExprPtr& v : c.values) w(v, weight);
    for (const StmtPtr& b : c.body)
      if (b) weigh(*b, weight, slots, statics);
  }
  for (const StmtPtr& b : s.body)
    if (b) weigh(*b, inner, slots, statics);
  // A FOR's counter is read and written at every turn.
  if (s.kind == StmtKind::For && s.lhs && s.lhs->var && promotable(s.lhs->var)) slots[s.lhs->var->slot] += inner * 3;
}

bool RoutineGen::beginPromotion(Stmt& loop) {
  if (hasLabels_ || !pure(loop)) return false;
  std::unordered_map<int, int> slots;
  int statics = 0;
  weigh(loop, 1, slots, statics);
  std::vector<std::pair<int, int>> ranked;  // {weight, slot}
  for (auto [slot, weight] : slots) ranked.push_back({weight, slot});
  if (statics > 0) ranked.push_back({statics, kStaticBase});
  std::sort(ranked.begin(), ranked.end(), [](auto a, auto b) { return a.first != b.first ? a.first > b.first : a.second < b.second; });
  size_t next = 0;
  img::X86& x = em_.x();
  for (const auto& [weight, slot] : ranked) {
    if (next == std::size(kLoopRegs) || weight < 8) break;
    const img::Reg r = kLoopRegs[next++];
    if (slot == kStaticBase) {
      staticBase_ = r;
      x.mov(r, img::slotMem(3));
    } else {
      promoted_[slot] = r;
      x.mov(r, img::slotMem(slot));
    }
    reserved_ |= 1u << r;
  }
  return next > 0;
}

void RoutineGen::endPromotion() {
  img::X86& x = em_.x();
  for (auto [slot, reg] : promoted_) x.mov(img::slotMem(slot), reg);
  promoted_.clear();
  staticBase_ = img::NOREG;
  reserved_ = 0;
}

// v = v + e (and -, AND, OR, XOR; e + v for the commutative ones) changes v
// where it is.
bool RoutineGen::assignInPlace(Stmt& s) {
  Expr& l = *s.lhs;
  Expr& r = *s.rhs;
  if (!l.type.is(Base::Int) || r.kind != ExprKind::Binary || r.constant) return false;
  if (r.bin != BinOp::Add && r.bin != BinOp::Sub && r.bin != BinOp::And && r.bin != BinOp::Or && r.bin != BinOp::Xor)
    return false;
  if (l.kind != ExprKind::Path || !l.path.empty() || !l.var || l.var->isArray() || l.var->isStatic) return false;
  auto same = [&](const Expr& e) { return e.kind == ExprKind::Path && e.path.empty() && e.var == l.var; };
  Expr* other = nullptr;
  if (same(*r.a)) other = r.b.get();
  else if (r.bin != BinOp::Sub && same(*r.b)) other = r.a.get();
  if (!other) return false;
  Place pl = place(l);
  gen(*other);
  const Operand v = st_.back();
  img::X86& x = em_.x();
  const img::Alu op = r.bin == BinOp::Add   ? img::Alu::Add
                      : r.bin == BinOp::Sub ? img::Alu::Sub
                      : r.bin == BinOp::And ? img::Alu::And
                      : r.bin == BinOp::Or  ? img::Alu::Or
                                            : img::Alu::Xor;
  if (pl.kind == Place::Register) {
    if (v.kind == Operand::Imm) x.aluImm(op, pl.reg, static_cast<int32_t>(v.imm));
    else if (v.kind == Operand::Slot) x.alu(op, pl.reg, img::slotMem(v.slot));
    else x.alu(op, pl.reg, v.reg);
  } else {
    if (v.kind == Operand::Imm) {
      x.aluImm(op, img::slotMem(pl.slot), static_cast<int32_t>(v.imm));
    } else {
      const img::Reg reg = regRead(st_.size() - 1);
      em_.x().alu(op, img::slotMem(pl.slot), reg);
    }
  }
  pop();
  return true;
}

}  // namespace qrt::qrtc
