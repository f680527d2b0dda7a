#include "tools/imagetools/text932.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace qrt::imgtools {

namespace {

constexpr unsigned kCodePage932 = 932;

bool isLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool isTrail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }
bool isKana(unsigned char c) { return c >= 0xA1 && c <= 0xDF; }  // half-width, one byte

std::string escaped(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char t[8];
    std::snprintf(t, sizeof t, "\\x%02X", c);
    out += t;
  }
  return out;
}

// One cp932 character (one or two bytes) as UTF-8, or "" when it has none.
std::string utf8Of(std::string_view ch) {
#ifdef _WIN32
  wchar_t wide[2];
  const int n = MultiByteToWideChar(kCodePage932, MB_ERR_INVALID_CHARS, ch.data(), static_cast<int>(ch.size()), wide, 2);
  if (n <= 0) return "";
  char utf8[8];
  const int m = WideCharToMultiByte(CP_UTF8, 0, wide, n, utf8, sizeof utf8, nullptr, nullptr);
  return m > 0 ? std::string(utf8, static_cast<size_t>(m)) : "";
#else
  // Without the platform's table (a host build for fuzzing) only ASCII is
  // shown as itself.
  (void)kCodePage932;
  return "";
#endif
}

}  // namespace

std::string quoted932(std::string_view text, size_t maxChars) {
  std::string out = "\"";
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++chars) {
    if (chars == maxChars) {
      out += "\"...";
      return out;
    }
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default: out += c < 0x20 || c == 0x7F ? escaped(text.substr(i, 1)) : std::string(1, static_cast<char>(c));
      }
      ++i;
      continue;
    }
    const bool pair = isLead(c) && i + 1 < text.size() && isTrail(static_cast<unsigned char>(text[i + 1]));
    // The platform's table passes 0x80, 0xA0 and 0xFD..0xFF through as
    // control or private-use characters; they are no text.
    if (!pair && !isKana(c)) {
      out += escaped(text.substr(i, 1));
      ++i;
      continue;
    }
    const size_t length = pair ? 2 : 1;
    const std::string_view ch = text.substr(i, length);
    const std::string utf8 = utf8Of(ch);
    out += utf8.empty() ? escaped(ch) : utf8;
    i += length;
  }
  return out + "\"";
}

}  // namespace qrt::imgtools
