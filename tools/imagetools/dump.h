// A program image printed for a reader: header, routine table, each
// routine's descriptor, constants and op stream in position order, native
// blocks decoded where the emitter's instructions allow, and the EXFUNC
// DLLs the game loads.
#pragma once
#include <string>

#include "tools/imagetools/image_view.h"

namespace qrt::imgtools {

struct DumpOptions {
  bool code = true;  // false: native blocks as lengths and exits only
};

std::string dumpImage(const LoadedImage& image, const DumpOptions& options = {});

}  // namespace qrt::imgtools
