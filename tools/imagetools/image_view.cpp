#include "tools/imagetools/image_view.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "image/image_builder.h"

namespace qrt::imgtools {

namespace {
// The loader reads no more of an executable than this.
constexpr size_t kMaxFile = size_t{1} << 30;
}  // namespace

uint32_t ImageView::word(uint64_t offset) const {
  if (!fits(offset, 4)) return 0;
  const uint8_t* p = bytes_.data() + offset;
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::span<const uint8_t> ImageView::bytes(uint64_t offset, uint64_t length) const {
  if (offset >= bytes_.size()) return {};
  return bytes_.subspan(static_cast<size_t>(offset),
                        static_cast<size_t>(std::min<uint64_t>(length, bytes_.size() - offset)));
}

std::optional<LoadedImage> loadImage(std::span<const uint8_t> file) {
  if (file.size() > kMaxFile) throw std::runtime_error("the file is larger than the runtime reads (1 GiB)");
  const auto at = img::findHeader(file);
  if (!at) return std::nullopt;
  LoadedImage image;
  image.headerAt = *at;
  const size_t headerEnd = std::min(file.size(), *at + img::kHeaderSize);
  image.header.assign(file.begin() + *at, file.begin() + headerEnd);
  image.engineBytes.assign(file.begin() + headerEnd, file.end());
  image.fileImageSize = static_cast<uint32_t>(image.engineBytes.size());
  image.engineBytes.push_back('\n');
  return image;
}

uint32_t tableRoutineCount(const ImageView& image) {
  uint64_t firstDescriptor = image.size();
  uint32_t n = 0;
  while (n < kMaxTableRoutines && 4ull * n + 4 <= firstDescriptor && image.fits(4ull * n, 4)) {
    const uint32_t d = image.word(4ull * n);
    // An entry pointing back into the entries read so far is no descriptor:
    // the table ended before it (images carry nothing between the two).
    if (d < 4ull * (n + 1)) break;
    firstDescriptor = std::min<uint64_t>(firstDescriptor, d);
    ++n;
  }
  return std::max<uint32_t>(n, 1);
}

std::string hex8(uint32_t value) {
  char text[12];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
  return text;
}

}  // namespace qrt::imgtools
