#include "tests/gfx2d/gfx_support.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "gfx2d/readback.h"
#include "base/runtime.h"

namespace qrt::test {

std::string scratchFolder(const std::string& name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::filesystem::path p = std::filesystem::path(temp) / ("qrt_gfx_" + name);
  std::error_code ec;
  std::filesystem::remove_all(p, ec);
  std::filesystem::create_directories(p);
  return p.string();
}

static void put16(std::vector<uint8_t>& o, uint32_t v) {
  o.push_back(static_cast<uint8_t>(v));
  o.push_back(static_cast<uint8_t>(v >> 8));
}
static void put32(std::vector<uint8_t>& o, uint32_t v) {
  put16(o, v & 0xFFFF);
  put16(o, v >> 16);
}

void writeBmp(const std::string& path, int width, int height, const std::vector<uint32_t>& argb, int bits) {
  const int bytes = bits / 8;
  const int row = (width * bytes + 3) / 4 * 4;
  std::vector<uint8_t> f;
  f.push_back('B');
  f.push_back('M');
  put32(f, 54 + row * height);
  put32(f, 0);
  put32(f, 54);
  put32(f, 40);
  put32(f, width);
  put32(f, height);
  put16(f, 1);
  put16(f, bits);
  for (int i = 0; i < 6; ++i) put32(f, 0);
  for (int y = height - 1; y >= 0; --y) {
    size_t start = f.size();
    for (int x = 0; x < width; ++x) {
      uint32_t p = argb[static_cast<size_t>(y) * width + x];
      f.push_back(static_cast<uint8_t>(p));
      f.push_back(static_cast<uint8_t>(p >> 8));
      f.push_back(static_cast<uint8_t>(p >> 16));
      if (bytes == 4) f.push_back(static_cast<uint8_t>(p >> 24));
    }
    while (f.size() - start < static_cast<size_t>(row)) f.push_back(0);
  }
  writeBytes(path, f);
}

std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

DisplayState& displayState() {
  if (!display()) throw std::runtime_error("no display state");
  return *display();
}

std::vector<int> Pixels::boxOf(uint32_t rgb) const {
  std::vector<int> box{-1, -1, -1, -1};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if ((at(x, y) & 0xFFFFFF) != rgb) continue;
      if (box[0] < 0 || x < box[0]) box[0] = x;
      if (box[1] < 0 || y < box[1]) box[1] = y;
      if (x > box[2]) box[2] = x;
      if (y > box[3]) box[3] = y;
    }
  }
  return box;
}

int Pixels::count(uint32_t rgb) const {
  int n = 0;
  for (uint32_t p : argb) n += (p & 0xFFFFFF) == rgb;
  return n;
}

Pixels screenPixels() {
  DisplayState& d = displayState();
  Pixels p;
  p.width = static_cast<int>(d.backBufferDesc.Width);
  p.height = static_cast<int>(d.backBufferDesc.Height);
  if (!readPixels(d.device.Get(), d.backBuffer.Get(), p.width, p.height, p.argb))
    throw std::runtime_error("cannot read the back buffer");
  return p;
}

Pixels surfacePixels(uint32_t handle) {
  DisplayState& d = displayState();
  SurfaceRecord* s = findSurface(&d, handle);
  if (!s) throw std::runtime_error("not a live surface");
  Pixels p;
  p.width = s->width;
  p.height = s->height;
  if (!readPixels(d.device.Get(), pixelsOf(d, s), p.width, p.height, p.argb))
    throw std::runtime_error("cannot read the surface");
  return p;
}

GfxScript::GfxScript(int width, int height) {
  screen = call("G@SETUP", {integer(width), integer(height), integer(32), integer(1)});
}

bool closeTo(uint32_t a, uint32_t b, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    int ca = static_cast<int>(a >> shift & 0xFF), cb = static_cast<int>(b >> shift & 0xFF);
    if (std::abs(ca - cb) > tolerance) return false;
  }
  return true;
}

}  // namespace qrt::test
