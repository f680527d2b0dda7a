// The code generator: a checked program into a program image. Arithmetic,
// assignments, conditions and jumps become native x86-32 code; calls,
// commands, string work and EXFUNC calls become ops. Consecutive
// statements share one native block wherever no op stands between them.
#pragma once
#include <cstdint>
#include <vector>

#include "compiler/ast.h"

namespace qrt::qrtc {

struct GenOptions {
  bool singleInstance = false;  // the image's one-copy flag
  // Leave the program's tree to the end of the process instead of taking it
  // apart node by node: for a compiler about to exit.
  bool keepTree = false;
};

// The image, header included. The program must have passed the checker
// without errors.
std::vector<uint8_t> generateImage(Program& program, const GenOptions& options);

}  // namespace qrt::qrtc
