// The compiler over source text: whatever the bytes, it ends with an image
// or diagnostics, never a crash or a hang, and every image it writes passes
// the checks the runtime applies before it runs a game.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "compiler/compiler.h"
#include "tools/imagetools/check.h"
#include "tools/imagetools/image_view.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qrt::qrtc::MemoryLoader loader;
  loader.files["game.qrs"] = std::string(reinterpret_cast<const char*>(data), size);
  // Includes reach a second file and the program itself.
  loader.files["lib/report.qrs"] = "STATIC INT seen\nFUNC say(STR s)\n  seen = seen + 1\nENDFUNC\n#DEFINE N 3\n";
  const qrt::qrtc::CompileResult r = qrt::qrtc::compile("game.qrs", loader);
  if (!r.ok()) return 0;
  const auto image = qrt::imgtools::loadImage(r.image);
  if (!image || qrt::imgtools::checkImage(image->view()).faults() != 0) std::abort();
  return 0;
}
