// Code page 932 (Shift JIS as Windows has it) for the compiler: scripts are
// UTF-8 or cp932, images hold cp932, messages are printed as UTF-8. Our own
// table, so that the compiler gives the same bytes on every machine.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace qrt::qrtc {

struct Cp932Pair {
  uint16_t code;
  uint16_t unicode;
};

// A byte that starts a double-byte character.
constexpr bool isCp932Lead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
constexpr bool isCp932Trail(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// Appends the cp932 form of a Unicode character; false when it has none.
// The few characters that JIS-based editors write for what Windows maps
// elsewhere (the wave dash U+301C for 〜, the minus U+2212 for －, ...)
// take the code Windows gives their twins.
bool appendCp932(std::string& out, char32_t c);

// The Unicode value of one cp932 character starting at text[0]; `length`
// receives its byte count (1 or 2). Returns U+FFFD for a byte that starts
// no character.
char32_t decodeCp932(std::string_view text, int& length);

// Whether `text` is whole cp932 characters (no lone lead byte, no byte that
// is no character).
bool isValidCp932(std::string_view text);

// cp932 text as UTF-8, for messages.
std::string cp932ToUtf8(std::string_view text);

// Appends a code point as UTF-8.
void appendUtf8(std::string& out, char32_t c);

}  // namespace qrt::qrtc
