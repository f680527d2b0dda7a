// Bitmap (BMP) files written from scratch, for the tests and the fuzz seeds:
// every header size, palettes of any length, run-length codes with their
// escapes, bit-field masks of any width and place. No platform code.
//
//   BmpForm f{.bits = 4, .coding = BmpCoding::Rle4, .palette = {0xFF0000, 0x00FF00}};
//   auto file = bmpFile(f, 7, 5, indices);   // kBmpHole where the codes skip
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace qrt::media {

using Bytes = std::vector<uint8_t>;

enum class BmpCoding : uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3, AlphaBitFields = 6 };

struct BmpForm {
  uint32_t headerSize = 40;      // 12 (the core header), 40, 52, 56, 108 or 124
  uint16_t bits = 24;            // 1, 2, 4, 8, 16, 24 or 32
  BmpCoding coding = BmpCoding::Rgb;
  // Red, green, blue, alpha: how 16- and 32-bit pixels are packed with bit
  // fields; a header of 52 bytes or more carries them whatever the coding.
  std::array<uint32_t, 4> masks{};
  bool topDown = false;          // a negative height
  // 0x00RRGGBB entries. Its length is the colour count the header gives
  // (0, meaning all, when it has 2^bits entries).
  std::vector<uint32_t> palette;
};

// In a run-length file's indices: a pixel the codes skip over (a delta, the
// end of a line or of the bitmap).
constexpr uint32_t kBmpHole = 0xFFFFFFFF;

// `pixels`, rows top to bottom: palette indices for 8 bits or fewer,
// otherwise 0xAARRGGBB colours, each component rounded to its mask's width
// (5-5-5 for 16 bits and 8-8-8 with a zero fourth byte for 32 bits when
// the coding is Rgb). Run-length codes use runs, literal runs (padded to a
// whole word), deltas, line ends and an early end of the bitmap.
Bytes bmpFile(const BmpForm& form, int width, int height, std::span<const uint32_t> pixels);

}  // namespace qrt::media
