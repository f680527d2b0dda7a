// qrtc: compiles a game script into a game.
//
//   qrtc game.qrs                      game.exe beside the script
//   qrtc game.qrs -o game.exe          the image appended to qrtrun.exe
//   qrtc game.qrs -o game.qim          the image alone
//   qrtc game.qrs --check              only the diagnostics
//   --runtime PATH                     the qrtrun.exe to link onto (else the one
//                                      beside qrtc, else $QRT_RUNTIME)
//   --one-copy                         the game runs one copy per executable path
//
// Exit status: 0 written, 1 the script has errors (nothing is written),
// 2 the command line or a file is wrong.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "compiler/compiler.h"
#include "image/image_builder.h"

namespace fs = std::filesystem;
using namespace qrt;

namespace {

std::string utf8(const fs::path& p) {
  std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}

fs::path fromUtf8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

int usage(const std::string& why) {
  if (!why.empty()) std::cerr << "qrtc: " << why << "\n";
  std::cerr << "usage: qrtc SCRIPT [-o GAME.exe | -o GAME.qim] [--runtime QRTRUN.exe] [--check] [--one-copy]\n";
  return 2;
}

// Writes through a temporary file, so that a failure leaves no half game.
bool writeWhole(const fs::path& out, const std::vector<uint8_t>& bytes, std::string& why) {
  fs::path tmp = out;
  tmp += ".part";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f || !f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())) ||
        !f.flush()) {
      why = "cannot write " + utf8(tmp);
      std::error_code ec;
      fs::remove(tmp, ec);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(tmp, out, ec);
  if (ec) {
    fs::remove(out, ec);
    fs::rename(tmp, out, ec);
  }
  if (ec) {
    why = "cannot write " + utf8(out) + ": " + ec.message();
    fs::remove(tmp, ec);
    return false;
  }
  return true;
}

fs::path ownFolder(const fs::path& argv0) {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) self = fs::absolute(argv0, ec);
  return self.parent_path();
}

int run(const std::vector<fs::path>& args, const fs::path& argv0) {
  fs::path script, output, runtime;
  bool check = false, oneCopy = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string a = utf8(args[i]);
    if (a == "-o" || a == "--output") {
      if (++i >= args.size()) return usage("-o needs a file name");
      output = args[i];
    } else if (a == "--runtime") {
      if (++i >= args.size()) return usage("--runtime needs a file name");
      runtime = args[i];
    } else if (a == "--check") {
      check = true;
    } else if (a == "--one-copy") {
      oneCopy = true;
    } else if (a == "-h" || a == "--help") {
      return usage("");
    } else if (!a.empty() && a[0] == '-') {
      return usage("unknown option " + a);
    } else if (script.empty()) {
      script = args[i];
    } else {
      return usage("one script at a time");
    }
  }
  if (script.empty()) return usage("no script given");

  qrtc::DiskLoader loader;
  qrtc::GenOptions options;
  options.singleInstance = oneCopy;
  options.keepTree = true;  // the process ends right after
  qrtc::CompileResult result = qrtc::compile(utf8(script), loader, options);
  if (!result.ok()) {
    std::cerr << qrtc::formatDiagnostics(result);
    const size_t n = result.diagnostics.size();
    std::cerr << "qrtc: " << n << (n == 1 ? " error" : " errors")
              << (n >= static_cast<size_t>(qrtc::kMaxDiagnostics) ? " (the first 50)" : "") << "; nothing written\n";
    return 1;
  }
  if (check) return 0;

  if (output.empty()) output = fs::path(script).replace_extension(".exe");
  std::string ext = utf8(output.extension());
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::vector<uint8_t> bytes;
  if (ext == ".qim" || ext == ".img") {
    bytes = std::move(result.image);
  } else {
    if (runtime.empty()) {
      fs::path beside = ownFolder(argv0) / "qrtrun.exe";
      std::error_code ec;
      if (fs::exists(beside, ec)) runtime = beside;
      else if (const char* env = std::getenv("QRT_RUNTIME")) runtime = fromUtf8(env);
    }
    if (runtime.empty()) {
      std::cerr << "qrtc: no qrtrun.exe beside qrtc: give it with --runtime, or write the image alone with -o GAME.qim\n";
      return 2;
    }
    try {
      bytes = img::linkGame(img::readFile(runtime), result.image);
    } catch (const std::exception& e) {
      std::cerr << "qrtc: " << utf8(runtime) << ": " << e.what() << "\n";
      return 2;
    }
  }
  std::string why;
  if (!writeWhole(output, bytes, why)) {
    std::cerr << "qrtc: " << why << "\n";
    return 2;
  }
  return 0;
}

}  // namespace

#ifdef _WIN32
// Wide arguments, so that a script in any folder can be named on any locale.
int wmain(int argc, wchar_t** argv) {
  std::vector<fs::path> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return run(args, argc > 0 ? fs::path(argv[0]) : fs::path());
}
#else
int main(int argc, char** argv) {
  std::vector<fs::path> args;
  for (int i = 1; i < argc; ++i) args.push_back(fromUtf8(argv[i]));
  return run(args, argc > 0 ? fs::path(argv[0]) : fs::path());
}
#endif
