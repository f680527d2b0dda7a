// The checker: resolves every name (variables, structures and their fields,
// functions, built-in commands, labels), gives every expression its type,
// folds constants, and reports what the language does not allow. What it
// leaves in the program is what the code generator needs and nothing it
// must check again.
#pragma once
#include "compiler/ast.h"
#include "compiler/diagnostics.h"

namespace qrt::qrtc {

// Limits of the image a program must fit in.
constexpr int64_t kMaxFrameSlots = int64_t{1} << 24;
constexpr int64_t kMaxStaticSlots = int64_t{1} << 24;

void checkProgram(Program& program, Diagnostics& diagnostics);

// The command id for a name (upper case), or -1.
int commandByName(const std::string& key);

}  // namespace qrt::qrtc
