// Small games for the input tests, and the hands that play them: keys and
// mouse movements go through SendInput, so DirectInput sees them as it
// sees a player.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "tools/imagebuilder/image_builder.h"

namespace qrt::test {

namespace id {
constexpr int kJoyGet = 91, kJoyAPos = 92, kJoyDPos = 93, kJoyBtn = 94, kKeyGet = 95, kKeyBtn = 96,
              kMsGet = 97, kMsBtn = 98, kMsPos = 99, kKeyGet2 = 100, kKeyBtn2 = 101, kWait = 141;
}

// A straight-line main routine: each round of commands ends with S@WAIT,
// so a test steps the program one round at a time and acts in between.
class InputScript {
 public:
  InputScript() : main_(builder_.main()) {}
  int integer(int32_t value);                            // a slot holding value
  int call(int command, const std::vector<int>& args = {});  // the result's slot
  void run(int command, const std::vector<int>& args = {});  // result not kept
  void wait() { run(id::kWait); }
  std::vector<uint8_t> build();

 private:
  img::ImageBuilder builder_;
  img::Routine& main_;
};

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
