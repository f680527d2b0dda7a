// The hands that play the input tests' games: keys and mouse movements go
// through SendInput, so DirectInput sees them as it sees a player.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "tests/support/script.h"

namespace qrt::test {

void pressKey(WORD vk);
void releaseKey(WORD vk);
void tapKey(WORD vk);
void moveMouse(int dx, int dy);
void turnWheel(int delta);
void mouseButton(DWORD flags);   // MOUSEEVENTF_LEFTDOWN, ...

// Each of the above returns once DirectInput has the event.

// Handles every message waiting for this thread's windows.
void drain();
void settle();   // the same: what the window was sent is handled
// Polls `done`, handling messages in between, until it holds (true) or the
// time-out passes (false).
bool waitFor(const std::function<bool()>& done, int timeoutMs = paced(2000));

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
