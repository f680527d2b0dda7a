#include "gfx2d/d3dx_check.h"

#include <windows.h>

#include "base/cp932.h"
#include "base/errors.h"

namespace qrt {

bool d3dxAvailable() {
  static const bool present = LoadLibraryW(L"d3dx9_43.dll") != nullptr;
  return present;
}

void reportMissingD3dx() {
  static const std::string text = narrow932(
      L"DirectX 9.0c のランタイム (d3dx9_43.dll) がインストールされていません。\n"
      L"DirectX エンド ユーザー ランタイムをインストールしてください。\n\n"
      L"The DirectX 9.0c runtime (d3dx9_43.dll) is not installed.\n"
      L"Please install the DirectX End-User Runtime.");
  showErrorBox(0, text.c_str());
}

}  // namespace qrt
