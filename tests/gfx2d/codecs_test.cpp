// Our own image codecs, which stand in where the platform's image library
// has no reader or writer for a format.
#include <gtest/gtest.h>

#include "gfx2d/image_codecs.h"

namespace qrt {
namespace {

ArgbImage sample() {
  ArgbImage im;
  im.width = 5;
  im.height = 3;
  for (int i = 0; i < 15; ++i) im.pixels.push_back(0xFF000000u | (i * 17u) << 16 | (255u - i * 9u) << 8 | 0x40u);
  return im;
}

TEST(ImageCodecs, EveryOwnFormatReadsBackItsPixels) {
  const ArgbImage im = sample();
  for (ImageFileFormat f : {ImageFileFormat::Tga, ImageFileFormat::Dds, ImageFileFormat::Ppm,
                            ImageFileFormat::Hdr, ImageFileFormat::Pfm}) {
    SCOPED_TRACE(static_cast<int>(f));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(encodeImage(f, im, bytes));
    ArgbImage back;
    ASSERT_TRUE(decodeImage(bytes.data(), bytes.size(), back));
    ASSERT_EQ(back.width, 5);
    ASSERT_EQ(back.height, 3);
    // RGBE keeps 8 bits of mantissa for the largest channel only.
    const int tolerance = f == ImageFileFormat::Hdr ? 3 : 0;
    for (size_t i = 0; i < im.pixels.size(); ++i) {
      for (int shift : {0, 8, 16}) {
        int a = static_cast<int>(im.pixels[i] >> shift & 0xFF), b = static_cast<int>(back.pixels[i] >> shift & 0xFF);
        EXPECT_NEAR(a, b, tolerance) << "pixel " << i;
      }
    }
  }
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(encodeImage(ImageFileFormat::Png, im, bytes));   // the library's job
}

TEST(ImageCodecs, ADdsComponentWiderThan24BitsScalesTo255) {
  // One 32-bit pixel, red in the top 27 bits, green and blue in the low 5:
  // full red is 255, not what a 32-bit product wraps to.
  std::vector<uint8_t> dds(132, 0);
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) dds[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put(0, 0x20534444);            // "DDS "
  put(4, 124);
  put(12, 1);                    // height
  put(16, 1);                    // width
  put(76, 32);
  put(80, 0x40);                 // RGB
  put(88, 32);
  put(92, 0xFFFFFFE0);
  put(96, 0x0000001C);
  put(100, 0x00000003);
  put(128, 0xFFFFFFE0);
  ArgbImage back;
  ASSERT_TRUE(decodeImage(dds.data(), dds.size(), back));
  EXPECT_EQ(back.pixels[0], 0xFFFF0000u);
}

TEST(ImageCodecs, ShortOrLyingFilesAreRefused) {
  const ArgbImage im = sample();
  for (ImageFileFormat f : {ImageFileFormat::Tga, ImageFileFormat::Dds, ImageFileFormat::Ppm,
                            ImageFileFormat::Hdr, ImageFileFormat::Pfm}) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(encodeImage(f, im, bytes));
    bytes.resize(bytes.size() - 7);
    ArgbImage back;
    EXPECT_FALSE(decodeImage(bytes.data(), bytes.size(), back)) << static_cast<int>(f);
  }
  const char huge[] = "P6\n100000 100000\n255\n";
  ArgbImage back;
  EXPECT_FALSE(decodeImage(reinterpret_cast<const uint8_t*>(huge), sizeof huge - 1, back));
}

}  // namespace
}  // namespace qrt
