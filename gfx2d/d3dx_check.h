// The platform's D3DX library is loaded at its first use. A machine without
// the DirectX 9 runtime lacks it: the display is then refused with a box
// that says what to install, before anything calls into the missing DLL.
#pragma once

namespace qrt {

// Whether d3dx9_43.dll can be loaded; asked of the system once.
bool d3dxAvailable();

// The box, in Japanese and in English.
void reportMissingD3dx();

}  // namespace qrt
