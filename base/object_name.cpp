#include "base/object_name.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>

namespace qrt {

std::wstring kernelObjectName(const std::wstring& prefix, std::wstring text) {
  for (wchar_t& c : text)
    if (c == L'\\') c = L'/';
  constexpr size_t kRoom = MAX_PATH - 32;
  if (text.size() <= kRoom) return prefix + text;
  uint64_t h = 1469598103934665603ull;
  for (wchar_t c : text) h = (h ^ static_cast<uint16_t>(c)) * 1099511628211ull;
  wchar_t digest[24];
  swprintf(digest, 24, L"%016llx", static_cast<unsigned long long>(h));
  return prefix + text.substr(text.size() - (kRoom - 20)) + L"#" + digest;
}

}  // namespace qrt
