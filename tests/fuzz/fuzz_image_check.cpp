// The image checker of qrtlink (the reader every tool maker's image goes
// through): whatever the file, finding the image, reading its descriptors,
// walking its ops and native code and checking them stays in the bytes and
// ends.
#include <cstdint>
#include <span>

#include "tools/imagetools/check.h"
#include "tools/imagetools/image_view.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto image = qrt::imgtools::loadImage(std::span<const uint8_t>(data, size));
  if (!image) return 0;
  const qrt::imgtools::CheckResult r = qrt::imgtools::checkImage(image->view());
  (void)r.faults();
  return 0;
}
