// Op 10: calling a function exported by an outside DLL.
#pragma once
#include <windows.h>

#include <cstdint>

#include "engine/engine.h"

namespace qrt {

// The DLL cache (runtime state): every DLL an EXFUNC loaded, once per run.
struct DllNode {
  DllNode* next;
  char* name;
  HMODULE module;
};

bool callExternal(EngineState& e, uint32_t* frame, uint32_t pc);

// Loads a DLL once per run through the DLL cache; nullptr when it cannot be loaded.
void* cachedModule(const char* dllName);

}  // namespace qrt
