// Script text is cp932 whatever the machine's code page. These convert at
// the platform boundary and answer lead-byte questions for code page 932.
#pragma once
#include <string>
#include <string_view>

namespace qrt {

std::wstring widen932(const char* text, int length = -1);
std::string narrow932(const wchar_t* text, int length = -1);
bool isLeadByte932(unsigned char c);
// Bytes of the character starting at text[i]: two for a lead byte that has
// its trail byte, else one.
size_t charWidth932(std::string_view text, size_t i);
// Where the last character of a text starts (0 for an empty text).
size_t lastCharStart932(std::string_view text);

}  // namespace qrt
