// Game executables: the runtime's bytes followed by one program image.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "image/image_builder.h"

namespace qrt::img {

std::optional<size_t> findHeader(std::span<const uint8_t> file) {
  // The runtime recognises only "QRT" and the "VE" of the maker text.
  for (size_t p = 0; p + 16 <= file.size(); ++p) {
    if (file[p] == 'Q' && file[p + 1] == 'R' && file[p + 2] == 'T' && file[p + 14] == 'V' &&
        file[p + 15] == 'E')
      return p;
  }
  return std::nullopt;
}

std::vector<uint8_t> linkGame(std::span<const uint8_t> runtimeExe, std::span<const uint8_t> image) {
  if (auto p = findHeader(runtimeExe))
    throw std::runtime_error("the runtime already contains an image header at byte " + std::to_string(*p) +
                             " (is it a game executable?)");
  if (image.size() < kHeaderSize || findHeader(image) != size_t{0})
    throw std::runtime_error("the image does not start with an image header");
  std::vector<uint8_t> out(runtimeExe.begin(), runtimeExe.end());
  out.insert(out.end(), image.begin(), image.end());
  return out;
}

std::vector<uint8_t> extractImage(std::span<const uint8_t> gameExe) {
  auto p = findHeader(gameExe);
  if (!p) throw std::runtime_error("no image header found");
  return std::vector<uint8_t>(gameExe.begin() + *p, gameExe.end());
}

void patch32(std::vector<uint8_t>& file, uint32_t imageOffset, uint32_t value) {
  size_t at = kHeaderSize + imageOffset;
  if (at + 4 > file.size()) throw std::out_of_range("patch32 beyond the image");
  for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t read32(std::span<const uint8_t> file, uint32_t imageOffset) {
  size_t at = kHeaderSize + imageOffset;
  if (at + 4 > file.size()) throw std::out_of_range("read32 beyond the image");
  return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | static_cast<uint32_t>(file[at + 3]) << 24;
}

namespace {
struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

std::string describe(const std::filesystem::path& path) {
  auto u8 = path.u8string();
  return std::string(u8.begin(), u8.end()) + ": " + std::strerror(errno);
}

File open(const std::filesystem::path& path, bool write) {
#ifdef _WIN32
  return File(_wfopen(path.wstring().c_str(), write ? L"wb" : L"rb"));
#else
  return File(std::fopen(path.c_str(), write ? "wb" : "rb"));
#endif
}

}  // namespace

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
  File f = open(path, false);
  if (!f) throw std::runtime_error("cannot open " + describe(path));
  std::vector<uint8_t> data;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) data.insert(data.end(), buf, buf + n);
  if (std::ferror(f.get())) throw std::runtime_error("cannot read " + describe(path));
  return data;
}

void writeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  File f = open(path, true);
  if (!f) throw std::runtime_error("cannot create " + describe(path));
  if (std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size() || std::fflush(f.get()) != 0)
    throw std::runtime_error("cannot write " + describe(path));
}

}  // namespace qrt::img
