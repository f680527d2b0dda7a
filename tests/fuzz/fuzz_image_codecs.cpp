// The image readers behind the image loader (TGA, DDS, PPM/PGM, PFM, HDR):
// whatever the bytes, a decoded image holds exactly its pixels, and
// writing it out again in each format reads back at the same size.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "gfx2d/image_codecs.h"

using qrt::ImageFileFormat;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qrt::ArgbImage image;
  if (!qrt::decodeImage(data, size, image)) return 0;
  if (image.width <= 0 || image.height <= 0) abort();
  if (image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height)) abort();
  for (ImageFileFormat f : {ImageFileFormat::Tga, ImageFileFormat::Dds, ImageFileFormat::Ppm, ImageFileFormat::Hdr,
                            ImageFileFormat::Pfm}) {
    std::vector<uint8_t> bytes;
    if (!qrt::encodeImage(f, image, bytes)) abort();
    qrt::ArgbImage again;
    if (!qrt::decodeImage(bytes.data(), bytes.size(), again)) abort();
    if (again.width != image.width || again.height != image.height) abort();
  }
  return 0;
}
