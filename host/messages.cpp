#include "host/messages.h"

#include "host/runtime.h"

namespace qrt {

bool handleWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_ACTIVATEAPP:
      g_host.rt.active = wParam ? 1 : 0;
      return false;
    case WM_KEYDOWN:
      // The exit key closes the window whatever the program is doing.
      if (static_cast<int>(wParam) == g_host.exitKey) {
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        *result = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

}  // namespace qrt
