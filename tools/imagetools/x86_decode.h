// A decoder for the x86-32 instructions the image builder's emitter writes
// (image/x86.h), driven by one table. Native blocks made by
// another compiler may hold anything else: those bytes are reported as not
// decoded, and the walk does not follow them.
#pragma once
#include <cstdint>
#include <string>

#include "tools/imagetools/image_view.h"

namespace qrt::imgtools {

struct Instruction {
  enum class Flow : uint8_t {
    Next,      // falls through
    Jump,      // jmp: only to `target`
    Branch,    // jcc: to `target` or on
    Return,    // ret: leaves the block
    Stop,      // ud2: stops the program (the internal-error box)
    Unknown,   // not decoded; length 0
  };
  uint32_t at = 0;
  uint8_t length = 0;
  Flow flow = Flow::Unknown;
  uint32_t target = 0;       // Jump and Branch: image offset
  bool setsNextOp = false;   // mov dword [ebx], imm32: the block's exit
  uint32_t nextOp = 0;
  bool writesPc = false;     // any other write of slot 0: a next op the tools cannot know
  std::string text;          // Intel syntax, with slots and targets named
};

// Decodes the instruction at image offset `at`; Flow::Unknown when the bytes
// are not one the table knows or the instruction runs past the image.
Instruction decodeInstruction(const ImageView& image, uint32_t at);

}  // namespace qrt::imgtools
