// qrtlink: makes game executables from the runtime and a program image,
// moves the image of an existing game onto another runtime, and shows or
// checks a game's image.
#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "image/image_builder.h"
#include "tools/imagetools/check.h"
#include "tools/imagetools/dump.h"
#include "tools/imagetools/image_view.h"

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
    "  qrtlink dump [--brief] <game.exe or image file>\n"
    "      prints the image: header, routines, constants, ops, native code, EXFUNC DLLs\n"
    "      (--brief: native blocks as lengths)\n"
    "  qrtlink check <game.exe or image file>\n"
    "      lists what the runtime would refuse, by image offset; fails when there is any\n"
    "  qrtlink check-runtime <runtime.exe>\n"
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

int checkRuntime(const fs::path& runtime) {
  auto rt = readFile(runtime);
  if (auto p = qrt::img::findHeader(rt)) {
    std::fprintf(stderr, "qrtlink: %s contains an image header pattern at byte %zu\n",
                 shown(runtime).c_str(), *p);
    return 1;
  }
  std::printf("%s: no image header pattern in %zu bytes\n", shown(runtime).c_str(), rt.size());
  return 0;
}

qrt::imgtools::LoadedImage imageOf(const fs::path& file) {
  auto image = qrt::imgtools::loadImage(readFile(file));
  if (!image) throw std::runtime_error(shown(file) + " holds no image header");
  return std::move(*image);
}

int dump(const fs::path& file, bool brief) {
  const std::string text = qrt::imgtools::dumpImage(imageOf(file), {.code = !brief});
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

std::string counted(size_t n, const char* what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

int check(const fs::path& file) {
  using qrt::imgtools::Finding;
  const auto image = imageOf(file);
  const auto result = qrt::imgtools::checkImage(image.view());
  const std::string name = shown(file);
  std::printf("%s: image at file byte %zu; offsets count from file byte %zu\n", name.c_str(), image.headerAt,
              image.headerAt + image.header.size());
  size_t notes = 0;
  for (const Finding& f : result.findings) {
    const bool fault = f.severity == Finding::Severity::Fault;
    notes += fault ? 0 : 1;
    const std::string who = f.routine < 0 ? "" : f.routine == 0 ? "main: " : "routine " + std::to_string(f.routine) + ": ";
    std::printf("  %s  %s%s%s\n", qrt::imgtools::hex8(f.at).c_str(), fault ? "" : "note: ", who.c_str(), f.text.c_str());
  }
  const size_t faults = result.faults();
  std::printf("%s: %s, %s; checked %s, %s, %s\n", name.c_str(), counted(faults, "fault").c_str(),
              counted(notes, "note").c_str(), counted(result.routines, "routine").c_str(),
              counted(result.ops, "op").c_str(), counted(result.instructions, "native instruction").c_str());
  if (faults) std::printf("%s: the runtime would stop the game with the internal-error box (QVA0601)\n", name.c_str());
  return faults ? 1 : 0;
}

}  // namespace

// Paths arrive as wide strings so that folder names in any script survive.
#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  std::string cmd = argc > 1 ? shown(argv[1]) : "";
#ifdef _WIN32
  // Constants are shown as UTF-8.
  SetConsoleOutputCP(CP_UTF8);
#endif
  try {
    if (cmd == "link" && argc == 5) return link(argv[2], argv[3], argv[4]);
    if (cmd == "extract" && argc == 4) return extract(argv[2], argv[3]);
    if (cmd == "relink" && argc == 5) return relink(argv[2], argv[3], argv[4]);
    if (cmd == "dump" && argc == 3) return dump(argv[2], false);
    if (cmd == "dump" && argc == 4 && shown(argv[2]) == "--brief") return dump(argv[3], true);
    if (cmd == "check" && argc == 3) return check(argv[2]);
    if (cmd == "check-runtime" && argc == 3) return checkRuntime(argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qrtlink %s: %s\n", cmd.c_str(), e.what());
    return 1;
  }
  std::fputs(kUsage, stderr);
  return 2;
}
