// Plain encoders and decoders for the simple image formats. Every read is
// bounds-checked against the buffer: a short or lying file is refused.
#include "gfx2d/image_codecs.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace qrt {

namespace {

void put16(std::vector<uint8_t>& o, uint32_t v) {
  o.push_back(static_cast<uint8_t>(v));
  o.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& o, uint32_t v) {
  put16(o, v & 0xFFFF);
  put16(o, v >> 16);
}
void putText(std::vector<uint8_t>& o, const std::string& s) { o.insert(o.end(), s.begin(), s.end()); }

uint8_t red(uint32_t p) { return static_cast<uint8_t>(p >> 16); }
uint8_t green(uint32_t p) { return static_cast<uint8_t>(p >> 8); }
uint8_t blue(uint32_t p) { return static_cast<uint8_t>(p); }
uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }
uint8_t toByte(float f) {
  if (!(f > 0.0f)) return 0;
  if (f >= 1.0f) return 255;
  return static_cast<uint8_t>(f * 255.0f + 0.5f);
}

void encodeTga(const ArgbImage& im, std::vector<uint8_t>& o) {
  const uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              static_cast<uint8_t>(im.width), static_cast<uint8_t>(im.width >> 8),
                              static_cast<uint8_t>(im.height), static_cast<uint8_t>(im.height >> 8),
                              32, 0x28};   // 8 alpha bits, rows from the top
  o.assign(header, header + 18);
  for (uint32_t p : im.pixels) put32(o, p);   // B, G, R, A
}

void encodeDds(const ArgbImage& im, std::vector<uint8_t>& o) {
  putText(o, "DDS ");
  put32(o, 124);
  put32(o, 0x100F);   // caps, height, width, pitch, pixel format
  put32(o, static_cast<uint32_t>(im.height));
  put32(o, static_cast<uint32_t>(im.width));
  put32(o, static_cast<uint32_t>(im.width) * 4);
  put32(o, 0);        // depth
  put32(o, 0);        // mip levels
  for (int i = 0; i < 11; ++i) put32(o, 0);
  put32(o, 32);       // pixel format: size, RGB with alpha, 32 bits, masks
  put32(o, 0x41);
  put32(o, 0);
  put32(o, 32);
  put32(o, 0x00FF0000);
  put32(o, 0x0000FF00);
  put32(o, 0x000000FF);
  put32(o, 0xFF000000);
  put32(o, 0x1000);   // a texture
  for (int i = 0; i < 4; ++i) put32(o, 0);
  for (uint32_t p : im.pixels) put32(o, p);
}

void encodePpm(const ArgbImage& im, std::vector<uint8_t>& o) {
  putText(o, "P6\n" + std::to_string(im.width) + " " + std::to_string(im.height) + "\n255\n");
  for (uint32_t p : im.pixels) {
    o.push_back(red(p));
    o.push_back(green(p));
    o.push_back(blue(p));
  }
}

void encodePfm(const ArgbImage& im, std::vector<uint8_t>& o) {
  // Negative scale: little-endian floats. Rows run from the bottom up.
  putText(o, "PF\n" + std::to_string(im.width) + " " + std::to_string(im.height) + "\n-1.000000\n");
  for (int32_t y = im.height - 1; y >= 0; --y) {
    for (int32_t x = 0; x < im.width; ++x) {
      const uint32_t p = im.pixels[static_cast<size_t>(y) * im.width + x];
      for (uint8_t c : {red(p), green(p), blue(p)}) {
        const float f = c / 255.0f;
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        put32(o, bits);
      }
    }
  }
}

void encodeHdr(const ArgbImage& im, std::vector<uint8_t>& o) {
  putText(o, "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y " + std::to_string(im.height) + " +X " +
                 std::to_string(im.width) + "\n");
  for (uint32_t p : im.pixels) {
    const float r = red(p) / 255.0f, g = green(p) / 255.0f, b = blue(p) / 255.0f;
    const float v = std::max(r, std::max(g, b));
    if (v < 1e-32f) {
      put32(o, 0);
      continue;
    }
    int e = 0;
    const float scale = std::frexp(v, &e) * 256.0f / v;
    o.push_back(static_cast<uint8_t>(r * scale));
    o.push_back(static_cast<uint8_t>(g * scale));
    o.push_back(static_cast<uint8_t>(b * scale));
    o.push_back(static_cast<uint8_t>(e + 128));
  }
}

// --- Readers -------------------------------------------------------------------

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  bool has(size_t n) const { return pos <= size && size - pos >= n; }
  uint32_t le16(size_t at) const { return data[at] | data[at + 1] << 8; }
  uint32_t le32(size_t at) const { return le16(at) | le16(at + 2) << 16; }
  // One whitespace-separated token of a text header; comments skipped.
  bool token(std::string& out) {
    out.clear();
    while (pos < size) {
      if (data[pos] == '#') {
        while (pos < size && data[pos] != '\n') ++pos;
      } else if (std::isspace(data[pos])) {
        ++pos;
      } else {
        break;
      }
    }
    while (pos < size && !std::isspace(data[pos]) && out.size() < 32) out.push_back(static_cast<char>(data[pos++]));
    return !out.empty();
  }
  bool number(int64_t& n) {
    std::string t;
    if (!token(t)) return false;
    char* end = nullptr;
    n = std::strtoll(t.c_str(), &end, 10);
    return end && *end == 0;
  }
};

void start(ArgbImage& out, int64_t w, int64_t h, int32_t depth) {
  out.width = static_cast<int32_t>(w);
  out.height = static_cast<int32_t>(h);
  out.colourDepth = depth;
  out.pixels.assign(static_cast<size_t>(w * h), 0);
}

bool decodePnm(Reader r, ArgbImage& out) {
  const bool grey = r.data[1] == '5';
  r.pos = 2;
  int64_t w, h, maxval;
  if (!r.number(w) || !r.number(h) || !r.number(maxval) || !imageSizeOk(w, h) || maxval < 1 || maxval > 65535) {
    return false;
  }
  ++r.pos;   // the single whitespace after the header
  const size_t channels = grey ? 1 : 3, bytes = maxval > 255 ? 2 : 1;
  if (!r.has(static_cast<size_t>(w * h) * channels * bytes)) return false;
  start(out, w, h, 32);
  for (size_t i = 0; i < out.pixels.size(); ++i) {
    uint32_t c[3];
    for (size_t k = 0; k < channels; ++k) {
      uint32_t v = r.data[r.pos];
      if (bytes == 2) v = v << 8 | r.data[r.pos + 1];
      r.pos += bytes;
      c[k] = static_cast<uint32_t>(v * 255 / maxval);
    }
    if (grey) c[1] = c[2] = c[0];
    out.pixels[i] = argb(255, c[0], c[1], c[2]);
  }
  return true;
}

bool decodePfm(Reader r, ArgbImage& out) {
  const bool colour = r.data[1] == 'F';
  r.pos = 2;
  int64_t w, h;
  std::string scaleText;
  if (!r.number(w) || !r.number(h) || !r.token(scaleText) || !imageSizeOk(w, h)) return false;
  const double scale = std::strtod(scaleText.c_str(), nullptr);
  if (scale == 0.0) return false;
  ++r.pos;
  const bool little = scale < 0;
  const size_t channels = colour ? 3 : 1;
  if (!r.has(static_cast<size_t>(w * h) * channels * 4)) return false;
  start(out, w, h, 32);
  for (int64_t row = h - 1; row >= 0; --row) {
    for (int64_t x = 0; x < w; ++x) {
      uint8_t c[3];
      for (size_t k = 0; k < channels; ++k) {
        uint32_t bits = r.le32(r.pos);
        if (!little) bits = __builtin_bswap32(bits);
        r.pos += 4;
        float f;
        std::memcpy(&f, &bits, 4);
        c[k] = toByte(f);
      }
      if (!colour) c[1] = c[2] = c[0];
      out.pixels[static_cast<size_t>(row * w + x)] = argb(255, c[0], c[1], c[2]);
    }
  }
  return true;
}

bool hdrScanline(Reader& r, int64_t w, std::vector<uint8_t>& rgbe) {
  rgbe.assign(static_cast<size_t>(w) * 4, 0);
  if (!r.has(4)) return false;
  const uint8_t* p = r.data + r.pos;
  const bool rle = w >= 8 && w < 0x8000 && p[0] == 2 && p[1] == 2 && !(p[2] & 0x80) &&
                   (static_cast<int64_t>(p[2]) << 8 | p[3]) == w;
  if (!rle) {
    if (!r.has(static_cast<size_t>(w) * 4)) return false;
    std::memcpy(rgbe.data(), p, rgbe.size());
    r.pos += rgbe.size();
    return true;
  }
  r.pos += 4;
  for (int k = 0; k < 4; ++k) {
    int64_t x = 0;
    while (x < w) {
      if (!r.has(1)) return false;
      uint32_t n = r.data[r.pos++];
      if (n > 128) {
        n -= 128;
        if (x + n > w || !r.has(1)) return false;
        const uint8_t v = r.data[r.pos++];
        for (uint32_t i = 0; i < n; ++i) rgbe[static_cast<size_t>(x++) * 4 + k] = v;
      } else {
        if (n == 0 || x + n > w || !r.has(n)) return false;
        for (uint32_t i = 0; i < n; ++i) rgbe[static_cast<size_t>(x++) * 4 + k] = r.data[r.pos++];
      }
    }
  }
  return true;
}

bool decodeHdr(Reader r, ArgbImage& out) {
  // Header lines up to an empty line, then the resolution line.
  std::string line;
  bool blank = false;
  while (r.pos < r.size && !blank) {
    line.clear();
    while (r.pos < r.size && r.data[r.pos] != '\n') line.push_back(static_cast<char>(r.data[r.pos++]));
    ++r.pos;
    blank = line.empty();
    if (line.rfind("FORMAT=", 0) == 0 && line != "FORMAT=32-bit_rle_rgbe") return false;
  }
  std::string ny, nx;
  int64_t h, w;
  if (!r.token(ny) || ny != "-Y" || !r.number(h) || !r.token(nx) || nx != "+X" || !r.number(w) ||
      !imageSizeOk(w, h)) {
    return false;
  }
  ++r.pos;
  start(out, w, h, 32);
  std::vector<uint8_t> rgbe;
  for (int64_t y = 0; y < h; ++y) {
    if (!hdrScanline(r, w, rgbe)) return false;
    for (int64_t x = 0; x < w; ++x) {
      const uint8_t* q = &rgbe[static_cast<size_t>(x) * 4];
      uint8_t c[3] = {0, 0, 0};
      if (q[3]) {
        const float f = std::ldexp(1.0f, q[3] - (128 + 8));
        for (int k = 0; k < 3; ++k) c[k] = toByte((q[k] + 0.5f) * f);
      }
      out.pixels[static_cast<size_t>(y * w + x)] = argb(255, c[0], c[1], c[2]);
    }
  }
  return true;
}

bool decodeTga(Reader r, ArgbImage& out) {
  if (!r.has(18)) return false;
  const uint8_t* h = r.data;
  const uint8_t type = h[2], bits = h[16], descriptor = h[17];
  if (h[1] != 0 || (type != 2 && type != 3)) return false;
  const int64_t w = r.le16(12), ht = r.le16(14);
  if (!imageSizeOk(w, ht)) return false;
  if (type == 2 && bits != 32 && bits != 24 && bits != 16 && bits != 15) return false;
  if (type == 3 && bits != 8) return false;
  const size_t bpp = (bits + 7u) / 8u;
  r.pos = 18 + h[0];
  if (!r.has(static_cast<size_t>(w * ht) * bpp)) return false;
  start(out, w, ht, bits == 32 ? 32 : bits == 24 ? 24 : bits == 8 ? 8 : 16);
  const bool topDown = descriptor & 0x20;
  for (int64_t row = 0; row < ht; ++row) {
    const int64_t y = topDown ? row : ht - 1 - row;
    for (int64_t x = 0; x < w; ++x) {
      const uint8_t* p = r.data + r.pos;
      r.pos += bpp;
      uint32_t v;
      if (bpp == 4) v = argb(p[3], p[2], p[1], p[0]);
      else if (bpp == 3) v = argb(255, p[2], p[1], p[0]);
      else if (bpp == 1) v = argb(255, p[0], p[0], p[0]);
      else {
        const uint32_t s = p[0] | p[1] << 8;
        const uint32_t a = (bits == 16 && !(s & 0x8000) && (descriptor & 0x0F)) ? 0 : 255;
        v = argb(a, (s >> 10 & 31) * 255 / 31, (s >> 5 & 31) * 255 / 31, (s & 31) * 255 / 31);
      }
      out.pixels[static_cast<size_t>(y * w + x)] = v;
    }
  }
  return true;
}

bool decodeDds(Reader r, ArgbImage& out) {
  if (!r.has(128) || r.le32(4) != 124 || r.le32(76) != 32) return false;
  const int64_t h = r.le32(12), w = r.le32(16);
  const uint32_t flags = r.le32(80), bits = r.le32(88);
  if (!(flags & 0x40) || !imageSizeOk(w, h) || (bits != 32 && bits != 24 && bits != 16)) return false;
  const ColourMask red(r.le32(92)), green(r.le32(96)), blue(r.le32(100)), alpha((flags & 1) ? r.le32(104) : 0);
  const size_t bpp = bits / 8;
  r.pos = 128;
  if (!r.has(static_cast<size_t>(w * h) * bpp)) return false;
  start(out, w, h, bits == 24 ? 24 : bits == 16 ? 16 : 32);
  for (size_t i = 0; i < out.pixels.size(); ++i) {
    uint32_t v = 0;
    for (size_t k = 0; k < bpp; ++k) v |= static_cast<uint32_t>(r.data[r.pos + k]) << (8 * k);
    r.pos += bpp;
    out.pixels[i] = argb(alpha.read(v, 255), red.read(v, 255), green.read(v, 255), blue.read(v, 255));
  }
  return true;
}

}  // namespace

// A compressed file can claim far more pixels than it holds: the pixel cap
// bounds what a header alone makes us allocate.
bool imageSizeOk(int64_t w, int64_t h) {
  return w > 0 && h > 0 && w <= kMaxImageSide && h <= kMaxImageSide && w * h <= kMaxImagePixels;
}

bool encodeImage(ImageFileFormat format, const ArgbImage& image, std::vector<uint8_t>& out) {
  out.clear();
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<size_t>(image.width) * image.height) {
    return false;
  }
  switch (format) {
    case ImageFileFormat::Tga: encodeTga(image, out); return true;
    case ImageFileFormat::Dds: encodeDds(image, out); return true;
    case ImageFileFormat::Ppm: encodePpm(image, out); return true;
    case ImageFileFormat::Hdr: encodeHdr(image, out); return true;
    case ImageFileFormat::Pfm: encodePfm(image, out); return true;
    default: return false;
  }
}

bool decodeImage(const uint8_t* data, size_t size, ArgbImage& out) {
  if (!data || size < 4) return false;
  if (data[0] == 'B' && data[1] == 'M') return decodeBmp(data, size, out);
  const Reader r{data, size};
  if (data[0] == 'P' && (data[1] == '6' || data[1] == '5') && std::isspace(data[2])) return decodePnm(r, out);
  if (data[0] == 'P' && (data[1] == 'F' || data[1] == 'f') && std::isspace(data[2])) return decodePfm(r, out);
  if (size >= 10 && (std::memcmp(data, "#?RADIANCE", 10) == 0 || std::memcmp(data, "#?RGBE", 6) == 0)) {
    return decodeHdr(r, out);
  }
  if (std::memcmp(data, "DDS ", 4) == 0) return decodeDds(r, out);
  return decodeTga(r, out);   // TGA has no signature: tried last
}

}  // namespace qrt
