// Mutants of a program image for the image campaign: bit flips, boundary
// words, truncations, routine-table and descriptor edits, in the bytes the
// engine reads as data. Native code is left as it is: the engine runs it
// as the program's own and cannot check it, so changing it would test the
// mutation, not the runtime. For the same reason no op word ever becomes a
// native-block op where the program had none.
//
// Each mutant is a function of the seed image and a number, so that any
// outcome can be made again from the campaign's log.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qrt::imagefuzz {

// Where a seed image keeps what the engine reads, found once by walking it
// the way the engine runs it. Offsets are file offsets (header first).
struct Layout {
  uint32_t header = 0;                 // where the 22-byte header starts
  std::vector<uint32_t> table;         // routine table entries
  std::vector<uint32_t> descriptors;   // the words of every descriptor, constants' headers included
  std::vector<uint32_t> opWords;       // every word of every op but native code
  std::vector<uint32_t> opStarts;      // op words whose code must not become a native block's
  std::vector<uint8_t> editable;       // per byte: 1 where the mutator may write
};

// `file` is header + image, as a game executable carries it at its end.
Layout layoutOf(const std::vector<uint8_t>& file);

struct Mutant {
  std::vector<uint8_t> file;
  std::string what;   // what was changed, for the log
};

Mutant mutate(const std::vector<uint8_t>& file, const Layout& layout, uint64_t number);

}  // namespace qrt::imagefuzz
