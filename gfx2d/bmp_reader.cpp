// Our BMP reader. Games ship bitmaps from every paint program and converter
// there is, and the platform's library does not take the same ones on
// every machine; this one reads them all the same way. Every size comes
// from the file, so every one is checked before it is used: offsets stay
// inside the bytes, the pixels a header claims are capped, and a
// run-length file may claim only as many pixels as its codes could cover.
#include <algorithm>
#include <array>

#include "gfx2d/image_codecs.h"

namespace qrt {

namespace {

enum Coding : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

constexpr size_t kFileHeader = 14;
// A run-length file of a few bytes can claim the largest picture there is
// (a delta or an early end of the bitmap skips any number of pixels), so
// the claim is held to what its bytes could plausibly draw: a 512 x 512
// picture (1 MB) whatever the bytes, beyond that 256 pixels for each byte
// of codes (twice what runs of 255 pixels in two bytes draw).
constexpr uint64_t kFreeRlePixels = uint64_t{1} << 18;
constexpr uint64_t kRlePixelsPerByte = 256;

uint32_t le16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }

struct Layout {
  int64_t width = 0, height = 0;
  bool topDown = false;
  uint32_t bits = 0, coding = kRgb;
  std::array<ColourMask, 4> fields;   // red, green, blue, alpha
  std::array<uint32_t, 256> palette{};
  size_t dataAt = 0;
};

bool knownHeaderSize(uint32_t n) { return n == 12 || n == 40 || n == 52 || n == 56 || n == 108 || n == 124; }

// The headers, the masks and the palette; false for anything we do not read.
bool readLayout(const uint8_t* d, size_t size, Layout& l) {
  if (size < kFileHeader + 4) return false;
  const uint32_t offBits = le32(d + 10), headerSize = le32(d + kFileHeader);
  if (!knownHeaderSize(headerSize) || size - kFileHeader < headerSize) return false;
  const uint8_t* h = d + kFileHeader;
  size_t pos = kFileHeader + headerSize;
  uint32_t colours = 0;
  size_t entrySize = 4;
  std::array<uint32_t, 4> masks{};
  if (headerSize == 12) {
    // The core header: unsigned sides, always bottom-up, 3-byte palette entries.
    l.width = le16(h + 4);
    l.height = le16(h + 6);
    l.bits = le16(h + 10);
    entrySize = 3;
    if (l.bits != 1 && l.bits != 2 && l.bits != 4 && l.bits != 8 && l.bits != 24) return false;
  } else {
    l.width = static_cast<int32_t>(le32(h + 4));
    const int64_t height = static_cast<int32_t>(le32(h + 8));
    l.topDown = height < 0;
    l.height = height < 0 ? -height : height;
    l.bits = le16(h + 14);
    l.coding = le32(h + 16);
    colours = le32(h + 32);
    switch (l.coding) {
      case kRgb:
        if (l.bits != 1 && l.bits != 2 && l.bits != 4 && l.bits != 8 && l.bits != 16 && l.bits != 24 &&
            l.bits != 32) {
          return false;
        }
        if (l.bits == 16) masks = {0x7C00, 0x03E0, 0x001F, 0};
        if (l.bits == 32) masks = {0xFF0000, 0xFF00, 0xFF, 0};
        break;
      case kRle8:
      case kRle4:
        // Run-length bitmaps are bottom-up by definition.
        if (l.bits != (l.coding == kRle8 ? 8u : 4u) || l.topDown) return false;
        break;
      case kBitFields:
      case kAlphaBitFields: {
        if (l.bits != 16 && l.bits != 32) return false;
        // The 40-byte header has its masks after it; the later ones inside,
        // the alpha mask from 56 bytes on.
        const size_t count = headerSize == 40 ? (l.coding == kAlphaBitFields ? 4 : 3) : headerSize >= 56 ? 4 : 3;
        const uint8_t* m = headerSize == 40 ? d + pos : h + 40;
        if (headerSize == 40) {
          if (size - pos < count * 4) return false;
          pos += count * 4;
        }
        for (size_t k = 0; k < count; ++k) masks[k] = le32(m + 4 * k);
        break;
      }
      default: return false;   // JPEG or PNG inside, CMYK: not ours
    }
  }
  if (!imageSizeOk(l.width, l.height)) return false;
  for (size_t k = 0; k < 4; ++k) l.fields[k] = ColourMask(masks[k]);

  // Pixels start where the file header says; a writer that left it 0 put
  // them right after the palette.
  uint64_t entries = 0;
  if (l.bits <= 8) {
    const uint64_t full = uint64_t{1} << l.bits;
    entries = colours == 0 || colours > full ? full : colours;
  }
  l.dataAt = offBits ? offBits : pos + entries * entrySize;
  if (l.dataAt < pos || l.dataAt > size) return false;
  // A palette the pixels start inside of is as long as what lies before
  // them; indices past its end are black.
  entries = std::min<uint64_t>(entries, (l.dataAt - pos) / entrySize);
  for (size_t i = 0; i < 256; ++i) {
    const uint8_t* e = d + pos + i * entrySize;
    l.palette[i] = i < entries ? 0xFF000000u | e[2] << 16 | e[1] << 8 | e[0] : 0xFF000000u;
  }
  return true;
}

void start(ArgbImage& out, const Layout& l, uint32_t background) {
  out.width = static_cast<int32_t>(l.width);
  out.height = static_cast<int32_t>(l.height);
  out.colourDepth = l.bits <= 8 ? 8 : static_cast<int32_t>(l.bits);
  out.pixels.assign(static_cast<size_t>(l.width * l.height), background);
}

bool readRows(const uint8_t* d, size_t size, const Layout& l, ArgbImage& out) {
  const uint64_t rowBits = static_cast<uint64_t>(l.width) * l.bits;
  const uint64_t stride = (rowBits + 31) / 32 * 4;
  // The last row may go without its padding.
  if (size - l.dataAt < stride * (l.height - 1) + (rowBits + 7) / 8) return false;
  start(out, l, 0);
  const uint32_t indexMask = (1u << std::min(l.bits, 8u)) - 1;
  for (int64_t r = 0; r < l.height; ++r) {
    const uint8_t* row = d + l.dataAt + r * stride;
    uint32_t* to = &out.pixels[static_cast<size_t>((l.topDown ? r : l.height - 1 - r) * l.width)];
    for (int64_t x = 0; x < l.width; ++x) {
      if (l.bits <= 8) {
        const uint64_t bit = static_cast<uint64_t>(x) * l.bits;
        to[x] = l.palette[row[bit / 8] >> (8 - l.bits - bit % 8) & indexMask];
        continue;
      }
      const uint8_t* p = row + x * (l.bits / 8);
      if (l.bits == 24) {
        to[x] = 0xFF000000u | p[2] << 16 | p[1] << 8 | p[0];
        continue;
      }
      const uint32_t v = l.bits == 16 ? le16(p) : le32(p);
      to[x] = l.fields[3].read(v, 255) << 24 | l.fields[0].read(v, 0) << 16 | l.fields[1].read(v, 0) << 8 |
              l.fields[2].read(v, 0);
    }
  }
  return true;
}

// RLE8 and RLE4: runs, literal runs, deltas, line ends and the end of the
// bitmap. Pixels beyond a row's end are dropped, not wrapped; a stream cut
// off ends the picture where it stops.
bool readRuns(const uint8_t* d, size_t size, const Layout& l, ArgbImage& out) {
  const size_t end = size;   // the codes run to the file's end, whatever the header says
  size_t p = l.dataAt;
  if (end - p < 2) return false;
  const uint64_t pixels = static_cast<uint64_t>(l.width * l.height);
  if (pixels > kFreeRlePixels && (pixels - kFreeRlePixels) / kRlePixelsPerByte >= end - p) return false;
  start(out, l, 0);
  const bool four = l.coding == kRle4;
  int64_t x = 0, r = 0;
  auto put = [&](uint32_t index) {
    if (x < l.width) out.pixels[static_cast<size_t>((l.height - 1 - r) * l.width + x)] = l.palette[index];
    ++x;
  };
  while (r < l.height && end - p >= 2) {
    const uint32_t n = d[p], c = d[p + 1];
    p += 2;
    if (n > 0) {
      for (uint32_t i = 0; i < n; ++i) put(four ? (i % 2 ? c & 15 : c >> 4) : c);
    } else if (c == 0) {
      x = 0;
      ++r;
    } else if (c == 1) {
      break;
    } else if (c == 2) {
      if (end - p < 2) break;
      x += d[p];
      r += d[p + 1];
      p += 2;
    } else {
      const size_t bytes = four ? (c + 1) / 2 : c;
      if (end - p < bytes) break;
      for (uint32_t i = 0; i < c; ++i) put(four ? (i % 2 ? d[p + i / 2] & 15 : d[p + i / 2] >> 4) : d[p + i]);
      p += std::min(bytes + bytes % 2, end - p);
    }
  }
  return true;
}

}  // namespace

bool decodeBmp(const uint8_t* data, size_t size, ArgbImage& out) {
  if (!data || size < 2 || data[0] != 'B' || data[1] != 'M') return false;
  Layout l;
  if (!readLayout(data, size, l)) return false;
  if (l.coding == kRle8 || l.coding == kRle4) return readRuns(data, size, l, out);
  return readRows(data, size, l, out);
}

}  // namespace qrt
