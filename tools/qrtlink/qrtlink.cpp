// qrtlink: makes game executables from the runtime and a program image, and
// moves the image of an existing game onto another runtime.
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "tools/imagebuilder/image_builder.h"

namespace {

namespace fs = std::filesystem;
using qrt::img::readFile;
using qrt::img::writeFile;

std::string shown(const fs::path& p) {
  auto u8 = p.u8string();
  return std::string(u8.begin(), u8.end());
}

const char kUsage[] =
    "usage:\n"
    "  qrtlink link <runtime.exe> <image file> <game.exe>\n"
    "      appends the image to a copy of the runtime\n"
    "  qrtlink extract <game.exe> <image file>\n"
    "      writes the game's image (header included) to a file\n"
    "  qrtlink relink <new runtime.exe> <old game.exe> <game.exe>\n"
    "      puts the old game's image onto the new runtime\n"
    "  qrtlink check <runtime.exe>\n"
    "      fails when the file already contains an image header\n";

// Writing over one of the inputs would destroy it before it was read whole;
// refuse the obvious cases.
void refuseOverwrite(const fs::path& out, std::initializer_list<fs::path> inputs) {
  std::error_code ec;
  for (const auto& in : inputs) {
    if (fs::exists(out, ec) && fs::equivalent(out, in, ec))
      throw std::runtime_error("the output " + shown(out) + " is also an input");
  }
}

int link(const fs::path& runtime, const fs::path& imageFile, const fs::path& game) {
  refuseOverwrite(game, {runtime, imageFile});
  auto rt = readFile(runtime);
  auto image = readFile(imageFile);
  writeFile(game, qrt::img::linkGame(rt, image));
  std::printf("%s: runtime %zu bytes + image %zu bytes\n", shown(game).c_str(), rt.size(), image.size());
  return 0;
}

int extract(const fs::path& game, const fs::path& imageFile) {
  refuseOverwrite(imageFile, {game});
  auto image = qrt::img::extractImage(readFile(game));
  writeFile(imageFile, image);
  std::printf("%s: image %zu bytes\n", shown(imageFile).c_str(), image.size());
  return 0;
}

int relink(const fs::path& runtime, const fs::path& oldGame, const fs::path& game) {
  refuseOverwrite(game, {runtime, oldGame});
  auto image = qrt::img::extractImage(readFile(oldGame));
  auto rt = readFile(runtime);
  writeFile(game, qrt::img::linkGame(rt, image));
  std::printf("%s: runtime %zu bytes + image %zu bytes\n", shown(game).c_str(), rt.size(), image.size());
  return 0;
}

int check(const fs::path& runtime) {
  auto rt = readFile(runtime);
  if (auto p = qrt::img::findHeader(rt)) {
    std::fprintf(stderr, "qrtlink: %s contains an image header pattern at byte %zu\n",
                 shown(runtime).c_str(), *p);
    return 1;
  }
  std::printf("%s: no image header pattern in %zu bytes\n", shown(runtime).c_str(), rt.size());
  return 0;
}

}  // namespace

// Paths arrive as wide strings so that folder names in any script survive.
#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  std::string cmd = argc > 1 ? shown(argv[1]) : "";
  try {
    if (cmd == "link" && argc == 5) return link(argv[2], argv[3], argv[4]);
    if (cmd == "extract" && argc == 4) return extract(argv[2], argv[3]);
    if (cmd == "relink" && argc == 5) return relink(argv[2], argv[3], argv[4]);
    if (cmd == "check" && argc == 3) return check(argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qrtlink %s: %s\n", cmd.c_str(), e.what());
    return 1;
  }
  std::fputs(kUsage, stderr);
  return 2;
}
