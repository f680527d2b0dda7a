// The campaign's seed games: small programs that end by themselves within
// a second and between them reach every kind of op and a command of every
// family, using the demo game's files (its sprite sheet, sounds, model)
// from the folder they run in.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qrt::imagefuzz {

struct Seed {
  std::string name;
  std::vector<uint8_t> file;   // header + image
};

// The core seed (strings, calls, arrays, core functions, files, system)
// and the media seed (2D, 3D, sound, input).
std::vector<Seed> builtSeeds();

}  // namespace qrt::imagefuzz
