// The image readers behind the image loader (BMP, TGA, DDS, PPM/PGM, PFM,
// HDR): whatever the bytes, a decoded image holds exactly its pixels, and
// writing it out again in each format reads back at the same size. A
// bitmap we accept, written again as a 32-bit bitmap with an alpha mask,
// reads back pixel for pixel.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "gfx2d/image_codecs.h"
#include "tools/media/bmp_files.h"

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
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
    const qrt::media::BmpForm argb{.headerSize = 124, .bits = 32, .coding = qrt::media::BmpCoding::BitFields,
                                   .masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}};
    const auto bytes = qrt::media::bmpFile(argb, image.width, image.height, image.pixels);
    qrt::ArgbImage again;
    if (!qrt::decodeBmp(bytes.data(), bytes.size(), again)) abort();
    if (again.width != image.width || again.height != image.height || again.pixels != image.pixels) abort();
  }
  return 0;
}
