// Our own readers and writers for the image file formats that the platform's
// image library may lack or get wrong (Wine's D3DX writes only BMP, DIB,
// JPEG and PNG, reads no PPM, PFM or HDR, and misreads or refuses some
// bitmaps). The BMP reader comes before the library; the others stand
// behind its calls and are used only when those fail. Pixels are 32-bit
// ARGB, rows top to bottom.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qrt {

// The platform's image file format numbers (D3DXIMAGE_FILEFORMAT).
enum class ImageFileFormat : int { Bmp = 0, Jpeg = 1, Tga = 2, Png = 3, Dds = 4, Ppm = 5, Dib = 6, Hdr = 7, Pfm = 8 };

// The largest picture any of our readers makes: 16384 on a side and 256 MB
// of pixels.
constexpr int64_t kMaxImageSide = 16384;
constexpr int64_t kMaxImagePixels = int64_t{1} << 26;
bool imageSizeOk(int64_t width, int64_t height);

// One colour component's bit-field mask in a pixel (BMP, DDS): its value
// scaled to 0..255 whatever its width, so 5-bit and 10-bit fields read as a
// full range.
struct ColourMask {
  uint32_t mask = 0;
  int shift = 0;
  uint64_t max = 0;   // 64 bits: a field wider than 24 bits times 255 does not fit in 32
  explicit ColourMask(uint32_t m = 0) : mask(m), shift(m ? __builtin_ctz(m) : 0), max(m >> shift) {}
  // `absent` when there is no mask.
  uint32_t read(uint32_t pixel, uint32_t absent) const {
    if (!mask) return absent;
    return static_cast<uint32_t>((uint64_t{(pixel & mask) >> shift} * 255 + max / 2) / max);
  }
};

struct ArgbImage {
  int32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;   // width * height
  int32_t colourDepth = 32;       // of the pixels as the file holds them
};

// Encodes `image` in `format`. Only TGA, DDS, PPM, HDR and PFM are written
// here; other formats give false.
bool encodeImage(ImageFileFormat format, const ArgbImage& image, std::vector<uint8_t>& out);

// Decodes BMP (see decodeBmp), uncompressed TGA (true colour and grey), DDS
// (uncompressed 32-, 24- and 16-bit RGB), binary PPM/PGM, PFM and Radiance
// HDR (flat or run-length scan lines). False when the bytes are none of
// these.
bool decodeImage(const uint8_t* data, size_t size, ArgbImage& out);

// Decodes a BMP file: every header (the 12-byte core header, 40, 52, 56,
// 108 and 124 bytes), 1-, 2-, 4- and 8-bit palettes of any length (an index
// past the palette's end is black), RLE8 and RLE4 (pixels the codes skip
// are transparent black), 16 and 32 bits with any bit-field masks (an
// alpha mask where the header has one), 24 bits, rows either way up.
bool decodeBmp(const uint8_t* data, size_t size, ArgbImage& out);

}  // namespace qrt
