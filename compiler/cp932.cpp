#include "compiler/cp932.h"

#include <algorithm>
#include <array>
#include <vector>

namespace qrt::qrtc {

extern const Cp932Pair kCp932Pairs[];
extern const int kCp932PairCount;
extern const uint16_t kCp932NotPreferred[];
extern const int kCp932NotPreferredCount;

namespace {

// Unicode -> code, one entry per character, built once from the table.
const std::vector<Cp932Pair>& byUnicode() {
  static const std::vector<Cp932Pair> table = [] {
    std::vector<Cp932Pair> t;
    t.reserve(kCp932PairCount);
    const uint16_t* skipBegin = kCp932NotPreferred;
    const uint16_t* skipEnd = kCp932NotPreferred + kCp932NotPreferredCount;
    for (int i = 0; i < kCp932PairCount; ++i)
      if (!std::binary_search(skipBegin, skipEnd, kCp932Pairs[i].code)) t.push_back(kCp932Pairs[i]);
    std::sort(t.begin(), t.end(), [](Cp932Pair a, Cp932Pair b) { return a.unicode < b.unicode; });
    return t;
  }();
  return table;
}

// Characters JIS-based converters produce where Windows has a twin.
constexpr std::array<std::pair<char32_t, uint16_t>, 7> kTwins{{
    {0x00A2, 0x8191},  // ¢ (Windows: U+FFE0)
    {0x00A3, 0x8192},  // £ (U+FFE1)
    {0x00AC, 0x81CA},  // ¬ (U+FFE2)
    {0x2014, 0x815C},  // — (U+2015)
    {0x2016, 0x8161},  // ‖ (U+2225)
    {0x2212, 0x817C},  // − (U+FF0D)
    {0x301C, 0x8160},  // 〜 (U+FF5E)
}};

}  // namespace

bool appendCp932(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
    return true;
  }
  if (c >= 0xFF61 && c <= 0xFF9F) {  // half-width katakana: one byte
    out += static_cast<char>(c - 0xFF61 + 0xA1);
    return true;
  }
  uint16_t code = 0;
  if (c <= 0xFFFF) {
    const auto& t = byUnicode();
    auto it = std::lower_bound(t.begin(), t.end(), c,
                               [](Cp932Pair p, char32_t v) { return p.unicode < v; });
    if (it != t.end() && it->unicode == c) code = it->code;
  }
  if (!code)
    for (auto [u, k] : kTwins)
      if (u == c) code = k;
  if (!code) return false;
  out += static_cast<char>(code >> 8);
  out += static_cast<char>(code & 0xFF);
  return true;
}

char32_t decodeCp932(std::string_view text, int& length) {
  length = 1;
  if (text.empty()) return 0xFFFD;
  const auto b = static_cast<uint8_t>(text[0]);
  if (b < 0x80) return b;
  if (b >= 0xA1 && b <= 0xDF) return 0xFF61 + (b - 0xA1);
  if (!isCp932Lead(b) || text.size() < 2 || !isCp932Trail(static_cast<uint8_t>(text[1]))) return 0xFFFD;
  length = 2;
  const uint16_t code = static_cast<uint16_t>(b << 8 | static_cast<uint8_t>(text[1]));
  const Cp932Pair* end = kCp932Pairs + kCp932PairCount;
  const Cp932Pair* it = std::lower_bound(kCp932Pairs, end, code, [](Cp932Pair p, uint16_t v) { return p.code < v; });
  if (it != end && it->code == code) return it->unicode;
  return 0xFFFD;
}

bool isValidCp932(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    int n = 0;
    if (decodeCp932(text.substr(i), n) == 0xFFFD) return false;
    i += static_cast<size_t>(n);
  }
  return true;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string cp932ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 3 / 2);
  for (size_t i = 0; i < text.size();) {
    int n = 0;
    appendUtf8(out, decodeCp932(text.substr(i), n));
    i += static_cast<size_t>(n);
  }
  return out;
}

}  // namespace qrt::qrtc
