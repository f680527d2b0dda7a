#include "compiler/checker.h"

#include <cmath>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "base/vocabulary.h"

namespace qrt::qrtc {

int commandByName(const std::string& key) {
  static const std::unordered_map<std::string, int> byName = [] {
    std::unordered_map<std::string, int> m;
    for (const CommandInfo& c : kCommands) m.emplace(c.name, c.id);
    return m;
  }();
  auto it = byName.find(key);
  return it == byName.end() ? -1 : it->second;
}

namespace {

Type typeOfLetter(char letter) {
  switch (letter) {
    case 'S': return intType();
    case 'F': return realType();
    case 'M': return strType();
    default: return Type{};
  }
}

std::string typeText(const Program& p, Type t) {
  switch (t.base) {
    case Base::None: return "nothing";
    case Base::Int: return "INT";
    case Base::Real: return "REAL";
    case Base::Str: return "STR";
    case Base::Struct: return t.structIndex >= 0 ? p.structs[static_cast<size_t>(t.structIndex)].name : "a structure";
    case Base::Error: return "?";
  }
  return "?";
}

// Commands the compiler keeps for itself: arrays of computed size are made
// and freed with them, and a script that freed an address of its own would
// bring the game down.
bool reservedCommand(const std::string& key) { return key == "REDIM" || key == "REDIMFREE" || key == "XYZ@NOP"; }

class Checker {
 public:
  Checker(Program& p, Diagnostics& d) : p_(p), d_(d) {}

  void run() {
    structs();
    functions();
    statics(p_.main);
    // The main routine.
    routine_ = {};
    routine_.isMain = true;
    routine_.vars = &p_.mainVars;
    labels(p_.main);
    block(p_.main, true);
    // Every FUNC.
    for (FuncInfo& f : p_.funcs) {
      if (f.isExfunc) continue;
      routine_ = {};
      routine_.func = &f;
      routine_.vars = &f.vars;
      for (size_t k = 0; k < f.params.size(); ++k) {
        const ParamDecl& pd = f.params[k];
        if (pd.key.empty()) continue;
        Var* v = newVar(pd.name, pd.pos, f.paramTypes[k]);
        v->isParam = true;
        f.paramVars.push_back(v);
        routine_.visible[pd.key] = v;
      }
      labels(f.body);
      block(f.body, true);
    }
  }

 private:
  struct Routine {
    bool isMain = false;
    FuncInfo* func = nullptr;
    std::vector<Var*>* vars = nullptr;
    std::unordered_map<std::string, Var*> visible;
    std::unordered_map<std::string, Pos> labels;
    int64_t slots = 0;
    bool pastLabel = false;
  };

  // --- structures ---

  void structs() {
    std::unordered_map<std::string, int> seen;
    for (size_t i = 0; i < p_.structs.size(); ++i) {
      StructInfo& s = p_.structs[i];
      if (s.key.empty()) continue;
      if (seen.count(s.key)) d_.error(s.pos, kSyntax, "STRUCT " + s.name + " is defined twice");
      else seen[s.key] = static_cast<int>(i);
    }
    structIndex_ = seen;
    // Sizes: a structure holds its fields, a field of structure type the
    // whole of that structure; one that holds itself has no size.
    std::vector<int> state(p_.structs.size(), 0);  // 0 new, 1 in progress, 2 done
    std::function<void(size_t)> layout = [&](size_t i) {
      StructInfo& s = p_.structs[i];
      state[i] = 1;
      std::unordered_set<std::string> names;
      int64_t offset = 0;
      if (i < p_.structFields.size()) {
        for (StmtPtr& line : p_.structFields[i]) {
          if (!line) continue;
          Type t = resolveType(line->typeName);
          if (t.is(Base::Struct)) {
            auto k = static_cast<size_t>(t.structIndex);
            if (state[k] == 1) {
              d_.error(line->typeName.pos, kSyntax, "STRUCT " + s.name + " would hold itself through " + line->typeName.name);
              t = errorType();
            } else if (state[k] == 0) {
              layout(k);
            }
          }
          for (DeclItem& item : line->items) {
            if (!names.insert(item.key).second) {
              d_.error(item.pos, kSyntax, "STRUCT " + s.name + " has two fields named " + item.name);
              continue;
            }
            const int32_t size = t.is(Base::Struct) ? p_.structs[static_cast<size_t>(t.structIndex)].size : 1;
            s.fields.push_back({item.name, item.key, t, static_cast<int32_t>(offset)});
            offset += size;
            if (offset > kMaxFrameSlots) offset = kMaxFrameSlots;
          }
        }
      }
      s.size = static_cast<int32_t>(offset);
      state[i] = 2;
    };
    for (size_t i = 0; i < p_.structs.size(); ++i)
      if (state[i] == 0) layout(i);
  }

  Type resolveType(const TypeName& n) {
    switch (n.base) {
      case Base::Int: return intType();
      case Base::Real: return realType();
      case Base::Str: return strType();
      case Base::Struct: {
        auto it = structIndex_.find(n.key);
        if (it == structIndex_.end()) {
          d_.error(n.pos, kNotStruct, n.name + " is not a STRUCT");
          return errorType();
        }
        return {Base::Struct, it->second};
      }
      default: return Type{};
    }
  }

  int32_t sizeOf(Type t) const {
    if (t.is(Base::Struct)) return std::max<int32_t>(p_.structs[static_cast<size_t>(t.structIndex)].size, 0);
    return 1;
  }

  // --- functions ---

  void functions() {
    int routine = 1;
    for (FuncInfo& f : p_.funcs) {
      f.routine = routine++;
      if (f.key.empty()) continue;
      if (funcs_.count(f.key)) {
        d_.error(f.pos, kFuncRedefined, "a function named " + f.name + " is already defined");
      } else if (commandByName(f.key) >= 0) {
        d_.error(f.pos, kFuncRedefined, f.name + " is the name of a built-in command");
      } else {
        funcs_[f.key] = &f;
      }
      f.result = f.resultName.base == Base::None ? Type{} : resolveType(f.resultName);
      if (f.result.is(Base::Struct)) {
        d_.error(f.resultName.pos, kBadFunc, "a function returns INT, REAL, STR or nothing");
        f.result = errorType();
      }
      if (f.isExfunc && f.result.is(Base::Real)) {
        d_.error(f.resultName.pos, kBadFunc, "an EXFUNC returns INT, STR or nothing: a DLL's REAL result is not in a register the game reads");
        f.result = errorType();
      }
      std::unordered_set<std::string> names;
      for (ParamDecl& pd : f.params) {
        f.paramTypes.push_back(resolveType(pd.type));
        if (!pd.key.empty() && !names.insert(pd.key).second)
          d_.error(pd.pos, kParamRepeated, "two parameters are named " + pd.name);
      }
      if (f.isExfunc) {
        if (f.dll.find('\0') != std::string::npos) d_.error(f.pos, kBadDllName, "the DLL's name holds a NUL byte");
        if (f.function.find('\0') != std::string::npos)
          d_.error(f.pos, kBadFunctionName, "the function's name holds a NUL byte");
        if (f.params.size() > 256) d_.error(f.pos, kBadFunc, "an EXFUNC takes at most 256 parameters");
      }
    }
  }

  // --- variables ---

  Var* newVar(const std::string& name, Pos pos, Type t) {
    p_.vars.emplace_back();
    Var* v = &p_.vars.back();
    v->name = name;
    v->pos = pos;
    v->type = t;
    v->elementSize = sizeOf(t);
    if (routine_.vars) routine_.vars->push_back(v);
    return v;
  }

  // An array's dimensions: constant ones fix its size, computed ones make it
  // dynamic (INT and REAL only). Returns false on an error already reported.
  bool dimensions(Var& v, std::vector<ExprPtr>& dims, bool check) {
    bool allConstant = true;
    for (ExprPtr& e : dims) {
      if (check) {
        Type t = expr(*e);
        if (!t.is(Base::Int) && !t.is(Base::Error)) {
          d_.error(e->pos, kIndexNotInt, "an array's size is an INT");
          return false;
        }
      } else {
        fold(*e);
      }
      if (!e->constant) allConstant = false;
    }
    if (dims.size() > 3) {
      d_.error(dims[3]->pos, kBadArray, "an array has one to three dimensions");
      return false;
    }
    if (allConstant) {
      int64_t count = v.elementSize;
      for (ExprPtr& e : dims) {
        if (e->i < 1) {
          d_.error(e->pos, kBadArraySize, "an array's size is at least 1");
          return false;
        }
        v.dims.push_back(e->i);
        count *= e->i;
        if (count > kMaxFrameSlots) {
          d_.error(e->pos, kBadArraySize, "the array holds more than 16777216 slots");
          v.dims.clear();
          return false;
        }
      }
      return true;
    }
    if (!v.type.is(Base::Int) && !v.type.is(Base::Real)) {
      d_.error(dims.front()->pos, kNotDynamic,
               "only INT and REAL arrays may have a size computed when the program runs; STR and STRUCT arrays need constant sizes");
      return false;
    }
    v.dynamicDims = static_cast<int32_t>(dims.size());
    return true;
  }

  int64_t slotsOf(const Var& v) const {
    if (v.dynamic()) return 1 + v.dynamicDims;
    int64_t n = v.elementSize;
    for (int32_t d : v.dims) n *= d;
    return n;
  }

  void countSlots(const Var& v, Pos pos) {
    routine_.slots += slotsOf(v);
    if (routine_.slots > kMaxFrameSlots - 4096) {
      d_.error(pos, kBadArraySize, "the routine's variables come to more than its frame can hold (16777216 slots)");
      routine_.slots = 0;
    }
  }

  // STATIC variables are known to every FUNC, wherever the main routine
  // declares them.
  void statics(Block& b) {
    for (StmtPtr& s : b) {
      if (!s) continue;
      if ((s->kind == StmtKind::Decl || s->kind == StmtKind::Array) && s->isStatic) {
        Type t = resolveType(s->typeName);
        for (DeclItem& item : s->items) {
          if (statics_.count(item.key)) {
            d_.error(item.pos, kStaticRedeclared, "a STATIC variable named " + item.name + " is already declared");
            continue;
          }
          std::vector<Var*>* keep = routine_.vars;
          routine_.vars = &p_.staticVars;
          Var* v = newVar(item.name, item.pos, t);
          routine_.vars = keep;
          v->isStatic = true;
          if (s->kind == StmtKind::Decl && !item.dims.empty()) dimensions(*v, item.dims, false);
          item.var = v;
          statics_[item.key] = v;
          staticSlots_ += slotsOf(*v);
          if (staticSlots_ > kMaxStaticSlots) {
            d_.error(item.pos, kBadArraySize, "the STATIC variables come to more than 16777216 slots");
            staticSlots_ = 0;
          }
        }
      }
      for (Clause& c : s->clauses) statics(c.body);
      statics(s->body);
    }
  }

  Var* lookup(const std::string& key) {
    auto it = routine_.visible.find(key);
    if (it != routine_.visible.end()) return it->second;
    if (!routine_.isMain) {
      auto st = statics_.find(key);
      if (st != statics_.end()) return st->second;
    }
    return nullptr;
  }

  // --- labels ---

  void labels(Block& b) {
    for (StmtPtr& s : b) {
      if (!s) continue;
      if (s->kind == StmtKind::Label) {
        if (routine_.labels.count(s->key)) d_.error(s->pos, kLabelRepeated, "the label " + s->name + " is already defined");
        else routine_.labels[s->key] = s->pos;
        if (!routine_.isMain && statics_.count(s->key))
          d_.error(s->pos, kLabelIsVariable, s->name + " is already a STATIC variable");
      }
      for (Clause& c : s->clauses) labels(c.body);
      labels(s->body);
    }
  }

  // --- statements ---

  void block(Block& b, bool top = false) {
    for (StmtPtr& s : b) {
      if (!s) continue;
      if (s->kind == StmtKind::Label) routine_.pastLabel = true;
      if (top && !routine_.pastLabel && s->kind == StmtKind::Decl) s->runsOnce = true;
      statement(*s);
    }
  }

  void statement(Stmt& s) {
    switch (s.kind) {
      case StmtKind::Decl: return declaration(s);
      case StmtKind::Array: return arrayStatement(s);
      case StmtKind::Assign: return assignment(s);
      case StmtKind::Call: {
        callExpr(*s.call, true);
        return;
      }
      case StmtKind::If:
        for (Clause& c : s.clauses) {
          if (c.cond) condition(*c.cond, "IF");
          block(c.body);
        }
        return;
      case StmtKind::For: return forStatement(s);
      case StmtKind::While:
        condition(*s.cond, "WHILE");
        block(s.body);
        return;
      case StmtKind::Loop: return block(s.body);
      case StmtKind::Switch: return switchStatement(s);
      case StmtKind::Select: return selectStatement(s);
      case StmtKind::Goto: {
        if (routine_.labels.count(s.key)) return;
        if (lookup(s.key) || (routine_.isMain && statics_.count(s.key)))
          d_.error(s.pos, kGotoNotLabel, s.name + " is a variable, not a label");
        else
          d_.error(s.pos, kNoLabel, "no label " + s.name + " in this routine");
        return;
      }
      case StmtKind::Return: return returnStatement(s);
      case StmtKind::Label:
      case StmtKind::Break:
      case StmtKind::Continue:
      case StmtKind::End: return;
    }
  }

  void declaration(Stmt& s) {
    if (s.isStatic) {
      for (DeclItem& item : s.items) {
        if (!item.var) continue;
        if (item.var->dynamic()) dimensions(*item.var, item.dims, true);
        else for (ExprPtr& e : item.dims) expr(*e);
        if (item.init) initializer(*item.var, item);
        routine_.visible[item.key] = item.var;
        if (routine_.labels.count(item.key))
          d_.error(item.pos, kVariableIsLabel, item.name + " is already a label");
      }
      return;
    }
    Type t = resolveType(s.typeName);
    for (DeclItem& item : s.items) {
      if (routine_.labels.count(item.key)) {
        d_.error(item.pos, kVariableIsLabel, item.name + " is already a label");
        continue;
      }
      if (funcs_.count(item.key) || commandByName(item.key) >= 0) {
        d_.error(item.pos, kTypeRedeclared, item.name + " is the name of a function");
        continue;
      }
      Var* old = routine_.visible.count(item.key) ? routine_.visible[item.key] : nullptr;
      if (routine_.isMain && statics_.count(item.key)) {
        d_.error(item.pos, kStaticRedeclared, item.name + " is a STATIC variable of the program");
        continue;
      }
      if (old && !old->isStatic) {
        if (old->isArray() || !item.dims.empty()) {
          d_.error(item.pos, kArrayRedeclared, "an array named " + item.name + " is already declared");
          continue;
        }
        if (old->type != t) {
          d_.error(item.pos, kTypeRedeclared, item.name + " is already declared as " + typeText(p_, old->type));
          continue;
        }
        item.var = old;
        if (item.init) initializer(*old, item);
        continue;
      }
      Var* v = newVar(item.name, item.pos, t);
      if (!item.dims.empty() && !dimensions(*v, item.dims, true)) v->type = errorType();
      countSlots(*v, item.pos);
      item.var = v;
      routine_.visible[item.key] = v;
      if (item.init) initializer(*v, item);
    }
  }

  void initializer(Var& v, DeclItem& item) {
    Type t = expr(*item.init);
    assignable(v.type, *item.init, t, item.pos);
  }

  // Whether a value of type `have` may be stored where `want` goes;
  // reports when not. An integer constant is taken as a REAL where a REAL goes.
  bool assignable(Type want, Expr& value, Type have, Pos pos) {
    if (want.is(Base::Error) || have.is(Base::Error)) return true;
    if (have.is(Base::None)) {
      d_.error(value.pos, kNoResult, "this gives no value");
      return false;
    }
    if (want == have) return true;
    if (want.is(Base::Real) && have.is(Base::Int) && value.constant) {
      toReal(value);
      return true;
    }
    if (want.is(Base::Str)) {
      d_.error(pos, kAssignToString, "a STR takes only a string, not " + typeText(p_, have));
      return false;
    }
    d_.error(pos, kTypeMismatch, typeText(p_, want) + " cannot take " + typeText(p_, have));
    return false;
  }

  static void toReal(Expr& e) {
    const float r = static_cast<float>(e.i);
    e.kind = ExprKind::Real;
    e.r = r;
    e.type = realType();
    e.a.reset();
    e.b.reset();
    e.args.clear();
    e.path.clear();
    e.indices.clear();
    e.var = nullptr;
  }

  void arrayStatement(Stmt& s) {
    if (s.items.empty()) return;
    DeclItem& item = s.items.front();
    Type t = resolveType(s.typeName);
    int64_t n = static_cast<int64_t>(s.values.size());
    if (!item.openDims && !item.dims.empty()) {
      expr(*item.dims.front());
      if (!item.dims.front()->constant || !item.dims.front()->type.is(Base::Int)) {
        d_.error(item.dims.front()->pos, kBadArrayStatement, "an ARRAY's size is a constant, or left out: name[]");
        return;
      }
      n = item.dims.front()->i;
      if (n < static_cast<int64_t>(s.values.size())) {
        d_.error(item.pos, kBadArrayStatement, "the ARRAY lists more values than its size");
        return;
      }
    }
    if (n < 1) {
      d_.error(item.pos, kBadArrayStatement, "an ARRAY lists at least one value");
      return;
    }
    if (n > kMaxFrameSlots / 2) {
      d_.error(item.pos, kBadArraySize, "the array holds more than its frame can");
      return;
    }
    for (ExprPtr& v : s.values) {
      Type vt = expr(*v);
      if (vt.is(Base::Error)) continue;
      if (!v->constant && v->kind != ExprKind::Str) {
        d_.error(v->pos, kArrayNotConstant, "an ARRAY's values are constants");
        continue;
      }
      if (vt == t) continue;
      if (t.is(Base::Real) && vt.is(Base::Int)) {
        toReal(*v);
        continue;
      }
      d_.error(v->pos, kArrayMixedTypes, "a value of type " + typeText(p_, vt) + " in an ARRAY of " + typeText(p_, t));
    }
    Var* v = item.var;
    if (s.isStatic) {
      if (!v) return;
      v->dims = {static_cast<int32_t>(n)};
      routine_.visible[item.key] = v;
      return;
    }
    Var* old = routine_.visible.count(item.key) ? routine_.visible[item.key] : nullptr;
    if (old || (routine_.isMain && statics_.count(item.key))) {
      d_.error(item.pos, kArrayRedeclared, "a variable named " + item.name + " is already declared");
      return;
    }
    if (routine_.labels.count(item.key)) {
      d_.error(item.pos, kVariableIsLabel, item.name + " is already a label");
      return;
    }
    v = newVar(item.name, item.pos, t);
    v->dims = {static_cast<int32_t>(n)};
    countSlots(*v, item.pos);
    item.var = v;
    routine_.visible[item.key] = v;
  }

  void assignment(Stmt& s) {
    Type l = path(*s.lhs, true);
    // A whole structure is a value on the right of a structure's assignment.
    Type r = (l.is(Base::Struct) && s.rhs->kind == ExprKind::Path) ? path(*s.rhs, true) : expr(*s.rhs);
    if (l.is(Base::Error) || r.is(Base::Error)) return;
    if (l.is(Base::Struct) || r.is(Base::Struct)) {
      if (l != r) d_.error(s.pos, kTypeMismatch, typeText(p_, l) + " cannot take " + typeText(p_, r));
      else if (s.rhs->kind != ExprKind::Path) d_.error(s.pos, kTypeMismatch, "a structure takes another structure");
      return;
    }
    assignable(l, *s.rhs, r, s.pos);
  }

  void condition(Expr& e, const char* what) {
    Type t = expr(e);
    if (t.is(Base::Int) || t.is(Base::Error)) return;
    if (t.is(Base::None)) return d_.error(e.pos, kNoResult, "this gives no value");
    if (t.is(Base::Real)) return d_.error(e.pos, kRealValue, std::string(what) + " takes an INT condition, not a REAL");
    d_.error(e.pos, kTypeMismatch, std::string(what) + " takes an INT condition, not " + typeText(p_, t));
  }

  void forStatement(Stmt& s) {
    Expr& counter = *s.lhs;
    Type t = path(counter, false);
    if (!t.is(Base::Error)) {
      if (t.is(Base::Real)) d_.error(counter.pos, kRealVariable, "a FOR counts with an INT variable, not a REAL");
      else if (!t.is(Base::Int)) d_.error(counter.pos, kTypeMismatch, "a FOR counts with an INT variable");
      else if (!counter.path.empty() || (counter.var && counter.var->isArray()))
        d_.error(counter.pos, kSyntaxError, "a FOR counts with a plain variable, not an element or a field");
    }
    auto bound = [&](Expr& e, const char* what) {
      Type bt = expr(e);
      if (bt.is(Base::Int) || bt.is(Base::Error)) return;
      if (bt.is(Base::Real)) d_.error(e.pos, kRealValue, std::string("FOR's ") + what + " is an INT, not a REAL");
      else d_.error(e.pos, kTypeMismatch, std::string("FOR's ") + what + " is an INT");
    };
    bound(*s.rhs, "start");
    bound(*s.cond, "end");
    if (s.step) bound(*s.step, "step");
    block(s.body);
  }

  void switchStatement(Stmt& s) {
    Type t = expr(*s.cond);
    if (t.is(Base::Real)) d_.error(s.cond->pos, kRealValue, "SWITCH takes an INT, not a REAL");
    else if (!t.is(Base::Int) && !t.is(Base::Error)) d_.error(s.cond->pos, kTypeMismatch, "SWITCH takes an INT; SELECT takes any type");
    std::unordered_set<int32_t> seen;
    for (Clause& c : s.clauses) {
      for (ExprPtr& v : c.values) {
        Type vt = expr(*v);
        if (!v->constant || !vt.is(Base::Int)) {
          d_.error(v->pos, kCaseNotNumber, "CASE takes integer constants");
          continue;
        }
        if (!seen.insert(v->i).second) d_.error(v->pos, kCaseNotNumber, "CASE " + std::to_string(v->i) + " appears twice");
      }
      block(c.body);
    }
  }

  void selectStatement(Stmt& s) {
    Type t = expr(*s.cond);
    if (t.is(Base::Struct)) d_.error(s.cond->pos, kTypeMismatch, "SELECT takes an INT, REAL or STR value");
    if (t.is(Base::None)) d_.error(s.cond->pos, kNoResult, "this gives no value");
    for (Clause& c : s.clauses) {
      for (ExprPtr& v : c.values) {
        Type vt = expr(*v);
        if (vt.is(Base::Error) || t.is(Base::Error) || !t.scalar()) continue;
        if (vt == t) continue;
        if (t.is(Base::Real) && vt.is(Base::Int) && v->constant) {
          toReal(*v);
          continue;
        }
        d_.error(v->pos, kTypeMismatch, "WHEN compares with " + typeText(p_, t) + ", not " + typeText(p_, vt));
      }
      block(c.body);
    }
  }

  void returnStatement(Stmt& s) {
    if (routine_.isMain) {
      if (s.value) {
        d_.error(s.pos, kReturnWithoutFunc, "RETURN with a value belongs in a FUNC; RETURN alone ends the program");
        expr(*s.value);
      }
      return;
    }
    FuncInfo& f = *routine_.func;
    if (!s.value) {
      if (!f.result.is(Base::None) && !f.result.is(Base::Error))
        d_.error(s.pos, kNeedsParameter, f.name + " returns " + typeText(p_, f.result) + ": RETURN needs a value");
      return;
    }
    Type t = expr(*s.value);
    if (f.result.is(Base::None)) {
      d_.error(s.pos, kNoResult, f.name + " returns nothing: RETURN takes no value here");
      return;
    }
    assignable(f.result, *s.value, t, s.pos);
  }

  // --- expressions ---

  // Folds constants without reporting (array sizes of STATIC variables are
  // read before any routine is checked).
  void fold(Expr& e) {
    if (e.kind == ExprKind::Int) {
      e.constant = true;
      e.type = intType();
    } else if (e.kind == ExprKind::Real) {
      e.constant = true;
      e.type = realType();
    } else if (e.kind == ExprKind::Unary && e.a) {
      fold(*e.a);
      if (e.a->constant && e.a->type.is(Base::Int)) {
        e.constant = true;
        e.type = intType();
        e.i = e.un == UnOp::Neg ? static_cast<int32_t>(0u - static_cast<uint32_t>(e.a->i)) : ~e.a->i;
      }
    } else if (e.kind == ExprKind::Binary && e.a && e.b) {
      fold(*e.a);
      fold(*e.b);
      if (e.a->constant && e.b->constant && e.a->type.is(Base::Int) && e.b->type.is(Base::Int)) {
        int32_t v = 0;
        if (foldInt(e.bin, e.a->i, e.b->i, v)) {
          e.constant = true;
          e.type = intType();
          e.i = v;
        }
      }
    }
  }

  static bool foldInt(BinOp op, int32_t a, int32_t b, int32_t& out) {
    const auto ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
    switch (op) {
      case BinOp::Add: out = static_cast<int32_t>(ua + ub); return true;
      case BinOp::Sub: out = static_cast<int32_t>(ua - ub); return true;
      case BinOp::Mul: out = static_cast<int32_t>(ua * ub); return true;
      case BinOp::Div:
        if (b == 0) return false;  // left to the program, which stops there
        out = (a == INT32_MIN && b == -1) ? INT32_MIN : a / b;
        return true;
      case BinOp::Mod:
        if (b == 0) return false;
        out = (b == -1) ? 0 : a % b;
        return true;
      case BinOp::Eq: out = a == b ? -1 : 0; return true;
      case BinOp::Ne: out = a != b ? -1 : 0; return true;
      case BinOp::Lt: out = a < b ? -1 : 0; return true;
      case BinOp::Gt: out = a > b ? -1 : 0; return true;
      case BinOp::Le: out = a <= b ? -1 : 0; return true;
      case BinOp::Ge: out = a >= b ? -1 : 0; return true;
      case BinOp::And: out = a & b; return true;
      case BinOp::Or: out = a | b; return true;
      case BinOp::Xor: out = a ^ b; return true;
    }
    return false;
  }

  Type expr(Expr& e) {
    Type t = exprInner(e);
    e.type = t;
    return t;
  }

  Type exprInner(Expr& e) {
    switch (e.kind) {
      case ExprKind::Int:
        e.constant = true;
        return intType();
      case ExprKind::Real:
        e.constant = true;
        return realType();
      case ExprKind::Str: return strType();
      case ExprKind::Path: {
        Type t = path(e, false);
        return t;
      }
      case ExprKind::Call: return callExpr(e, false);
      case ExprKind::Unary: return unary(e);
      case ExprKind::Binary: return binary(e);
    }
    return errorType();
  }

  Type unary(Expr& e) {
    Type t = expr(*e.a);
    e.hasOps = e.a->hasOps;
    if (t.is(Base::Error)) return t;
    if (t.is(Base::None)) {
      d_.error(e.a->pos, kNoResult, "this gives no value");
      return errorType();
    }
    if (e.un == UnOp::Neg) {
      if (t.is(Base::Str)) {
        d_.error(e.pos, kStringArithmetic, "a string cannot be negated");
        return errorType();
      }
      if (!t.is(Base::Int) && !t.is(Base::Real)) {
        d_.error(e.pos, kTypeMismatch, "only numbers can be negated");
        return errorType();
      }
      if (e.a->constant) {
        e.constant = true;
        if (t.is(Base::Int)) e.i = static_cast<int32_t>(0u - static_cast<uint32_t>(e.a->i));
        else e.r = -e.a->r;
      }
      return t;
    }
    if (!t.is(Base::Int)) {
      d_.error(e.pos, kTypeMismatch, "NOT works on the bits of an INT");
      return errorType();
    }
    if (e.a->constant) {
      e.constant = true;
      e.i = ~e.a->i;
    }
    return t;
  }

  Type binary(Expr& e) {
    Type a = expr(*e.a);
    Type b = expr(*e.b);
    e.hasOps = e.a->hasOps || e.b->hasOps;
    if (a.is(Base::Error) || b.is(Base::Error)) return errorType();
    if (a.is(Base::None) || b.is(Base::None)) {
      d_.error((a.is(Base::None) ? e.a : e.b)->pos, kNoResult, "this gives no value");
      return errorType();
    }
    // An integer constant beside a REAL is read as a REAL.
    if (a.is(Base::Real) && b.is(Base::Int) && e.b->constant) toReal(*e.b), b = realType();
    if (b.is(Base::Real) && a.is(Base::Int) && e.a->constant) toReal(*e.a), a = realType();
    const bool compare = e.bin == BinOp::Eq || e.bin == BinOp::Ne || e.bin == BinOp::Lt || e.bin == BinOp::Gt ||
                         e.bin == BinOp::Le || e.bin == BinOp::Ge;
    const bool logic = e.bin == BinOp::And || e.bin == BinOp::Or || e.bin == BinOp::Xor;
    if (a.is(Base::Str) || b.is(Base::Str)) {
      if (a != b) {
        d_.error(e.pos, kTypeMismatch, "both sides of an operator have one type (" + typeText(p_, a) + " and " + typeText(p_, b) + ")");
        return errorType();
      }
      if (e.bin == BinOp::Sub || e.bin == BinOp::Mul || e.bin == BinOp::Div || e.bin == BinOp::Mod) {
        d_.error(e.pos, kStringArithmetic, "strings are joined with '+' and compared; they have no - * / MOD");
        return errorType();
      }
      if (logic) {
        d_.error(e.pos, kTypeMismatch, "AND, OR and XOR work on the bits of INT values");
        return errorType();
      }
      e.hasOps = true;
      return compare ? intType() : strType();
    }
    if (a.is(Base::Struct) || b.is(Base::Struct)) {
      d_.error(e.pos, kTypeMismatch, "a structure is no value for an operator");
      return errorType();
    }
    if (a != b) {
      d_.error(e.pos, kTypeMismatch,
               "both sides of an operator have one type (" + typeText(p_, a) + " and " + typeText(p_, b) + "): convert with INT() or REAL()");
      return errorType();
    }
    if (a.is(Base::Real)) {
      if (e.bin == BinOp::Mod || logic) {
        d_.error(e.pos, kTypeMismatch, std::string(e.bin == BinOp::Mod ? "MOD" : "AND, OR and XOR") + " work on INT values");
        return errorType();
      }
      if (e.a->constant && e.b->constant) {
        const double x = e.a->r, y = e.b->r;
        e.constant = true;
        switch (e.bin) {
          case BinOp::Add: e.r = static_cast<float>(x + y); break;
          case BinOp::Sub: e.r = static_cast<float>(x - y); break;
          case BinOp::Mul: e.r = static_cast<float>(x * y); break;
          case BinOp::Div:
            if (y == 0) e.constant = false;
            else e.r = static_cast<float>(x / y);
            break;
          case BinOp::Eq: e.i = x == y ? -1 : 0; break;
          case BinOp::Ne: e.i = x != y ? -1 : 0; break;
          case BinOp::Lt: e.i = x < y ? -1 : 0; break;
          case BinOp::Gt: e.i = x > y ? -1 : 0; break;
          case BinOp::Le: e.i = x <= y ? -1 : 0; break;
          case BinOp::Ge: e.i = x >= y ? -1 : 0; break;
          default: e.constant = false; break;
        }
        if (e.constant && !compare && !std::isfinite(e.r)) e.constant = false;
      }
      return compare ? intType() : realType();
    }
    if (e.a->constant && e.b->constant) {
      int32_t v = 0;
      if (foldInt(e.bin, e.a->i, e.b->i, v)) {
        e.constant = true;
        e.i = v;
      }
    }
    return intType();
  }

  // A variable, an element or a field. `whole`: a whole structure is a
  // value here (an assignment's sides).
  Type path(Expr& e, bool whole) {
    Type t = pathInner(e, whole);
    e.type = t;
    return t;
  }

  Type pathInner(Expr& e, bool whole) {
    Var* v = lookup(e.key);
    if (!v) {
      if (e.path.empty() && (funcs_.count(e.key) || commandByName(e.key) >= 0)) {
        // A function or command named without parentheses: a call.
        e.kind = ExprKind::Call;
        return callExpr(e, false);
      }
      if (routine_.labels.count(e.key)) d_.error(e.pos, kLabelIsVariable, e.name + " is a label, not a variable");
      else if (routine_.isMain && statics_.count(e.key))
        d_.error(e.pos, kSyntax, "the STATIC variable " + e.name + " is used before its declaration");
      else d_.error(e.pos, kSyntax, "no variable named " + e.name + " is declared here");
      for (Selector& s : e.path)
        if (s.index) expr(*s.index);
      return errorType();
    }
    e.var = v;
    e.indices.clear();
    size_t k = 0;
    bool bad = false;
    if (v->isArray()) {
      for (int32_t d = 0; d < v->rank(); ++d) {
        if (k >= e.path.size() || e.path[k].isField) {
          d_.error(e.pos, kNotArray, e.name + " is an array of " + std::to_string(v->rank()) +
                                          " dimension" + (v->rank() > 1 ? "s" : "") + ": give an index for each");
          bad = true;
          break;
        }
        Type it = expr(*e.path[k].index);
        e.hasOps = e.hasOps || e.path[k].index->hasOps;
        if (!it.is(Base::Int) && !it.is(Base::Error)) {
          d_.error(e.path[k].index->pos, kIndexNotInt, "an index is an INT");
          bad = true;
        }
        e.indices.push_back(e.path[k].index.get());
        ++k;
      }
    }
    Type t = v->type;
    int32_t offset = 0;
    for (; k < e.path.size() && !bad; ++k) {
      Selector& s = e.path[k];
      if (!s.isField) {
        d_.error(s.pos, kNotArray, e.name + (v->isArray() ? " has fewer dimensions than that" : " is not an array"));
        bad = true;
        break;
      }
      if (!t.is(Base::Struct)) {
        if (!t.is(Base::Error)) d_.error(s.pos, kNotStruct, e.name + " is not a structure: it has no field " + s.name);
        bad = true;
        break;
      }
      const StructInfo& st = p_.structs[static_cast<size_t>(t.structIndex)];
      const Field* f = nullptr;
      for (const Field& candidate : st.fields)
        if (candidate.key == s.key) f = &candidate;
      if (!f) {
        d_.error(s.pos, kSyntax, "STRUCT " + st.name + " has no field " + s.name);
        bad = true;
        break;
      }
      offset += f->offset;
      t = f->type;
    }
    if (bad) {
      for (; k < e.path.size(); ++k)
        if (e.path[k].index) expr(*e.path[k].index);
      return errorType();
    }
    e.fieldOffset = offset;
    if (t.is(Base::Struct) && !whole) {
      d_.error(e.pos, kTypeMismatch, "a whole structure is no value here; name one of its fields");
      return errorType();
    }
    return t;
  }

  // A call of a command, FUNC, EXFUNC or conversion. `statement`: its value
  // is not used.
  Type callExpr(Expr& e, bool statement) {
    e.hasOps = true;
    for (ExprPtr& a : e.args) expr(*a);
    const std::string& key = e.key;
    // INT(x) and REAL(n) convert; STR(n) is STR(n, 10).
    if (key == "INT" || key == "REAL") {
      e.hasOps = false;
      if (e.args.size() != 1) {
        d_.error(e.pos, kArgumentCount, key + "() converts one value");
        return errorType();
      }
      Expr& a = *e.args[0];
      e.hasOps = a.hasOps;
      if (statement) d_.error(e.pos, kSyntaxError, key + "() converts a value; it is not a statement");
      Type t = a.type;
      if (t.is(Base::Error)) return errorType();
      if (!t.is(Base::Int) && !t.is(Base::Real)) {
        d_.error(a.pos, kArgumentType, key + "() converts numbers; for text use " + (key == "INT" ? "ATOI" : "ATOF"));
        return errorType();
      }
      const bool toInt = key == "INT";
      e.call = toInt ? CallKind::ToInt : CallKind::ToReal;
      if (a.constant) {
        if (toInt && t.is(Base::Real)) {
          const double r = a.r;
          if (std::isfinite(r) && r > -2147483649.0 && r < 2147483648.0) {
            e.constant = true;
            e.i = static_cast<int32_t>(r);
          }
        } else if (!toInt && t.is(Base::Int)) {
          e.constant = true;
          e.r = static_cast<float>(a.i);
        } else {
          e.constant = true;
          e.i = a.i;
          e.r = a.r;
        }
      }
      return toInt ? intType() : realType();
    }
    // STR(n) is STR(n, 10); STRF(x) is STRF(x, 0) (its second argument is not read).
    if ((key == "STR" || key == "STRF") && e.args.size() == 1) {
      auto ten = std::make_unique<Expr>();
      ten->kind = ExprKind::Int;
      ten->pos = e.pos;
      ten->i = key == "STR" ? 10 : 0;
      ten->constant = true;
      ten->type = intType();
      e.args.push_back(std::move(ten));
    }
    if (Var* v = lookup(key)) {
      (void)v;
      d_.error(e.pos, kNotFunction, e.name + " is a variable, not a function");
      return errorType();
    }
    auto f = funcs_.find(key);
    if (f != funcs_.end()) {
      FuncInfo& fn = *f->second;
      e.func = &fn;
      e.call = fn.isExfunc ? CallKind::Exfunc : CallKind::Func;
      if (fn.broken) return errorType();
      arguments(e, fn.paramTypes, fn.name);
      if (!statement && fn.result.is(Base::None)) {
        d_.error(e.pos, kNoResult, fn.name + " returns no value");
        return errorType();
      }
      return fn.result;
    }
    const int id = commandByName(key);
    if (id < 0) {
      d_.error(e.pos, kSyntax, "no function or command named " + e.name);
      return errorType();
    }
    if (reservedCommand(key)) {
      d_.error(e.pos, kSyntax, e.name + " is kept for the compiler's arrays of computed size");
      return errorType();
    }
    const CommandInfo& c = kCommands[id];
    e.call = CallKind::Command;
    e.command = id;
    std::vector<Type> params;
    for (int k = 0; k < c.parameterCount(); ++k) params.push_back(typeOfLetter(c.parameterLetter(k)));
    arguments(e, params, c.name);
    Type result = typeOfLetter(c.resultLetter());
    if (!statement && result.is(Base::None)) {
      d_.error(e.pos, kNoResult, std::string(c.name) + " returns no value");
      return errorType();
    }
    return result;
  }

  void arguments(Expr& e, const std::vector<Type>& params, const std::string& name) {
    if (e.args.size() != params.size()) {
      d_.error(e.pos, kArgumentCount, name + " takes " + std::to_string(params.size()) + " argument" +
                                          (params.size() == 1 ? "" : "s") + ", not " + std::to_string(e.args.size()));
      return;
    }
    for (size_t k = 0; k < params.size(); ++k) {
      Expr& a = *e.args[k];
      Type t = a.type;
      if (t.is(Base::Error) || params[k].is(Base::Error)) continue;
      if (t == params[k]) continue;
      if (params[k].is(Base::Real) && t.is(Base::Int) && a.constant) {
        toReal(a);
        continue;
      }
      if (t.is(Base::None)) {
        d_.error(a.pos, kNoResult, "this gives no value");
        continue;
      }
      d_.error(a.pos, kArgumentType, name + "'s argument " + std::to_string(k + 1) + " is " + typeText(p_, params[k]) +
                                         ", not " + typeText(p_, t));
    }
  }

  Program& p_;
  Diagnostics& d_;
  Routine routine_;
  std::unordered_map<std::string, int> structIndex_;
  std::unordered_map<std::string, FuncInfo*> funcs_;
  std::unordered_map<std::string, Var*> statics_;
  int64_t staticSlots_ = 0;
};

}  // namespace

void checkProgram(Program& program, Diagnostics& diagnostics) { Checker(program, diagnostics).run(); }

}  // namespace qrt::qrtc
