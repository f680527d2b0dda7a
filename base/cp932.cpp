#include "base/cp932.h"

#include <windows.h>

#include <array>

namespace qrt {

std::wstring widen932(const char* text, int length) {
  if (!text) return {};
  if (length < 0) length = static_cast<int>(strlen(text));
  if (length == 0) return {};
  int n = MultiByteToWideChar(932, 0, text, length, nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(932, 0, text, length, out.data(), n);
  return out;
}

std::string narrow932(const wchar_t* text, int length) {
  if (!text) return {};
  if (length < 0) length = static_cast<int>(wcslen(text));
  if (length == 0) return {};
  int n = WideCharToMultiByte(932, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(932, 0, text, length, out.data(), n, nullptr, nullptr);
  return out;
}

namespace {
std::array<bool, 256> buildLeadTable() {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = IsDBCSLeadByteEx(932, static_cast<BYTE>(c)) != 0;
  return t;
}
}  // namespace

bool isLeadByte932(unsigned char c) {
  static const std::array<bool, 256> table = buildLeadTable();
  return table[c];
}

size_t charWidth932(std::string_view text, size_t i) {
  return isLeadByte932(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

size_t lastCharStart932(std::string_view text) {
  size_t last = 0;
  for (size_t i = 0; i < text.size(); i += charWidth932(text, i)) last = i;
  return last;
}

}  // namespace qrt
