// Follows a program the way the engine would run it: from each routine's
// first op, op by op, into native blocks and through their jumps, and on at
// every op a block's exit names. Ops and code found are kept by position;
// an op reached by frames of different sizes is visited once per size,
// since the slot rules depend on the frame.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "tools/imagetools/descriptor.h"
#include "tools/imagetools/finding.h"
#include "tools/imagetools/image_view.h"
#include "tools/imagetools/ops.h"
#include "tools/imagetools/x86_decode.h"

namespace qrt::imgtools {

// Positions the walk takes at most, far above any game's ops and
// instructions; beyond it the walk stops and says so.
constexpr uint32_t kMaxWalkSteps = 1u << 21;

struct OpVisit {
  uint32_t at;
  uint32_t routine;  // whose frame runs the op
};

struct Walk {
  uint32_t tableRoutines = 0;              // routines in the table
  std::vector<uint32_t> routines;          // every routine walked: the table's, then those called
  std::map<uint32_t, Op> ops;
  std::map<uint32_t, Instruction> code;
  std::vector<OpVisit> visits;
  std::set<uint32_t> calledByCall, calledByExternal;  // routine numbers named by ops 1 and 10
  std::vector<Finding> findings;           // where the program would leave the image, code not decoded
};

Walk walkImage(const ImageView& image, Descriptors& descriptors);

}  // namespace qrt::imgtools
