// The main window as a script sees it: a message box it owns, its title,
// minimizing and restoring it, whether it is active, and how the program
// runs while it is not.
#include <windows.h>

#include <string>

#include "base/cp932.h"
#include "base/runtime.h"
#include "engine/call.h"
#include "system/commands.h"

namespace qrt {

namespace {

// A script's box without a title of its own.
constexpr char kMessageTitle[] = "Tessaly";

// Buttons 1..5 as scripts number them; any other value is one OK button.
UINT buttonsStyle(int32_t buttons) {
  static constexpr UINT kStyles[] = {MB_OK,          MB_ABORTRETRYIGNORE, MB_OKCANCEL,
                                     MB_RETRYCANCEL, MB_YESNO,            MB_YESNOCANCEL};
  return buttons >= 1 && buttons <= 5 ? kStyles[buttons] : MB_OK;
}

// Icons 0..2; any other value is the stop sign.
UINT iconStyle(int32_t icon) {
  static constexpr UINT kIcons[] = {MB_ICONEXCLAMATION, MB_ICONINFORMATION, MB_ICONQUESTION};
  return icon >= 0 && icon <= 2 ? kIcons[icon] : MB_ICONSTOP;
}

HWND mainWindow() { return g_host.window; }

}  // namespace

int32_t cmdSMsg(Call& c) {
  const std::wstring text = widen932(c.s(0));
  const std::wstring title = widen932(c.empty(1) ? kMessageTitle : c.s(1));
  const UINT style = buttonsStyle(c.i(2)) | iconStyle(c.i(4)) | (c.i(3) == 1 ? MB_SYSTEMMODAL : 0);
  return MessageBoxW(mainWindow(), text.c_str(), title.c_str(), style);
}

int32_t cmdSTitleSet(Call& c) {
  SetWindowTextW(mainWindow(), widen932(c.s(0)).c_str());
  return kDone;
}

int32_t cmdSWinOpen(Call&) {
  OpenIcon(mainWindow());
  return kDone;
}

// Minimizes the window; it stays open.
int32_t cmdSWinClose(Call&) {
  CloseWindow(mainWindow());
  return kDone;
}

int32_t cmdSWinCloseChk(Call&) { return IsIconic(mainWindow()) ? 1 : 0; }

int32_t cmdSWinZoomChk(Call&) { return IsZoomed(mainWindow()) ? 1 : 0; }

int32_t cmdSWinActChk(Call&) {
  const HWND w = mainWindow();
  return w && GetActiveWindow() == w ? 1 : 0;
}

// While another application is active: 0 freezes the program (the host
// loop only waits for messages), 1 runs it with neutral input, 2 runs it
// with live input.
int32_t cmdSBackground(Call& c) {
  const int32_t mode = c.i(0);
  if (mode < 0 || mode > 2) return c.fail(660);
  g_host.rt.background = static_cast<uint8_t>(mode);
  return kDone;
}

// A negative time would be INFINITE, or nearly: it sleeps not at all.
int32_t cmdSSleep(Call& c) {
  const int32_t ms = c.i(0);
  Sleep(ms > 0 ? static_cast<DWORD>(ms) : 0);
  return kDone;
}

}  // namespace qrt
