// What the runtime would refuse in an image, found without running it: the
// descriptor rules of the engine's first entry into a routine, and the
// operand rules of every op the walk reaches, in the frame that runs it.
// Faults end a game with the internal-error box when the engine reaches
// them; notes are places the check could not follow.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/imagetools/finding.h"
#include "tools/imagetools/image_view.h"

namespace qrt::imgtools {

struct CheckResult {
  std::vector<Finding> findings;  // by position
  size_t routines = 0, ops = 0, instructions = 0;

  size_t faults() const;
};

CheckResult checkImage(const ImageView& image);

}  // namespace qrt::imgtools
