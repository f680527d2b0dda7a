// The main window's messages: the active flag, the window geometry, the
// cursor, the exit key, and the runtime's own text entry.
//
// The program draws IME composition and candidates itself (the IME
// commands read what is captured here), so every IME message is kept from
// default processing: the system's composition, candidate and status
// windows never appear.
#include "host/messages.h"

#include "base/runtime.h"
#include "gfx2d/display.h"
#include "host/families.h"
#include "host/ime_capture.h"

namespace qrt {

namespace {

void refreshGeometry(HWND hwnd) {
  DisplayState* d = display();
  if (!d) return;
  if (d->windowMode == 0) {
    g_host.client = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  } else if (d->windowMode == 1) {
    RECT r{};
    GetClientRect(hwnd, &r);
    POINT topLeft{r.left, r.top}, bottomRight{r.right, r.bottom};
    ClientToScreen(hwnd, &topLeft);
    ClientToScreen(hwnd, &bottomRight);
    g_host.client = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    // Never 0: the mouse scales positions by the client size.
    const int32_t width = bottomRight.x - topLeft.x, height = bottomRight.y - topLeft.y;
    d->clientWidth = width == 0 ? 1 : width;
    d->clientHeight = height == 0 ? 1 : height;
  }
}

// The cp932 byte a character message types, or -1. The window is a
// Unicode window; characters that are double-byte in cp932 (or not in it
// at all) are not typed: those reach the edit text as IME results.
int typedByte(WPARAM wParam) {
  const wchar_t c = static_cast<wchar_t>(wParam);
  if (c < 0x80) return c;
  char bytes[2];
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &c, 1, bytes, sizeof bytes, nullptr,
                                    &usedDefault);
  if (n != 1 || usedDefault) return -1;
  return static_cast<unsigned char>(bytes[0]);
}

}  // namespace

bool handleWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  TextEntryState& text = g_host.rt.text;
  *result = 0;
  switch (message) {
    case WM_MOVE:
    case WM_SIZE:
      refreshGeometry(hwnd);
      return false;

    case WM_DPICHANGED: {
      // Moved to a monitor of other dots per inch: the size the system
      // suggests keeps the window as large to the eye.
      const RECT* r = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return true;
    }

    case WM_ACTIVATEAPP: {
      const uint8_t active = wParam ? 1 : 0;
      const bool changed = active != g_host.rt.active;
      g_host.rt.active = active;
      if (changed) familiesActivated(active == 1);
      return false;
    }

    case WM_SETCURSOR:
      // Full screen keeps the cursor hidden; the program draws its own.
      if (display() && display()->windowMode == 0) {
        SetCursor(nullptr);
        *result = TRUE;
        return true;
      }
      return false;

    case WM_KEYDOWN:
      // The exit key closes the window whatever the program is doing, edit
      // mode included.
      if (static_cast<int>(wParam) == g_host.exitKey) PostMessageW(hwnd, WM_CLOSE, 0, 0);
      if (text.editMode == 1) applyEditKey(text, static_cast<unsigned>(wParam));
      return false;

    case WM_KEYUP:
      text.insert = GetKeyState(VK_INSERT) != 0 ? 1 : 0;
      refreshGeometry(hwnd);
      return false;

    case WM_CHAR: {
      const int byte = typedByte(wParam);
      if (byte >= 0) typeCharacter(text, static_cast<uint8_t>(byte));
      return false;
    }

    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_SETCONTEXT:
    case WM_IME_CONTROL:
    case WM_IME_SELECT:
    case WM_IME_CHAR:
      return true;

    case WM_IME_COMPOSITION:
      // Read only when a script asked for it; otherwise dropped unread.
      // Until the script has taken what was captured, later messages are
      // read too: an IME may clear the composition and commit the result in
      // two messages, and the committed text must not be lost.
      if (text.captureState != kCaptureIdle) captureComposition(text, hwnd, lParam);
      return true;

    case WM_IME_NOTIFY:
      if (wParam == IMN_OPENCANDIDATE) takeCandidateList(text, hwnd);
      return true;

    default:
      return false;
  }
}

}  // namespace qrt
