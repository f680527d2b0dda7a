// Script text is cp932 whatever the machine's code page. These convert at
// the platform boundary and answer lead-byte questions for code page 932.
#pragma once
#include <string>

namespace qrt {

std::wstring widen932(const char* text, int length = -1);
std::string narrow932(const wchar_t* text, int length = -1);
bool isLeadByte932(unsigned char c);

}  // namespace qrt
