// Reading a program image the way the engine does: every read is bounded by
// the image, which is untrusted input.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/image_rules.h"

namespace qrt::imgtools {

// Counts the engine refuses beyond: the tools use the engine's own limits.
using qrt::kMaxCount;
using qrt::kMaxSlots;
// The tools read at most this many routine table entries; an image may call
// routines beyond them, which are read when named.
constexpr uint32_t kMaxTableRoutines = 1u << 16;

// The bytes from the image base on, as the engine sees them.
class ImageView {
 public:
  ImageView() = default;
  explicit ImageView(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
  bool fits(uint64_t offset, uint64_t length) const { return offset + length <= bytes_.size(); }
  // 0 for anything outside the image: callers check fits() where it matters.
  uint32_t word(uint64_t offset) const;
  uint8_t byte(uint64_t offset) const { return offset < bytes_.size() ? bytes_[offset] : 0; }
  std::span<const uint8_t> bytes(uint64_t offset, uint64_t length) const;

 private:
  std::span<const uint8_t> bytes_;
};

// A program image found in a game executable or an image file.
struct LoadedImage {
  size_t headerAt = 0;              // file byte where the 22-byte header starts
  std::vector<uint8_t> header;      // up to 22 bytes (fewer when the file ends)
  uint32_t fileImageSize = 0;       // image bytes in the file, after the header
  // The image bytes followed by the line feed the loader puts after every
  // file: ops and native code near the end can reach it.
  std::vector<uint8_t> engineBytes;

  ImageView view() const { return ImageView(engineBytes); }
  uint8_t flagByte() const { return header.size() > 3 ? header[3] : 0; }
};

// The image after the first header pattern, or nothing when there is none.
// Throws std::runtime_error for files larger than the runtime reads.
std::optional<LoadedImage> loadImage(std::span<const uint8_t> file);

// The routine numbers the table holds: entries up to the first descriptor
// any of them names (the table's length is not stored), at most
// kMaxTableRoutines. At least 1, since the engine always reads entry 0.
uint32_t tableRoutineCount(const ImageView& image);

// An image offset as eight hex digits, the way every tool message names one.
std::string hex8(uint32_t value);

}  // namespace qrt::imgtools
