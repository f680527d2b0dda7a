#include "tools/media/bmp_files.h"

#include <algorithm>

#include "tools/media/sound_files.h"

namespace qrt::media {

namespace {

std::array<uint32_t, 4> packingMasks(const BmpForm& f) {
  if (f.coding == BmpCoding::BitFields || f.coding == BmpCoding::AlphaBitFields) return f.masks;
  if (f.bits == 16) return {0x7C00, 0x03E0, 0x001F, 0};
  return {0xFF0000, 0xFF00, 0xFF, 0};
}

uint32_t packColour(uint32_t argb, const std::array<uint32_t, 4>& masks) {
  const uint32_t components[4] = {argb >> 16 & 0xFF, argb >> 8 & 0xFF, argb & 0xFF, argb >> 24};
  uint32_t v = 0;
  for (int k = 0; k < 4; ++k) {
    if (!masks[k]) continue;
    const int shift = __builtin_ctz(masks[k]);
    const uint64_t max = masks[k] >> shift;
    v |= static_cast<uint32_t>((components[k] * max + 127) / 255 << shift) & masks[k];
  }
  return v;
}

void packedRows(const BmpForm& f, int w, int h, std::span<const uint32_t> pixels, Bytes& o) {
  const size_t stride = (static_cast<size_t>(w) * f.bits + 31) / 32 * 4;
  const auto masks = packingMasks(f);
  for (int r = 0; r < h; ++r) {
    const int y = f.topDown ? r : h - 1 - r;
    Bytes row(stride, 0);
    for (int x = 0; x < w; ++x) {
      const uint32_t p = pixels[static_cast<size_t>(y) * w + x];
      if (f.bits <= 8) {
        const size_t bit = static_cast<size_t>(x) * f.bits;
        row[bit / 8] |= static_cast<uint8_t>(p << (8 - f.bits - bit % 8));
      } else if (f.bits == 24) {
        for (int k = 0; k < 3; ++k) row[static_cast<size_t>(x) * 3 + k] = static_cast<uint8_t>(p >> (8 * k));
      } else {
        const uint32_t v = packColour(p, masks);
        for (int k = 0; k < f.bits / 8; ++k) row[static_cast<size_t>(x) * (f.bits / 8) + k] = static_cast<uint8_t>(v >> (8 * k));
      }
    }
    o.insert(o.end(), row.begin(), row.end());
  }
}

// Run-length codes in file order (the first row stored first).
class RleWriter {
 public:
  RleWriter(const BmpForm& f, int w, int h, std::span<const uint32_t> pixels)
      : f_(f), w_(w), h_(h), pixels_(pixels) {}

  void write(Bytes& o) {
    int nx = 0, nr = 0;
    while (nextPixel(nx, nr)) {
      while (r_ < nr || x_ < nx) {
        if (nr > r_ && nx < x_) {
          o.insert(o.end(), {0, 0});   // end of line
          x_ = 0;
          ++r_;
        } else {
          const int dx = std::min(nx - x_, 255), dy = std::min(nr - r_, 255);
          o.insert(o.end(), {0, 2, static_cast<uint8_t>(dx), static_cast<uint8_t>(dy)});
          x_ += dx;
          r_ += dy;
        }
      }
      int end = x_;
      while (end < w_ && at(end, r_) != kBmpHole) ++end;
      segment(end, o);
      x_ = end;
    }
    o.insert(o.end(), {0, 1});   // end of bitmap
  }

 private:
  uint32_t at(int x, int r) const {
    const int y = f_.topDown ? r : h_ - 1 - r;
    return pixels_[static_cast<size_t>(y) * w_ + x];
  }

  bool nextPixel(int& nx, int& nr) const {
    for (nr = r_, nx = x_; nr < h_; ++nr, nx = 0) {
      for (; nx < w_; ++nx) {
        if (at(nx, nr) != kBmpHole) return true;
      }
    }
    return false;
  }

  bool four() const { return f_.coding == BmpCoding::Rle4; }

  // How many pixels from x follow the run's pattern: one index repeated, or
  // for 4 bits two indices alternating.
  int runAt(int x, int end) const {
    const uint32_t a = at(x, r_), b = four() && x + 1 < end ? at(x + 1, r_) : a;
    int n = 0;
    while (x + n < end && n < 255 && at(x + n, r_) == (n % 2 ? b : a)) ++n;
    return n;
  }

  uint8_t runByte(int x, int n) const {
    if (!four()) return static_cast<uint8_t>(at(x, r_));
    return static_cast<uint8_t>(at(x, r_) << 4 | (n > 1 ? at(x + 1, r_) : 0));
  }

  void segment(int end, Bytes& o) const {
    const int worthARun = four() ? 4 : 3;
    int x = x_;
    while (x < end) {
      const int run = runAt(x, end);
      if (run >= worthARun) {
        o.insert(o.end(), {static_cast<uint8_t>(run), runByte(x, run)});
        x += run;
        continue;
      }
      int n = 0;
      while (x + n < end && n < 255 && (n == 0 || runAt(x + n, end) < worthARun)) ++n;
      if (n < 3) {
        // Literal runs start at three: shorter ones go as runs.
        for (int i = 0; i < n;) {
          const int k = four() ? std::min(2, n - i) : 1;
          o.insert(o.end(), {static_cast<uint8_t>(k), runByte(x + i, k)});
          i += k;
        }
      } else {
        o.insert(o.end(), {0, static_cast<uint8_t>(n)});
        const size_t start = o.size();
        for (int i = 0; i < n; ++i) {
          if (!four()) o.push_back(static_cast<uint8_t>(at(x + i, r_)));
          else if (i % 2 == 0) o.push_back(static_cast<uint8_t>(at(x + i, r_) << 4));
          else o.back() |= static_cast<uint8_t>(at(x + i, r_));
        }
        if ((o.size() - start) % 2) o.push_back(0);
      }
      x += n;
    }
  }

  const BmpForm& f_;
  int w_, h_;
  std::span<const uint32_t> pixels_;
  int x_ = 0, r_ = 0;
};

}  // namespace

Bytes bmpFile(const BmpForm& f, int width, int height, std::span<const uint32_t> pixels) {
  Bytes data;
  if (f.coding == BmpCoding::Rle8 || f.coding == BmpCoding::Rle4) {
    RleWriter(f, width, height, pixels).write(data);
  } else {
    packedRows(f, width, height, pixels, data);
  }

  Bytes header;
  put32(header, f.headerSize);
  if (f.headerSize == 12) {
    put16(header, static_cast<uint32_t>(width));
    put16(header, static_cast<uint32_t>(height));
    put16(header, 1);
    put16(header, f.bits);
  } else {
    put32(header, static_cast<uint32_t>(width));
    put32(header, static_cast<uint32_t>(f.topDown ? -height : height));
    put16(header, 1);
    put16(header, f.bits);
    put32(header, static_cast<uint32_t>(f.coding));
    put32(header, static_cast<uint32_t>(data.size()));
    put32(header, 2835);   // 72 dots an inch
    put32(header, 2835);
    const bool wholePalette = f.bits <= 8 && f.palette.size() == (size_t{1} << f.bits);
    put32(header, wholePalette ? 0 : static_cast<uint32_t>(f.palette.size()));
    put32(header, 0);
    const int maskCount = f.headerSize >= 56 ? 4 : f.headerSize >= 52 ? 3 : 0;
    for (int k = 0; k < maskCount; ++k) put32(header, f.masks[k]);
    if (f.headerSize >= 108) put32(header, 0x57696E20);   // 'Win ': the system's colour space
    header.resize(f.headerSize >= 108 ? 108 : header.size(), 0);
    if (f.headerSize >= 124) {
      put32(header, 4);   // rendering intent: pictures
      header.resize(124, 0);
    }
  }
  if (f.headerSize == 40) {
    if (f.coding == BmpCoding::BitFields || f.coding == BmpCoding::AlphaBitFields) {
      for (int k = 0; k < (f.coding == BmpCoding::AlphaBitFields ? 4 : 3); ++k) put32(header, f.masks[k]);
    }
  }
  for (uint32_t c : f.palette) {
    header.push_back(static_cast<uint8_t>(c));
    header.push_back(static_cast<uint8_t>(c >> 8));
    header.push_back(static_cast<uint8_t>(c >> 16));
    if (f.headerSize != 12) header.push_back(0);
  }

  Bytes file{'B', 'M'};
  put32(file, static_cast<uint32_t>(14 + header.size() + data.size()));
  put32(file, 0);
  put32(file, static_cast<uint32_t>(14 + header.size()));
  file.insert(file.end(), header.begin(), header.end());
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

}  // namespace qrt::media
