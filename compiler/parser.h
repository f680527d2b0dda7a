// The parser: the program's tokens into statements, one per line, with the
// block statements (IF, FOR, WHILE, LOOP, SWITCH, SELECT, FUNC, STRUCT)
// matched to their ends. A line it cannot read is reported and skipped, and
// a block left open is reported where it starts.
#pragma once
#include <vector>

#include "compiler/ast.h"
#include "compiler/diagnostics.h"
#include "compiler/token.h"

namespace qrt::qrtc {

constexpr int kMaxNesting = 200;  // expression and block depth

void parseProgram(const std::vector<Token>& tokens, Program& program, Diagnostics& diagnostics);

}  // namespace qrt::qrtc
