// Our own readers and writers for the image file formats that the platform's
// image library may lack (Wine's D3DX writes only BMP, DIB, JPEG and PNG, and
// reads no PPM, PFM or HDR). They stand behind the library's calls and are
// used only when those fail. Pixels are 32-bit ARGB, rows top to bottom.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qrt {

// The platform's image file format numbers (D3DXIMAGE_FILEFORMAT).
enum class ImageFileFormat : int { Bmp = 0, Jpeg = 1, Tga = 2, Png = 3, Dds = 4, Ppm = 5, Dib = 6, Hdr = 7, Pfm = 8 };

struct ArgbImage {
  int32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;   // width * height
  int32_t colourDepth = 32;       // of the pixels as the file holds them
};

// Encodes `image` in `format`. Only TGA, DDS, PPM, HDR and PFM are written
// here; other formats give false.
bool encodeImage(ImageFileFormat format, const ArgbImage& image, std::vector<uint8_t>& out);

// Decodes uncompressed TGA (true colour and grey), DDS (uncompressed 32-,
// 24- and 16-bit RGB), binary PPM/PGM, PFM and Radiance HDR (flat or
// run-length scan lines). False when the bytes are none of these.
bool decodeImage(const uint8_t* data, size_t size, ArgbImage& out);

}  // namespace qrt
