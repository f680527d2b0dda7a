// The window-message handler behind the window procedure. The window is a
// Unicode window: character messages arrive as UTF-16 and are turned into
// cp932 here.
#pragma once
#include <windows.h>

namespace qrt {

// Returns true when it handled the message (the window procedure returns
// *result); false asks for default processing.
bool handleWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

}  // namespace qrt
