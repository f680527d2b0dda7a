// An outside DLL for EXFUNC tests: stdcall exports with undecorated names,
// as games' DLLs export them, plus a caller-cleans one and a faulting one.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {
int g_attachCount = 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) ++g_attachCount;
  return TRUE;
}

extern "C" {

// The digits show which operand reached which parameter.
__declspec(dllexport) int __stdcall Digits3(int a, int b, int c) { return a * 100 + b * 10 + c; }

// Writes a shorter text over its argument.
__declspec(dllexport) int __stdcall Shorten(char* text) {
  strcpy(text, "hi");
  return 2;
}

__declspec(dllexport) const char* __stdcall Greeting(int n) {
  static char buffer[64];
  snprintf(buffer, sizeof buffer, "hello %d", n);
  return buffer;
}

__declspec(dllexport) const char* __stdcall NoText() { return nullptr; }

__declspec(dllexport) int __stdcall TextLength(const char* text) { return text ? static_cast<int>(strlen(text)) : -1; }

// Leaves its arguments on the stack for the caller to remove.
__declspec(dllexport) int __cdecl CallerCleans(int a, int b, int c) { return a + b + c; }

__declspec(dllexport) int __stdcall Fault(int) {
  *static_cast<volatile int*>(nullptr) = 1;
  return 0;
}

__declspec(dllexport) int __stdcall AttachCount() { return g_attachCount; }

}
