// The runtime state and the host globals: what the whole process shares.
// The host fills them at start-up; the engine and every family read them.
// Each family keeps its own state record (its Part's record); none of them
// lives here. Everything runs on one thread.
#pragma once
#include <windows.h>

#include <cstdint>

#include "base/text_entry.h"
#include "base/vocabulary.h"

namespace qrt {

class Call;
struct DllNode;
struct LoaderRecord;

// A command's handler: reads its arguments through the call, returns one
// 32-bit value (Part of the dispatcher's contract, engine/call.h).
using CommandHandler = int32_t (*)(Call& call);

struct ResumePoint {
  uint8_t* imageBase;
  uint32_t* frame;
};

struct RuntimeState {
  const char* commandLine = "";      // cp932, after the program's own name
  uint8_t zero = 0;
  CommandRecord commands[kCommandCount] = {};
  CommandHandler handlers[kCommandCount] = {};   // bound by the host; empty: not built
  uint8_t singleInstance = 0;
  ResumePoint resume{};
  uint8_t background = 0;     // S@BACKGROUND: 0, 1 or 2
  uint8_t active = 0;         // 1 while the application is the active one
  uint8_t setUp = 0;          // 1 once G@SETUP has made the Direct3D object
  DllNode* dllCache = nullptr;
  LoaderRecord* loader = nullptr;
  TextEntryState text{};
};

struct HostGlobals {
  HINSTANCE instance = nullptr;
  HWND window = nullptr;
  int exitKey = VK_ESCAPE;
  RECT client{};               // client area in screen coordinates
  RuntimeState rt;
  bool shutdownPending = false;  // asked for while a step was running
};

extern HostGlobals g_host;

}  // namespace qrt
