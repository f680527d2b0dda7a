// The hands that play the input tests' games: keys and mouse movements go
// through SendInput, so DirectInput sees them as it sees a player.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "tests/support/script.h"

namespace qrt::test {

void pressKey(WORD vk);
void releaseKey(WORD vk);
void tapKey(WORD vk);
void moveMouse(int dx, int dy);
void turnWheel(int delta);
void mouseButton(DWORD flags);   // MOUSEEVENTF_LEFTDOWN, ...

// Lets queued input reach the devices and the window's messages be handled.
void settle();

// The main window as the application the user works in.
void activateMainWindow();

// One relative move of n reads n: no acceleration while a test runs.
class PlainMouse {
 public:
  PlainMouse();
  ~PlainMouse();

 private:
  int saved_[3] = {};
};

}  // namespace qrt::test
