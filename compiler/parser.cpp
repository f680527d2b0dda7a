#include "compiler/parser.h"

#include <set>
#include <string_view>
#include <unordered_set>
#include <string>

#include "compiler/preprocessor.h"

namespace qrt::qrtc {

namespace {

// Blocks the parser has open, innermost last: a line that ends an outer one
// also ends the inner ones (which are reported as left open).
enum class BlockKind : uint8_t { If, For, While, Loop, Switch, Select, Func };

struct OpenBlock {
  BlockKind kind;
  Pos pos;
};

// The words that end or continue each block.
bool endsBlock(BlockKind k, const std::string& w) {
  switch (k) {
    case BlockKind::If: return w == "ELSEIF" || w == "ELSE" || w == "ENDIF";
    case BlockKind::For: return w == "NEXT";
    case BlockKind::While: return w == "ENDWHILE";
    case BlockKind::Loop: return w == "ENDLOOP";
    case BlockKind::Switch: return w == "CASE" || w == "DEFAULT" || w == "ENDSWITCH";
    case BlockKind::Select: return w == "WHEN" || w == "OTHER" || w == "ENDSELECT";
    case BlockKind::Func: return w == "ENDFUNC";
  }
  return false;
}


class Parser {
 public:
  Parser(const std::vector<Token>& t, Program& program, Diagnostics& d) : t_(t), prog_(program), d_(d) {}

  void run() {
    p_ = 0;
    while (!t_[p_].is(Tok::End)) {
      beginLine();
      if (atEnd()) {
        nextLine();
        continue;
      }
      const Token& first = t_[p_];
      if (first.isName("FUNC")) {
        funcDefinition();
        continue;
      }
      if (first.isName("STRUCT")) {
        structDefinition();
        continue;
      }
      if (first.is(Tok::Name) && first.blockWord) {
        strayEnd(first);
        nextLine();
        continue;
      }
      if (StmtPtr s = statement()) prog_.main.push_back(std::move(s));
      finishLine();
    }
  }

 private:
  // --- token cursor: p_ within the current line, which ends at limit_ ---

  void beginLine() {
    limit_ = p_;
    while (!t_[limit_].is(Tok::Newline) && !t_[limit_].is(Tok::End)) ++limit_;
  }
  bool atEnd() const { return p_ >= limit_; }
  const Token& cur() const { return t_[p_ < limit_ ? p_ : limit_]; }
  const Token& peek(size_t k = 1) const { return t_[p_ + k < limit_ ? p_ + k : limit_]; }
  bool curIs(Tok k) const { return !atEnd() && t_[p_].is(k); }
  template <size_t N>
  bool curName(const char (&w)[N]) const {
    return !atEnd() && t_[p_].isName(w);
  }
  const Token& take() { return t_[p_ < limit_ ? p_++ : limit_]; }
  bool accept(Tok k) {
    if (!curIs(k)) return false;
    ++p_;
    return true;
  }
  template <size_t N>
  bool acceptName(const char (&w)[N]) {
    if (!curName(w)) return false;
    ++p_;
    return true;
  }
  // Moves past the current line's end.
  void nextLine() {
    p_ = limit_;
    if (t_[p_].is(Tok::Newline)) ++p_;
  }
  // What is left on a statement's line is a mistake.
  void finishLine() {
    if (!atEnd()) {
      const Token& t = cur();
      if (t.is(Tok::RParen)) d_.error(t.pos, kTooManyClose, "a ')' with no '(' before it");
      else d_.error(t.pos, kSyntaxError, "unexpected " + describe(t) + " after the statement");
    }
    nextLine();
  }

  // Reports an error and gives up on the rest of the line.
  std::nullptr_t abandon(Pos at, Code code, std::string why) {
    d_.error(at, code, std::move(why));
    p_ = limit_;
    return nullptr;
  }

  // One level deeper into blocks, signs, parentheses, calls or indices: past
  // kMaxNesting the line is abandoned (and the level not taken). The caller
  // steps back out with --depth_ once the inner part is parsed.
  bool deeper(Pos at, const char* what) {
    if (depth_ >= kMaxNesting) {
      abandon(at, kTooManyOpen, std::string(what) + " more than " + std::to_string(kMaxNesting) + " deep");
      return false;
    }
    ++depth_;
    return true;
  }

  static std::string describe(const Token& t) {
    std::string d = t.is(Tok::Name) ? "'" + t.text + "'" : tokenText(t.kind);
    if (t.define) d += " (which #DEFINE " + *t.define + " put here)";
    return d;
  }

  // Where a name was wanted: what stood there instead, #DEFINE included.
  std::string insteadOfName(const char* wanted) const {
    if (atEnd()) return wanted;
    const Token& t = cur();
    if (t.define) return std::string(wanted) + ", not " + describe(t);
    if (t.is(Tok::Name) && t.keyword) return t.text + " is a word of the language, not a name";
    return wanted;
  }

  // --- blocks ---

  bool closedByOuter(const std::string& w) const {
    for (const OpenBlock& b : open_)
      if (endsBlock(b.kind, w)) return true;
    return false;
  }

  // Lines up to one that ends the innermost open block (or an outer one,
  // or the program); the ending line is not consumed.
  Block blockBody() {
    Block body;
    while (!t_[p_].is(Tok::End)) {
      beginLine();
      if (atEnd()) {
        nextLine();
        continue;
      }
      const Token& first = t_[p_];
      if (first.is(Tok::Name) && first.blockWord) {
        if (closedByOuter(first.key)) return body;
        strayEnd(first);
        nextLine();
        continue;
      }
      if (first.isName("FUNC")) {
        if (inFunc_) d_.error(first.pos, kFuncInFunc, "a FUNC cannot stand inside another FUNC");
        else d_.error(first.pos, kSyntaxError, "a FUNC stands at the top level, outside every block");
        nextLine();
        continue;
      }
      if (first.isName("STRUCT")) {
        d_.error(first.pos, kSyntaxError, "a STRUCT stands at the top level, outside every block");
        nextLine();
        continue;
      }
      if (StmtPtr s = statement()) body.push_back(std::move(s));
      finishLine();
      if (++statements_ > kMaxStatementsGuard) break;
    }
    return body;
  }

  // The current line starts with `w` (ending open block `b`) or not.
  bool lineStartsWith(const std::string& w) {
    beginLine();
    return !atEnd() && t_[p_].isName(w);
  }

  void missingEnd(const OpenBlock& b) {
    switch (b.kind) {
      case BlockKind::If: return d_.error(b.pos, kNoEndif, "this IF has no ENDIF");
      case BlockKind::For: return d_.error(b.pos, kNoNext, "this FOR has no NEXT");
      case BlockKind::While: return d_.error(b.pos, kNoEndwhile, "this WHILE has no ENDWHILE");
      case BlockKind::Loop: return d_.error(b.pos, kNoEndloop, "this LOOP has no ENDLOOP");
      case BlockKind::Switch: return d_.error(b.pos, kNoEndswitch, "this SWITCH has no ENDSWITCH");
      case BlockKind::Select: return d_.error(b.pos, kNoEndselect, "this SELECT has no ENDSELECT");
      case BlockKind::Func: return d_.error(b.pos, kNoEndfunc, "this FUNC has no ENDFUNC");
    }
  }

  void strayEnd(const Token& t) {
    const std::string& w = t.key;
    if (w == "ELSEIF" || w == "ELSE") return d_.error(t.pos, kElseWithoutIf, w + " without an IF");
    if (w == "ENDIF") return d_.error(t.pos, kEndifWithoutIf, "ENDIF without an IF");
    if (w == "NEXT") return d_.error(t.pos, kNextWithoutFor, "NEXT without a FOR");
    if (w == "ENDWHILE") return d_.error(t.pos, kEndwhileWithoutWhile, "ENDWHILE without a WHILE");
    if (w == "ENDLOOP") return d_.error(t.pos, kEndloopWithoutLoop, "ENDLOOP without a LOOP");
    if (w == "CASE") return d_.error(t.pos, kCaseWithoutSwitch, "CASE outside a SWITCH");
    if (w == "DEFAULT") return d_.error(t.pos, kDefaultWithoutSwitch, "DEFAULT outside a SWITCH");
    if (w == "ENDSWITCH") return d_.error(t.pos, kEndswitchWithoutSwitch, "ENDSWITCH without a SWITCH");
    if (w == "WHEN") return d_.error(t.pos, kWhenWithoutSelect, "WHEN outside a SELECT");
    if (w == "OTHER") return d_.error(t.pos, kOtherWithoutSelect, "OTHER outside a SELECT");
    if (w == "ENDSELECT") return d_.error(t.pos, kEndselectWithoutSelect, "ENDSELECT without a SELECT");
    if (w == "ENDFUNC") return d_.error(t.pos, kEndfuncWithoutFunc, "ENDFUNC without a FUNC");
  }

  // --- statements ---

  StmtPtr make(StmtKind kind, Pos pos) {
    auto s = std::make_unique<Stmt>();
    s->kind = kind;
    s->pos = pos;
    return s;
  }

  StmtPtr statement() {
    if (!deeper(cur().pos, "blocks nest")) return nullptr;
    StmtPtr s = statementInner();
    --depth_;
    return s;
  }

  StmtPtr statementInner() {
    const Token& first = cur();
    if (first.is(Tok::Hash)) return abandon(first.pos, kSyntax, "a directive starts its own line");
    if (!first.is(Tok::Name)) {
      return abandon(first.pos, kSyntaxError, "a statement cannot start with " + describe(first));
    }
    const std::string& w = first.key;
    // name:  (a label alone on its line)
    if (peek().is(Tok::Colon) && p_ + 2 == limit_ && w.find('@') == std::string::npos && !first.keyword) {
      auto s = make(StmtKind::Label, first.pos);
      s->name = first.text;
      s->key = w;
      p_ += 2;
      return s;
    }
    if (keyIs(w, "IF")) return ifStatement();
    if (keyIs(w, "FOR")) return forStatement();
    if (keyIs(w, "WHILE")) return whileStatement();
    if (keyIs(w, "LOOP")) return loopStatement();
    if (keyIs(w, "SWITCH")) return switchStatement();
    if (keyIs(w, "SELECT")) return selectStatement();
    if (keyIs(w, "BREAK") || keyIs(w, "CONTINUE")) return breakStatement();
    if (keyIs(w, "GOTO")) return gotoStatement();
    if (keyIs(w, "END")) {
      take();
      return make(StmtKind::End, first.pos);
    }
    if (keyIs(w, "RETURN")) return returnStatement();
    if (keyIs(w, "EXFUNC")) return exfuncDeclaration();
    if (keyIs(w, "STATIC")) return declaration(true);
    if (keyIs(w, "ARRAY")) return arrayDeclaration(false, first.pos);
    if ((keyIs(w, "INT") || keyIs(w, "REAL") || keyIs(w, "STR")) && !peek().is(Tok::LParen)) return declaration(false);
    if (structNames_.count(w) && peek().is(Tok::Name)) return declaration(false);
    if (keyIs(w, "THEN")) return abandon(first.pos, kThenWithoutIf, "THEN without an IF");
    if (keyIs(w, "TO")) return abandon(first.pos, kToWithoutFor, "TO without a FOR");
    if (keyIs(w, "STEP")) return abandon(first.pos, kStepWithoutFor, "STEP without a FOR");
    if (keyIs(w, "ENDSTRUCT")) return abandon(first.pos, kSyntaxError, "ENDSTRUCT without a STRUCT");
    if (first.keyword && !keyIs(w, "INT") && !keyIs(w, "REAL") && !keyIs(w, "STR")) {
      return abandon(first.pos, kSyntaxError, w + " cannot start a statement");
    }
    return simpleStatement();
  }

  // x = e, a[i].f = e, or a call: NAME args / NAME(args)
  StmtPtr simpleStatement() {
    const Token& first = cur();
    ExprPtr target = primary();
    if (!target) {
      p_ = limit_;
      return nullptr;
    }
    if (target->kind == ExprKind::Path && accept(Tok::Eq)) {
      auto s = make(StmtKind::Assign, first.pos);
      s->lhs = std::move(target);
      s->rhs = expression();
      if (!s->rhs) return nullptr;
      return s;
    }
    // A bare name, or NAME args without parentheses.
    if (target->kind == ExprKind::Path && target->path.empty()) {
      auto call = std::make_unique<Expr>();
      call->kind = ExprKind::Call;
      call->pos = target->pos;
      call->name = target->name;
      call->key = target->key;
      if (!atEnd()) {
        if (!argumentList(call->args)) return nullptr;
      }
      auto s = make(StmtKind::Call, first.pos);
      s->call = std::move(call);
      return s;
    }
    if (target->kind == ExprKind::Call) {
      auto s = make(StmtKind::Call, first.pos);
      s->call = std::move(target);
      return s;
    }
    return abandon(atEnd() ? first.pos : cur().pos, kSyntaxError, "expected '=' to assign to " + first.text);
  }

  bool argumentList(std::vector<ExprPtr>& args) {
    for (;;) {
      ExprPtr e = expression();
      if (!e) return false;
      args.push_back(std::move(e));
      if (!accept(Tok::Comma)) return true;
    }
  }

  // INT a, b = 3, c[10] / STATIC REAL x / Enemy e, foes[8] / STATIC ARRAY ...
  StmtPtr declaration(bool isStatic) {
    const Pos pos = cur().pos;
    if (isStatic) {
      take();
      if (inFunc_) {
        return abandon(pos, kSyntaxError, "STATIC variables are declared at the top level, outside every FUNC");
      }
      if (curName("ARRAY")) return arrayDeclaration(true, pos);
    }
    auto s = make(StmtKind::Decl, pos);
    s->isStatic = isStatic;
    if (!typeName(s->typeName)) {
      return abandon(atEnd() ? pos : cur().pos, kSyntaxError, "STATIC is followed by INT, REAL, STR, ARRAY or a STRUCT's name");
    }
    for (;;) {
      DeclItem item;
      if (!curIs(Tok::Name) || cur().keyword || cur().key.find('@') != std::string::npos) {
        return abandon(atEnd() ? pos : cur().pos, kSyntaxError, insteadOfName("expected the name of a variable"));
      }
      const Token& n = take();
      item.name = n.text;
      item.key = n.key;
      item.pos = n.pos;
      while (accept(Tok::LBracket)) {
        if (curIs(Tok::RBracket)) {
          return abandon(cur().pos, kBadArraySize, "an array declared here needs its size between '[' and ']'");
        }
        ExprPtr dim = expression();
        if (!dim) return nullptr;
        if (!accept(Tok::RBracket)) {
          return abandon(atEnd() ? n.pos : cur().pos, kBadArray, "expected ']' after the array's size");
        }
        item.dims.push_back(std::move(dim));
      }
      if (accept(Tok::Eq)) {
        if (!item.dims.empty()) {
          return abandon(item.pos, kBadArray, "an array takes its values from an ARRAY statement, not '='");
        }
        item.init = expression();
        if (!item.init) {
          // The variable is declared all the same, so that its uses are
          // not reported as well.
          s->items.push_back(std::move(item));
          p_ = limit_;
          return s;
        }
      }
      s->items.push_back(std::move(item));
      if (!accept(Tok::Comma)) break;
    }
    return s;
  }

  bool typeName(TypeName& out) {
    if (!curIs(Tok::Name)) return false;
    const Token& t = cur();
    out.pos = t.pos;
    if (t.key == "INT") out.base = Base::Int;
    else if (t.key == "REAL") out.base = Base::Real;
    else if (t.key == "STR") out.base = Base::Str;
    else if (!t.keyword && t.key.find('@') == std::string::npos) out.base = Base::Struct;
    else return false;
    out.name = t.text;
    out.key = t.key;
    take();
    return true;
  }

  // ARRAY INT primes[] = {2, 3, 5, 7}
  StmtPtr arrayDeclaration(bool isStatic, Pos pos) {
    take();  // ARRAY
    auto s = make(StmtKind::Array, pos);
    s->isStatic = isStatic;
    auto bad = [&](const std::string& why) -> StmtPtr {
      return abandon(atEnd() ? pos : cur().pos, kBadArrayStatement, why);
    };
    if (!typeName(s->typeName) || s->typeName.base == Base::Struct)
      return bad("write ARRAY INT, REAL or STR name[] = {values}");
    if (!curIs(Tok::Name) || cur().keyword) return bad(insteadOfName("expected the array's name"));
    DeclItem item;
    const Token& n = take();
    item.name = n.text;
    item.key = n.key;
    item.pos = n.pos;
    if (!accept(Tok::LBracket)) return bad("expected '[' after the array's name");
    if (accept(Tok::RBracket)) {
      item.openDims = true;
    } else {
      ExprPtr dim = expression();
      if (!dim) return nullptr;
      item.dims.push_back(std::move(dim));
      if (!accept(Tok::RBracket)) return bad("expected ']'");
    }
    if (!accept(Tok::Eq) || !accept(Tok::LBrace)) return bad("expected '= {' and the array's values");
    if (!curIs(Tok::RBrace)) {
      for (;;) {
        ExprPtr v = expression();
        if (!v) return nullptr;
        s->values.push_back(std::move(v));
        if (!accept(Tok::Comma)) break;
      }
    }
    if (!accept(Tok::RBrace)) return bad("expected '}' after the array's values");
    s->items.push_back(std::move(item));
    return s;
  }

  StmtPtr ifStatement() {
    const Token& ifToken = take();
    auto s = make(StmtKind::If, ifToken.pos);
    Clause first;
    first.pos = ifToken.pos;
    // A broken first line still opens the block, so that its ENDIF is not
    // reported as well.
    bool broken = false;
    if (atEnd()) {
      d_.error(ifToken.pos, kNeedsParameter, "IF needs a condition");
      broken = true;
    } else {
      first.cond = expression();
      if (!first.cond) {
        broken = true;
      } else if (!acceptName("THEN")) {
        d_.error(ifToken.pos, kNoThen, "this IF has no THEN");
        broken = true;
      }
    }
    if (broken) {
      p_ = limit_;
      first.cond.reset();
    } else if (!atEnd()) {
      return oneLineIf(std::move(s), std::move(first));
    }
    s->clauses.push_back(std::move(first));
    nextLine();
    open_.push_back({BlockKind::If, ifToken.pos});
    s->clauses.back().body = blockBody();
    bool sawElse = false;
    for (;;) {
      if (t_[p_].is(Tok::End) || (!lineStartsWith("ELSEIF") && !lineStartsWith("ELSE") && !lineStartsWith("ENDIF"))) {
        missingEnd(open_.back());
        break;
      }
      const Token& w = take();
      if (w.key == "ENDIF") break;
      Clause c;
      c.pos = w.pos;
      if (w.key == "ELSEIF") {
        if (sawElse) d_.error(w.pos, kSyntaxError, "ELSEIF after ELSE");
        c.cond = expression();
        if (c.cond && !acceptName("THEN")) d_.error(w.pos, kNoThen, "this ELSEIF has no THEN");
      } else {
        if (sawElse) d_.error(w.pos, kSyntaxError, "a second ELSE in one IF");
        c.isDefault = true;
        sawElse = true;
      }
      finishLine();
      c.body = blockBody();
      s->clauses.push_back(std::move(c));
    }
    open_.pop_back();
    return s;
  }

  // IF c THEN statement [ELSE statement]
  StmtPtr oneLineIf(StmtPtr s, Clause first) {
    s->oneLine = true;
    const size_t lineEnd = limit_;
    size_t elseAt = lineEnd;
    for (size_t k = p_; k < lineEnd; ++k)
      if (t_[k].isName("ELSE")) {
        elseAt = k;
        break;
      }
    limit_ = elseAt;
    if (!atEnd()) {
      if (curIs(Tok::Name) && isBlockStart(cur())) {
        d_.error(cur().pos, kSyntaxError, cur().text + " cannot stand on the line of IF ... THEN");
      } else if (StmtPtr body = statement()) {
        first.body.push_back(std::move(body));
        if (!atEnd()) d_.error(cur().pos, kSyntaxError, "unexpected " + describe(cur()) + " after the statement");
      }
    }
    s->clauses.push_back(std::move(first));
    if (elseAt < lineEnd) {
      p_ = elseAt + 1;
      limit_ = lineEnd;
      Clause c;
      c.pos = t_[elseAt].pos;
      c.isDefault = true;
      if (atEnd()) {
        d_.error(c.pos, kNeedsParameter, "ELSE on the line of IF ... THEN needs a statement after it");
      } else if (curIs(Tok::Name) && isBlockStart(cur())) {
        d_.error(cur().pos, kSyntaxError, cur().text + " cannot stand on the line of IF ... THEN");
      } else if (StmtPtr body = statement()) {
        c.body.push_back(std::move(body));
      }
      s->clauses.push_back(std::move(c));
    }
    p_ = limit_ = lineEnd;
    return s;
  }

  static bool isBlockStart(const Token& t) {
    const std::string& w = t.key;
    return t.blockWord || keyIs(w, "IF") || keyIs(w, "FOR") || keyIs(w, "WHILE") || keyIs(w, "LOOP") ||
           keyIs(w, "SWITCH") || keyIs(w, "SELECT") || keyIs(w, "FUNC") || keyIs(w, "STRUCT") || keyIs(w, "EXFUNC") ||
           keyIs(w, "STATIC") || keyIs(w, "ARRAY");
  }

  StmtPtr forStatement() {
    const Token& f = take();
    auto s = make(StmtKind::For, f.pos);
    const bool ok = forHeader(*s, f);
    if (!ok) p_ = limit_;
    finishLine();
    open_.push_back({BlockKind::For, f.pos});
    s->body = blockBody();
    if (!t_[p_].is(Tok::End) && lineStartsWith("NEXT")) {
      take();
      if (curIs(Tok::Name)) {
        const Token& n = take();
        if (ok && s->lhs->kind == ExprKind::Path && n.key != s->lhs->key)
          d_.error(n.pos, kNextWithoutFor, "NEXT " + n.text + " closes the FOR of " + s->lhs->name);
      }
    } else {
      missingEnd(open_.back());
    }
    open_.pop_back();
    return ok ? std::move(s) : nullptr;
  }

  // counter = start TO end [STEP step]
  bool forHeader(Stmt& s, const Token& f) {
    if (atEnd()) {
      d_.error(f.pos, kNeedsParameter, "FOR needs a counter: FOR i = 1 TO 10");
      return false;
    }
    if (!curIs(Tok::Name) || cur().keyword) {
      d_.error(cur().pos, kSyntaxError, insteadOfName("FOR is followed by the counter's name"));
      return false;
    }
    s.lhs = primary();
    if (!s.lhs) return false;
    if (!accept(Tok::Eq)) {
      d_.error(atEnd() ? f.pos : cur().pos, kSyntaxError, "expected '=' and the counter's first value");
      return false;
    }
    s.rhs = expression();
    if (!s.rhs) return false;
    if (!acceptName("TO")) {
      d_.error(f.pos, kNoTo, "this FOR has no TO");
      return false;
    }
    s.cond = expression();
    if (!s.cond) return false;
    if (acceptName("STEP")) {
      s.step = expression();
      if (!s.step) return false;
    }
    return true;
  }

  StmtPtr whileStatement() {
    const Token& w = take();
    auto s = make(StmtKind::While, w.pos);
    if (atEnd()) d_.error(w.pos, kNeedsParameter, "WHILE needs a condition");
    else s->cond = expression();
    const bool ok = s->cond != nullptr;
    if (!ok) p_ = limit_;
    finishLine();
    open_.push_back({BlockKind::While, w.pos});
    s->body = blockBody();
    if (!t_[p_].is(Tok::End) && lineStartsWith("ENDWHILE")) take();
    else missingEnd(open_.back());
    open_.pop_back();
    return ok ? std::move(s) : nullptr;
  }

  StmtPtr loopStatement() {
    const Token& w = take();
    auto s = make(StmtKind::Loop, w.pos);
    finishLine();
    open_.push_back({BlockKind::Loop, w.pos});
    s->body = blockBody();
    if (!t_[p_].is(Tok::End) && lineStartsWith("ENDLOOP")) take();
    else missingEnd(open_.back());
    open_.pop_back();
    return s;
  }

  // SWITCH and SELECT: a value, then CASE/WHEN lines, each with a body.
  StmtPtr switchStatement() { return choice(true); }
  StmtPtr selectStatement() { return choice(false); }

  StmtPtr choice(bool isSwitch) {
    const Token& w = take();
    const char* caseWord = isSwitch ? "CASE" : "WHEN";
    const char* defaultWord = isSwitch ? "DEFAULT" : "OTHER";
    const char* endWord = isSwitch ? "ENDSWITCH" : "ENDSELECT";
    auto s = make(isSwitch ? StmtKind::Switch : StmtKind::Select, w.pos);
    if (atEnd()) d_.error(w.pos, kNeedsParameter, std::string(isSwitch ? "SWITCH" : "SELECT") + " needs a value");
    else s->cond = expression();
    const bool ok = s->cond != nullptr;
    if (!ok) p_ = limit_;
    finishLine();
    open_.push_back({isSwitch ? BlockKind::Switch : BlockKind::Select, w.pos});
    // Lines before the first CASE/WHEN belong to no case.
    Block before = blockBody();
    if (!before.empty())
      d_.error(before.front()->pos, isSwitch ? kNotInSwitch : kNotInSelect,
               std::string("only ") + caseWord + ", " + defaultWord + " and " + endWord + " may follow " +
                   (isSwitch ? "SWITCH" : "SELECT"));
    bool sawDefault = false;
    for (;;) {
      if (t_[p_].is(Tok::End) || (!lineStartsWith(caseWord) && !lineStartsWith(defaultWord) && !lineStartsWith(endWord))) {
        missingEnd(open_.back());
        break;
      }
      const Token& c = take();
      if (c.key == endWord) break;
      Clause clause;
      clause.pos = c.pos;
      if (c.key == defaultWord) {
        if (sawDefault) d_.error(c.pos, kSyntaxError, std::string("a second ") + defaultWord);
        sawDefault = true;
        clause.isDefault = true;
      } else {
        if (atEnd()) d_.error(c.pos, kNeedsParameter, std::string(caseWord) + " needs a value");
        else if (!argumentList(clause.values)) clause.values.clear();
      }
      finishLine();
      clause.body = blockBody();
      s->clauses.push_back(std::move(clause));
    }
    open_.pop_back();
    return ok ? std::move(s) : nullptr;
  }

  StmtPtr breakStatement() {
    const Token& w = take();
    const bool isBreak = w.key == "BREAK";
    bool inside = false;
    for (const OpenBlock& b : open_) {
      if (b.kind == BlockKind::For || b.kind == BlockKind::While || b.kind == BlockKind::Loop ||
          (isBreak && b.kind == BlockKind::Switch))
        inside = true;
    }
    if (!inside) {
      if (isBreak) d_.error(w.pos, kBreakOutside, "BREAK outside FOR, WHILE, LOOP and SWITCH");
      else d_.error(w.pos, kContinueOutside, "CONTINUE outside FOR, WHILE and LOOP");
      return nullptr;
    }
    return make(isBreak ? StmtKind::Break : StmtKind::Continue, w.pos);
  }

  StmtPtr gotoStatement() {
    const Token& g = take();
    if (atEnd()) {
      d_.error(g.pos, kNeedsParameter, "GOTO needs a label's name");
      return nullptr;
    }
    if (!curIs(Tok::Name)) return abandon(cur().pos, kGotoNotLabel, "GOTO is followed by a label's name");
    auto s = make(StmtKind::Goto, g.pos);
    const Token& n = take();
    s->name = n.text;
    s->key = n.key;
    return s;
  }

  StmtPtr returnStatement() {
    const Token& r = take();
    auto s = make(StmtKind::Return, r.pos);
    if (!atEnd()) {
      s->value = expression();
      if (!s->value) return nullptr;
    }
    return s;
  }

  // FUNC [INT|REAL|STR] name([type name, ...]) ... ENDFUNC
  void funcDefinition() {
    const Token& f = take();
    if (inFunc_) {
      d_.error(f.pos, kFuncInFunc, "a FUNC cannot stand inside another FUNC");
      nextLine();
      return;
    }
    FuncInfo fn;
    fn.pos = f.pos;
    if (!signature(fn, false)) {
      p_ = limit_;
      fn.broken = true;
    }
    finishLine();
    inFunc_ = true;
    open_.push_back({BlockKind::Func, f.pos});
    fn.body = blockBody();
    if (!t_[p_].is(Tok::End) && lineStartsWith("ENDFUNC")) {
      fn.endPos = cur().pos;
      take();
      finishLine();
    } else {
      missingEnd(open_.back());
      fn.endPos = t_[p_].pos;
    }
    open_.pop_back();
    inFunc_ = false;
    prog_.funcs.push_back(std::move(fn));
  }

  // [type] name(params): FUNC parameters are typed names, EXFUNC ones types
  // with an optional name.
  bool signature(FuncInfo& fn, bool ex) {
    const Pos at = fn.pos;
    if (curName("INT") || curName("REAL") || curName("STR")) {
      // A type word right before '(' is the function's name only if nothing else follows.
      if (!peek().is(Tok::LParen)) typeName(fn.resultName);
    }
    if (!curIs(Tok::Name) || cur().keyword || cur().key.find('@') != std::string::npos) {
      d_.error(atEnd() ? at : cur().pos, kBadFunc, insteadOfName(ex ? "EXFUNC needs the function's name" : "FUNC needs the function's name"));
      return false;
    }
    const Token& n = take();
    fn.name = n.text;
    fn.key = n.key;
    if (!accept(Tok::LParen)) {
      if (ex) {
        d_.error(atEnd() ? n.pos : cur().pos, kBadFunc, "an EXFUNC lists its parameter types in parentheses");
        return false;
      }
      return true;  // FUNC name: no parameters
    }
    if (accept(Tok::RParen)) return true;
    for (;;) {
      ParamDecl pd;
      pd.pos = atEnd() ? n.pos : cur().pos;
      if (curName("STATIC")) {
        d_.error(cur().pos, kStaticParam, "a parameter is a variable of the function, never STATIC");
        return false;
      }
      if (!(curName("INT") || curName("REAL") || curName("STR"))) {
        d_.error(pd.pos, kParamNotVariable, "a parameter is INT, REAL or STR and its name");
        return false;
      }
      typeName(pd.type);
      if (curIs(Tok::Name) && !cur().keyword && cur().key.find('@') == std::string::npos) {
        const Token& pn = take();
        pd.name = pn.text;
        pd.key = pn.key;
        pd.pos = pn.pos;
      } else if (!ex) {
        d_.error(atEnd() ? pd.pos : cur().pos, kParamNotVariable, insteadOfName("a parameter needs a name after its type"));
        return false;
      }
      if (curIs(Tok::LBracket)) {
        d_.error(cur().pos, kParamNotVariable, "a parameter cannot be an array");
        return false;
      }
      fn.params.push_back(std::move(pd));
      if (accept(Tok::RParen)) return true;
      if (!accept(Tok::Comma)) {
        if (atEnd()) d_.error(n.pos, kNoCloseParen, "the parameter list has no ')'");
        else d_.error(cur().pos, kParamNotVariable, "expected ',' or ')' in the parameter list");
        return false;
      }
    }
  }

  // EXFUNC [type] name(types) IN "dll" [AS "function"]
  StmtPtr exfuncDeclaration() {
    const Token& e = take();
    if (inFunc_) {
      return abandon(e.pos, kExfuncInFunc, "EXFUNC is declared at the top level, outside every FUNC");
    }
    if (!open_.empty()) {
      return abandon(e.pos, kSyntaxError, "EXFUNC is declared at the top level, outside every block");
    }
    FuncInfo fn;
    fn.pos = e.pos;
    fn.isExfunc = true;
    if (!signature(fn, true)) {
      p_ = limit_;
      return nullptr;
    }
    if (!acceptName("IN") || !curIs(Tok::String) || cur().text.empty()) {
      return abandon(atEnd() ? e.pos : cur().pos, kBadDllName, "write IN \"file.dll\" after the parameters");
    }
    fn.dll = take().text;
    if (acceptName("AS")) {
      if (!curIs(Tok::String) || cur().text.empty()) {
        return abandon(atEnd() ? e.pos : cur().pos, kBadFunctionName, "write AS \"name\" with the DLL's name of the function");
      }
      fn.function = take().text;
    } else {
      fn.function = fn.name;
    }
    prog_.funcs.push_back(std::move(fn));
    return nullptr;
  }

  // STRUCT Name / fields / ENDSTRUCT
  void structDefinition() {
    const Token& s = take();
    StructInfo info;
    info.pos = s.pos;
    if (inFunc_) d_.error(s.pos, kSyntaxError, "a STRUCT stands at the top level, outside every FUNC");
    if (!curIs(Tok::Name) || cur().keyword || cur().key.find('@') != std::string::npos) {
      d_.error(atEnd() ? s.pos : cur().pos, kSyntaxError, insteadOfName("STRUCT needs the structure's name"));
      p_ = limit_;
    } else {
      const Token& n = take();
      info.name = n.text;
      info.key = n.key;
      structNames_.insert(n.key);
    }
    finishLine();
    while (!t_[p_].is(Tok::End)) {
      beginLine();
      if (atEnd()) {
        nextLine();
        continue;
      }
      if (curName("ENDSTRUCT")) {
        take();
        finishLine();
        pendingFields_.push_back({prog_.structs.size(), std::move(fieldLines_)});
        fieldLines_.clear();
        info.defined = true;
        prog_.structs.push_back(std::move(info));
        return;
      }
      if (curIs(Tok::Name) && (cur().blockWord || curName("FUNC") || curName("STRUCT"))) break;
      StmtPtr decl = declaration(false);
      if (decl) {
        for (auto& item : decl->items) {
          if (!item.dims.empty() || item.init) d_.error(item.pos, kSyntaxError, "a field is a plain INT, REAL, STR or structure");
        }
        fieldLines_.push_back(std::move(decl));
      }
      finishLine();
    }
    d_.error(s.pos, kSyntaxError, "this STRUCT has no ENDSTRUCT");
    info.defined = true;
    prog_.structs.push_back(std::move(info));
    pendingFields_.push_back({prog_.structs.size() - 1, std::move(fieldLines_)});
    fieldLines_.clear();
  }

  // --- expressions ---

  ExprPtr expression() {
    if (atEnd()) {
      d_.error(cur().pos, kBadExpression, "a value is missing here");
      return nullptr;
    }
    return orExpr();
  }

  ExprPtr binary(BinOp op, ExprPtr a, ExprPtr b, Pos pos) {
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Binary;
    e->pos = pos;
    e->bin = op;
    e->a = std::move(a);
    e->b = std::move(b);
    return e;
  }

  ExprPtr orExpr() {
    ExprPtr a = andExpr();
    while (a && (curName("OR") || curName("XOR"))) {
      const Token& o = take();
      ExprPtr b = andExpr();
      if (!b) return nullptr;
      a = binary(o.key == "OR" ? BinOp::Or : BinOp::Xor, std::move(a), std::move(b), o.pos);
    }
    return a;
  }

  ExprPtr andExpr() {
    ExprPtr a = compareExpr();
    while (a && curName("AND")) {
      const Token& o = take();
      ExprPtr b = compareExpr();
      if (!b) return nullptr;
      a = binary(BinOp::And, std::move(a), std::move(b), o.pos);
    }
    return a;
  }

  ExprPtr compareExpr() {
    ExprPtr a = addExpr();
    while (a && !atEnd()) {
      BinOp op;
      switch (cur().kind) {
        case Tok::Eq: op = BinOp::Eq; break;
        case Tok::Ne: op = BinOp::Ne; break;
        case Tok::Lt: op = BinOp::Lt; break;
        case Tok::Gt: op = BinOp::Gt; break;
        case Tok::Le: op = BinOp::Le; break;
        case Tok::Ge: op = BinOp::Ge; break;
        default: return a;
      }
      const Token& o = take();
      ExprPtr b = addExpr();
      if (!b) return nullptr;
      a = binary(op, std::move(a), std::move(b), o.pos);
    }
    return a;
  }

  ExprPtr addExpr() {
    ExprPtr a = mulExpr();
    while (a && (curIs(Tok::Plus) || curIs(Tok::Minus))) {
      const Token& o = take();
      ExprPtr b = mulExpr();
      if (!b) return nullptr;
      a = binary(o.is(Tok::Plus) ? BinOp::Add : BinOp::Sub, std::move(a), std::move(b), o.pos);
    }
    return a;
  }

  ExprPtr mulExpr() {
    ExprPtr a = unary();
    while (a && (curIs(Tok::Star) || curIs(Tok::Slash) || curName("MOD"))) {
      const Token& o = take();
      ExprPtr b = unary();
      if (!b) return nullptr;
      a = binary(o.is(Tok::Star) ? BinOp::Mul : o.is(Tok::Slash) ? BinOp::Div : BinOp::Mod, std::move(a), std::move(b),
                 o.pos);
    }
    return a;
  }

  ExprPtr unary() {
    if (curIs(Tok::Minus) || curName("NOT")) {
      const Token& o = take();
      if (!deeper(o.pos, "the expression nests")) return nullptr;
      ExprPtr a = unary();
      --depth_;
      if (!a) return nullptr;
      auto e = std::make_unique<Expr>();
      e->kind = ExprKind::Unary;
      e->pos = o.pos;
      e->un = o.is(Tok::Minus) ? UnOp::Neg : UnOp::Not;
      e->a = std::move(a);
      return e;
    }
    return primary();
  }

  ExprPtr primary() {
    if (atEnd()) {
      d_.error(cur().pos, kBadExpression, "a value is missing here");
      return nullptr;
    }
    const Token& t = cur();
    auto e = std::make_unique<Expr>();
    e->pos = t.pos;
    switch (t.kind) {
      case Tok::Int:
        take();
        e->kind = ExprKind::Int;
        e->i = t.number;
        return e;
      case Tok::Real:
        take();
        e->kind = ExprKind::Real;
        e->r = t.real;
        return e;
      case Tok::String:
        take();
        e->kind = ExprKind::Str;
        e->s = t.text;
        return e;
      case Tok::LParen: {
        take();
        if (curIs(Tok::RParen)) return abandon(t.pos, kEmptyParens, "nothing between '(' and ')'");
        if (!deeper(t.pos, "parentheses nest")) return nullptr;
        ExprPtr inner = expression();
        --depth_;
        if (!inner) return nullptr;
        if (!accept(Tok::RParen)) return abandon(t.pos, kNoCloseParen, "this '(' has no ')'");
        return inner;
      }
      case Tok::Name: break;
      case Tok::RParen:
        return abandon(t.pos, kTooManyClose, "a ')' with no '(' before it");
      default:
        return abandon(t.pos, kBadExpression, "unexpected " + describe(t) + " in a value");
    }
    if (t.keyword && !(t.key == "INT" || t.key == "REAL" || t.key == "STR")) {
      return abandon(t.pos, kBadExpression, t.text + " cannot stand in a value");
    }
    take();
    e->name = t.text;
    e->key = t.key;
    if (curIs(Tok::LParen)) {
      const Token& open = take();
      e->kind = ExprKind::Call;
      e->parens = true;
      if (accept(Tok::RParen)) return e;
      if (!deeper(open.pos, "calls nest")) return nullptr;
      bool ok = argumentList(e->args);
      --depth_;
      if (!ok) return nullptr;
      if (!accept(Tok::RParen)) return abandon(open.pos, kNoCloseParen, "this '(' has no ')'");
      return e;
    }
    e->kind = ExprKind::Path;
    for (;;) {
      if (curIs(Tok::LBracket)) {
        const Token& open = take();
        Selector sel;
        sel.pos = open.pos;
        if (curIs(Tok::RBracket)) return abandon(open.pos, kNotArray, "an index is missing between '[' and ']'");
        if (!deeper(open.pos, "indices nest")) return nullptr;
        sel.index = expression();
        --depth_;
        if (!sel.index) return nullptr;
        if (!accept(Tok::RBracket)) return abandon(open.pos, kBadExpression, "this '[' has no ']'");
        e->path.push_back(std::move(sel));
      } else if (curIs(Tok::Dot)) {
        const Token& dot = take();
        if (!curIs(Tok::Name)) return abandon(dot.pos, kBadExpression, "a field's name is missing after '.'");
        const Token& f = take();
        Selector sel;
        sel.isField = true;
        sel.pos = f.pos;
        sel.name = f.text;
        sel.key = f.key;
        e->path.push_back(std::move(sel));
      } else {
        return e;
      }
    }
  }

 public:
  // Field lines of each STRUCT, for the checker.
  struct PendingFields {
    size_t structIndex;
    std::vector<StmtPtr> lines;
  };
  std::vector<PendingFields> pendingFields_;

 private:
  static constexpr size_t kMaxStatementsGuard = ~size_t{0};
  const std::vector<Token>& t_;
  Program& prog_;
  Diagnostics& d_;
  size_t p_ = 0, limit_ = 0;
  std::vector<OpenBlock> open_;
  std::set<std::string> structNames_;
  std::vector<StmtPtr> fieldLines_;
  bool inFunc_ = false;
  int depth_ = 0;
  size_t statements_ = 0;
};

}  // namespace

void parseProgram(const std::vector<Token>& tokens, Program& program, Diagnostics& diagnostics) {
  Parser parser(tokens, program, diagnostics);
  parser.run();
  // A structure's fields are declarations the checker reads like any other.
  for (auto& pending : parser.pendingFields_) {
    program.structFields.resize(program.structs.size());
    program.structFields[pending.structIndex] = std::move(pending.lines);
  }
}

}  // namespace qrt::qrtc
