// Diagnostics of the compiler: each names a row of the runtime's load
// catalogue (the language's own table of errors) and says in English what
// is wrong. Every error of a program is collected, up to a cap, so that a
// writer sees them all at once.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qrt::qrtc {

// Rows of the load catalogue the compiler raises.
enum Code : int {
  kNoMemory = 1, kInternal = 2,
  kCannotOpen = 100, kEmptyFile = 101, kCannotRead = 102,
  kOpenComment = 103, kOpenString = 104, kBadInclude = 105, kBadDefine = 106, kRedefined = 107,
  kSyntax = 110,
  kNumberRange = 200, kBadExpression = 201, kNoCloseParen = 203,
  kBadArray = 222, kBadArraySize = 223, kNotArray = 224, kTypeRedeclared = 225, kIndexNotInt = 226,
  kArrayRedeclared = 228, kStaticRedeclared = 230, kNotDynamic = 231,
  kExfuncInFunc = 240, kFuncInFunc = 241, kBadFunc = 242, kNoEndfunc = 243, kEndfuncWithoutFunc = 244,
  kStaticParam = 245, kParamNotVariable = 246, kNotFunction = 247, kReturnWithoutFunc = 248,
  kFuncRedefined = 249, kParamRepeated = 250, kNoResult = 251,
  kBadArrayStatement = 260, kArrayMixedTypes = 261, kArrayNotConstant = 263,
  kBadDllName = 271, kBadFunctionName = 272,
  kSyntaxError = 300, kTooManyOpen = 303, kTooManyClose = 304, kEmptyParens = 305,
  kNeedsParameter = 307, kRealVariable = 308, kRealValue = 309,
  kThenWithoutIf = 310, kElseWithoutIf = 311, kEndifWithoutIf = 312, kNoEndif = 313, kNoThen = 314,
  kNoTo = 315, kNoNext = 316, kNextWithoutFor = 317, kToWithoutFor = 318, kStepWithoutFor = 319,
  kNoLabel = 320, kGotoNotLabel = 321, kLabelIsVariable = 322, kVariableIsLabel = 323, kLabelRepeated = 324,
  kArgumentType = 334, kArgumentCount = 335,
  kNoEndloop = 355, kEndloopWithoutLoop = 356, kContinueOutside = 361, kBreakOutside = 365,
  kNoEndwhile = 370, kEndwhileWithoutWhile = 371,
  kNotInSelect = 380, kWhenWithoutSelect = 381, kOtherWithoutSelect = 382, kEndselectWithoutSelect = 383,
  kNoEndselect = 384,
  kNotInSwitch = 390, kCaseWithoutSwitch = 391, kDefaultWithoutSwitch = 392, kEndswitchWithoutSwitch = 393,
  kCaseNotNumber = 395, kNoEndswitch = 396,
  kAssignToString = 400, kStringArithmetic = 401, kNotStruct = 403, kTypeMismatch = 406,
};

// A place in the sources: the file's index in the source list, 1-based line
// and column (characters, not bytes).
struct Pos {
  int32_t file = 0;
  int32_t line = 0;
  int32_t column = 0;
};

struct Diagnostic {
  Pos pos;
  Code code;
  std::string explanation;  // English, UTF-8
};

constexpr int kMaxDiagnostics = 50;

class Diagnostics {
 public:
  void error(Pos pos, Code code, std::string explanation);
  bool any() const { return !list_.empty(); }
  bool full() const { return static_cast<int>(list_.size()) >= kMaxDiagnostics; }
  const std::vector<Diagnostic>& list() const { return list_; }
  // The sorted list, one error per place and code.
  std::vector<Diagnostic> sorted() const;

 private:
  std::vector<Diagnostic> list_;
};

// The catalogue's message of a code as one line of UTF-8 ("QV0110 文法エラーが
// 発生しました"), read from the runtime's own catalogue.
std::string catalogueText(Code code);

// file:line:column: QVnnnn <message> (<explanation>)
std::string formatDiagnostic(const Diagnostic& d, const std::string& fileName);

}  // namespace qrt::qrtc
