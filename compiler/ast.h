// The program as the parser reads it and the checker annotates it: routines
// of statements of expressions, with the symbols names resolve to.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "compiler/diagnostics.h"

namespace qrt::qrtc {

enum class Base : uint8_t { None, Int, Real, Str, Struct, Error };

struct Type {
  Base base = Base::None;
  int32_t structIndex = -1;  // Struct: index into Program::structs
  bool operator==(const Type& o) const { return base == o.base && structIndex == o.structIndex; }
  bool operator!=(const Type& o) const { return !(*this == o); }
  bool is(Base b) const { return base == b; }
  bool scalar() const { return base == Base::Int || base == Base::Real || base == Base::Str; }
};

inline Type intType() { return {Base::Int, -1}; }
inline Type realType() { return {Base::Real, -1}; }
inline Type strType() { return {Base::Str, -1}; }
inline Type errorType() { return {Base::Error, -1}; }

// A type as written: a type word or a structure's name.
struct TypeName {
  Base base = Base::None;   // Struct: `name` names it
  std::string name, key;
  Pos pos;
};

// --- symbols (made by the checker) ---

struct Var {
  std::string name;
  Pos pos;
  Type type;                   // the element's type for arrays
  std::vector<int32_t> dims;   // constant dimensions (empty: scalar or dynamic)
  int32_t dynamicDims = 0;     // dynamic arrays: dimension count
  bool isStatic = false;
  bool isParam = false;
  int32_t slot = -1;           // first slot (static slot when isStatic); dynamic arrays: the address,
                               // then one slot per dimension
  int32_t elementSize = 1;     // slots per element (a structure's size)

  bool isArray() const { return !dims.empty() || dynamicDims > 0; }
  bool dynamic() const { return dynamicDims > 0; }
  int32_t rank() const { return dynamic() ? dynamicDims : static_cast<int32_t>(dims.size()); }
};

struct Field {
  std::string name, key;
  Type type;
  int32_t offset = 0;  // slots from the start of the structure
};

struct StructInfo {
  std::string name, key;
  Pos pos;
  std::vector<Field> fields;
  int32_t size = 0;    // slots
  bool defined = false;
};

struct FuncInfo;

// --- expressions ---

enum class ExprKind : uint8_t { Int, Real, Str, Path, Call, Unary, Binary };
enum class UnOp : uint8_t { Neg, Not };
enum class BinOp : uint8_t { Add, Sub, Mul, Div, Mod, Eq, Ne, Lt, Gt, Le, Ge, And, Or, Xor };

// What a call names, once checked.
enum class CallKind : uint8_t { Unknown, Command, Func, Exfunc, ToInt, ToReal };

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Selector {
  bool isField = false;
  ExprPtr index;          // [index]
  std::string name, key;  // .name
  Pos pos;
};

struct Expr {
  ExprKind kind = ExprKind::Int;
  Pos pos;
  int32_t i = 0;                    // Int literal, or the folded value
  float r = 0;                      // Real literal, or the folded value
  std::string s;                    // Str literal (cp932)
  std::string name, key;            // Path root, Call name
  std::vector<Selector> path;       // Path: [index] and .field, in order
  std::vector<ExprPtr> args;        // Call
  bool parens = false;              // Call written with parentheses
  UnOp un = UnOp::Neg;
  BinOp bin = BinOp::Add;
  ExprPtr a, b;                     // operands

  // --- set by the checker ---
  Type type;
  bool constant = false;            // Int/Real value known: i or r
  bool hasOps = false;              // evaluating it runs ops (calls, commands, strings)
  Var* var = nullptr;               // Path: the variable
  std::vector<Expr*> indices;       // Path: the index expressions, one per dimension
  int32_t fieldOffset = 0;          // Path: slots from the element's start
  CallKind call = CallKind::Unknown;
  int32_t command = -1;             // Command: its id
  FuncInfo* func = nullptr;         // Func, Exfunc
};

// --- statements ---

enum class StmtKind : uint8_t {
  Decl, Array, Assign, Call, If, For, While, Loop, Break, Continue, Switch, Select, Label, Goto, End, Return,
};

struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;
using Block = std::vector<StmtPtr>;

struct DeclItem {
  std::string name, key;
  Pos pos;
  std::vector<ExprPtr> dims;  // [n] per dimension
  bool openDims = false;      // ARRAY name[] = {...}
  ExprPtr init;
  Var* var = nullptr;         // set by the checker
};

// IF/ELSEIF branches, SWITCH cases, SELECT whens.
struct Clause {
  Pos pos;
  ExprPtr cond;                 // IF and ELSEIF
  std::vector<ExprPtr> values;  // CASE and WHEN
  bool isDefault = false;       // ELSE, DEFAULT, OTHER
  Block body;
};

struct Stmt {
  StmtKind kind = StmtKind::Assign;
  Pos pos;
  TypeName typeName;            // Decl, Array
  bool isStatic = false;        // Decl, Array
  std::vector<DeclItem> items;  // Decl (Array: one)
  std::vector<ExprPtr> values;  // Array
  ExprPtr lhs, rhs;             // Assign; For: lhs the counter, rhs the start
  ExprPtr call;                 // Call
  ExprPtr cond;                 // While, Switch, Select (the value), For: the end
  ExprPtr step;                 // For
  std::vector<Clause> clauses;  // If, Switch, Select
  Block body;                   // For, While, Loop
  std::string name, key;        // Label, Goto
  ExprPtr value;                // Return
  bool oneLine = false;         // If: IF c THEN s [ELSE s]
  bool runsOnce = false;        // Decl: at a routine's top, before any label: runs once, on a zeroed frame
};

// --- routines ---

struct ParamDecl {
  TypeName type;
  std::string name, key;
  Pos pos;
};

struct FuncInfo {
  std::string name, key;
  Pos pos;
  bool isExfunc = false;
  TypeName resultName;          // None: no result
  Type result;
  std::vector<ParamDecl> params;
  std::vector<Type> paramTypes;
  std::vector<Var*> paramVars;  // FUNC: the parameters' variables
  std::string dll, function;    // EXFUNC: cp932 texts
  Block body;                   // FUNC
  Pos endPos;
  int32_t routine = -1;         // its number in the image
  bool broken = false;          // its first line could not be read: calls are not checked against it
  std::vector<Var*> vars;       // FUNC: parameters first, then its variables in order
};

struct Program {
  Block main;
  std::deque<FuncInfo> funcs;        // FUNC and EXFUNC, in the order written
  std::deque<StructInfo> structs;
  std::vector<Block> structFields;   // each STRUCT's field lines, as declarations
  std::deque<Var> vars;              // every variable of every routine
  std::vector<Var*> mainVars;        // the main routine's variables in order
  std::vector<Var*> staticVars;      // STATIC variables in order
};

}  // namespace qrt::qrtc
