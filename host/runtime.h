// Host-wide state: the runtime state record, the host globals and one
// pointer per family state record. Everything runs on one thread.
#pragma once
#include <windows.h>

#include <cstdint>

#include "engine/commands.h"
#include "host/families.h"
#include "host/loader.h"
#include "host/text_entry.h"

namespace qrt {

struct DllNode {
  DllNode* next;
  char* name;
  HMODULE module;
};

struct ResumePoint {
  uint8_t* imageBase;
  uint32_t* frame;
};

struct RuntimeState {
  const char* commandLine = "";
  uint8_t zero = 0;
  CommandRecord commands[kCommandCount] = {};
  uint8_t singleInstance = 0;
  ResumePoint resume{};
  uint8_t background = 0;     // S@BACKGROUND: 0, 1 or 2
  uint8_t active = 0;         // 1 while the application is the active one
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
  EngineState* engine = nullptr;
  DisplayState* display = nullptr;
  InputState* input = nullptr;
  MusicList* music = nullptr;
  NetworkRegistry* network = nullptr;
  CdState* cd = nullptr;
  WaveRegistry* waves = nullptr;
  TimerImeRecord* timerIme = nullptr;
  bool shutdownPending = false;  // asked for while a step was running
};

extern HostGlobals g_host;

}  // namespace qrt
