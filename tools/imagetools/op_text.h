// One op as a line of the dump, in the terms of the script: slots, command
// names and their signature letters from the vocabulary, routine numbers.
#pragma once
#include <string>

#include "tools/imagetools/descriptor.h"
#include "tools/imagetools/ops.h"

namespace qrt::imgtools {

// `frame`, when known, is the routine whose op stream holds the op: string
// slots bound to its constants show their text.
std::string opText(const Op& op, Descriptors& descriptors, const Descriptor* frame = nullptr);

// "int", "str" or "type N" for a type pair's code.
std::string typeName(uint32_t code);

}  // namespace qrt::imgtools
