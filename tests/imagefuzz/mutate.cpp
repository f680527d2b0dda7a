#include "tests/imagefuzz/mutate.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include "image/image_builder.h"
#include "tools/imagetools/descriptor.h"
#include "tools/imagetools/walk.h"

namespace qrt::imagefuzz {

namespace {

using imgtools::Descriptors;
using imgtools::ImageView;

constexpr uint8_t kNativeOp = 2;

void allow(Layout& l, uint64_t from, uint64_t length) {
  for (uint64_t i = from; i < from + length && i < l.editable.size(); ++i) l.editable[i] = 1;
}

using imgtools::hex8;

// 0 where the word would run past the file, as the image view reads.
uint32_t wordAt(const std::vector<uint8_t>& f, uint32_t at) { return ImageView(f).word(at); }

class Mutator {
 public:
  Mutator(const std::vector<uint8_t>& seed, const Layout& layout, uint64_t number)
      : l_(layout), rng_(0x9E3779B97F4A7C15ull * (number + 1) ^ seed.size()) {
    m_.file = seed;
  }

  Mutant run() {
    // One edit mostly, sometimes a few: single faults are the ones a
    // finding can be traced back to.
    const int edits = pick(10) < 8 ? 1 : 2 + pick(3);
    for (int i = 0; i < edits; ++i) edit();
    keepNativeOpsOut();
    return std::move(m_);
  }

 private:
  uint32_t pick(uint32_t n) { return n ? std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_) : 0; }
  uint32_t from(const std::vector<uint32_t>& v) { return v[pick(static_cast<uint32_t>(v.size()))]; }

  void note(const std::string& text) { m_.what += (m_.what.empty() ? "" : "; ") + text; }

  uint32_t imageSize() const { return static_cast<uint32_t>(m_.file.size() - l_.header - img::kHeaderSize); }

  // Words on the edges of what the engine checks: empty, the reserved
  // slots, signs, the image's own size, one off the word that was there.
  uint32_t boundary(uint32_t was) {
    const uint32_t size = imageSize();
    const uint32_t values[] = {0,          1,          2,          3,          5,          8,
                               9,          0x7F,       0x80,       0xFF,       0xFFFF,     0x10000,
                               0x1000000,  0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF, size,
                               size - 1,   size + 1,   size - 4,   was + 1,    was - 1,    was * 2,
                               was + 0x10, was ^ 0x80000000};
    return values[pick(sizeof values / sizeof values[0])];
  }

  void setWord(uint32_t at, uint32_t value, const char* kind) {
    if (at + 4 > m_.file.size()) return;
    note(std::string(kind) + " " + hex8(at - l_.header - img::kHeaderSize) + " " + hex8(wordAt(m_.file, at)) +
         " -> " + hex8(value));
    for (int i = 0; i < 4; ++i) m_.file[at + i] = static_cast<uint8_t>(value >> (8 * i));
  }

  void edit() {
    switch (pick(9)) {
      case 0:
      case 1: flipBits(); break;
      case 2:
      case 3: wordEdit(l_.opWords, "op word"); break;
      case 4:
      case 5: wordEdit(l_.descriptors, "descriptor word"); break;
      case 6: tableEdit(); break;
      case 7: truncate(); break;
      default: headerEdit(); break;
    }
  }

  void flipBits() {
    std::vector<uint32_t> where;
    for (int tries = 0; tries < 64 && where.empty(); ++tries) {
      const uint32_t at = pick(static_cast<uint32_t>(m_.file.size()));
      if (at < l_.editable.size() && l_.editable[at]) where.push_back(at);
    }
    if (where.empty()) return;
    const uint32_t at = where[0];
    const int bits = 1 + static_cast<int>(pick(3));
    uint8_t mask = 0;
    for (int i = 0; i < bits; ++i) mask |= static_cast<uint8_t>(1u << pick(8));
    m_.file[at] ^= mask;
    note("flip byte " + hex8(at - l_.header - img::kHeaderSize) + " ^ " + hex8(mask).substr(6));
  }

  void wordEdit(const std::vector<uint32_t>& words, const char* kind) {
    if (words.empty()) return flipBits();
    const uint32_t at = from(words);
    setWord(at, boundary(wordAt(m_.file, at)), kind);
  }

  void tableEdit() {
    if (l_.table.empty()) return flipBits();
    const uint32_t at = from(l_.table);
    switch (pick(3)) {
      case 0: setWord(at, boundary(wordAt(m_.file, at)), "table entry"); break;
      case 1: setWord(at, wordAt(m_.file, from(l_.table)), "table entry"); break;   // another routine's
      default: setWord(at, wordAt(m_.file, at) + 4 * (1 + pick(8)), "table entry"); break;  // into its descriptor
    }
  }

  void truncate() {
    const uint32_t size = static_cast<uint32_t>(m_.file.size());
    const uint32_t imageStart = l_.header + img::kHeaderSize;
    if (size <= imageStart) return;   // cut already, inside the header
    // Mostly inside the image, now and then inside the header.
    const uint32_t cut = pick(8) ? imageStart + pick(size - imageStart) : l_.header + pick(img::kHeaderSize);
    m_.file.resize(cut);
    note("cut at " + std::to_string(cut) + " of " + std::to_string(size));
  }

  void headerEdit() {
    const uint32_t at = l_.header + pick(img::kHeaderSize);
    if (at >= m_.file.size()) return;
    m_.file[at] = static_cast<uint8_t>(pick(3) ? m_.file[at] ^ (1u << pick(8)) : pick(256));
    note("header byte " + std::to_string(at - l_.header) + " -> " + hex8(m_.file[at]).substr(6));
  }

  void keepNativeOpsOut() {
    for (uint32_t at : l_.opStarts)
      if (at < m_.file.size() && m_.file[at] == kNativeOp) m_.file[at] = 0x05;   // the invalid op instead
  }

  const Layout& l_;
  std::mt19937_64 rng_;
  Mutant m_;
};

}  // namespace

Layout layoutOf(const std::vector<uint8_t>& file) {
  Layout l;
  const auto header = img::findHeader(file);
  if (!header) return l;
  l.header = static_cast<uint32_t>(*header);
  const uint32_t base = l.header + img::kHeaderSize;
  l.editable.assign(file.size(), 0);
  allow(l, l.header, img::kHeaderSize);

  const ImageView image(std::span<const uint8_t>(file).subspan(base));
  Descriptors descriptors(image);
  const imgtools::Walk walk = imgtools::walkImage(image, descriptors);

  for (uint32_t r = 0; r < walk.tableRoutines; ++r) {
    l.table.push_back(base + 4 * r);
    allow(l, base + 4 * r, 4);
  }
  for (const auto& [number, d] : descriptors.all()) {
    if (!d.located) continue;
    // From the descriptor to its first op: fixed words, pairs, constant
    // pairs and the constant objects.
    for (uint32_t at = d.at; at + 4 <= d.firstOp && at + 4 <= image.size(); at += 4) {
      if (at >= d.areaAt && d.areaAt) break;
      l.descriptors.push_back(base + at);
    }
    for (const imgtools::Constant& c : d.constants) {
      l.descriptors.push_back(base + c.objectAt);        // its length
      l.descriptors.push_back(base + c.objectAt + 4);    // its capacity
    }
    if (d.firstOp > d.at) allow(l, base + d.at, d.firstOp - d.at);
  }
  for (const auto& [at, op] : walk.ops) {
    l.opStarts.push_back(base + at);
    const uint32_t size = op.code == kNativeOp ? 4 : (op.sized() ? op.size : 4);
    for (uint32_t w = 0; w + 4 <= size; w += 4) l.opWords.push_back(base + at + w);
    allow(l, base + at, size);
  }
  // Whatever the walk found to be code stays as it is, even where an op's
  // bytes were taken to reach over it.
  for (const auto& [at, instruction] : walk.code)
    for (uint32_t i = 0; i < instruction.length; ++i)
      if (base + at + i < l.editable.size()) l.editable[base + at + i] = 0;
  return l;
}

Mutant mutate(const std::vector<uint8_t>& file, const Layout& layout, uint64_t number) {
  return Mutator(file, layout, number).run();
}

}  // namespace qrt::imagefuzz
