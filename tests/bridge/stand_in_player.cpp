// A stand-in for the outside tune player: the twelve functions under their
// names, called the C way, each recording its call with its arguments and
// returning a value the test chose. Built twice: whole, and with some
// functions missing (QRT_PARTIAL_PLAYER).
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace {

struct Call {
  char name[32];
  uint32_t args[8];
  int count;
};

Call g_calls[64];
int g_callCount = 0;
int32_t g_result = 0;

int32_t record(const char* name, std::initializer_list<uint32_t> args) {
  if (g_callCount < 64) {
    Call& c = g_calls[g_callCount++];
    strncpy(c.name, name, sizeof c.name - 1);
    c.count = 0;
    for (uint32_t a : args) c.args[c.count++] = a;
  }
  return g_result;
}

uint32_t bits(float f) {
  uint32_t b;
  memcpy(&b, &f, 4);
  return b;
}

}  // namespace

extern "C" {

// The test's side.
__declspec(dllexport) void __cdecl standIn_SetResult(int32_t value) { g_result = value; }
__declspec(dllexport) int __cdecl standIn_CallCount() { return g_callCount; }
__declspec(dllexport) const Call* __cdecl standIn_Call(int i) { return i < g_callCount ? &g_calls[i] : nullptr; }
__declspec(dllexport) void __cdecl standIn_Clear() { g_callCount = 0; }

__declspec(dllexport) int32_t __cdecl pxtone_Ready(int32_t a, int32_t b, int32_t c, int32_t d, float e, int32_t f,
                                                   int32_t g) {
  return record("Ready", {uint32_t(a), uint32_t(b), uint32_t(c), uint32_t(d), bits(e), uint32_t(f), uint32_t(g)});
}
__declspec(dllexport) int32_t __cdecl pxtone_Reset(int32_t a, int32_t b, int32_t c, int32_t d, float e, int32_t f,
                                                   int32_t g) {
  return record("Reset", {uint32_t(a), uint32_t(b), uint32_t(c), uint32_t(d), bits(e), uint32_t(f), uint32_t(g)});
}
__declspec(dllexport) int32_t __cdecl pxtone_GetLastError() { return record("GetLastError", {}); }
__declspec(dllexport) int32_t __cdecl pxtone_Release() { return record("Release", {}); }
__declspec(dllexport) int32_t __cdecl pxtone_Tune_Load(int32_t a, int32_t b, int32_t c) {
  return record("Tune_Load", {uint32_t(a), uint32_t(b), uint32_t(c)});
}
__declspec(dllexport) int32_t __cdecl pxtone_Tune_Release() { return record("Tune_Release", {}); }
__declspec(dllexport) int32_t __cdecl pxtone_Tune_Start(int32_t a, int32_t b) {
  return record("Tune_Start", {uint32_t(a), uint32_t(b)});
}
__declspec(dllexport) int32_t __cdecl pxtone_Tune_Fadeout(int32_t a) { return record("Tune_Fadeout", {uint32_t(a)}); }
__declspec(dllexport) int32_t __cdecl pxtone_Tune_SetVolume(float v) { return record("Tune_SetVolume", {bits(v)}); }
#ifndef QRT_PARTIAL_PLAYER
__declspec(dllexport) int32_t __cdecl pxtone_Tune_Stop() { return record("Tune_Stop", {}); }
__declspec(dllexport) int32_t __cdecl pxtone_Tune_IsStreaming() { return record("Tune_IsStreaming", {}); }
__declspec(dllexport) int32_t __cdecl pxtone_Tune_SetLoop(int32_t a) { return record("Tune_SetLoop", {uint32_t(a)}); }
#endif

}  // extern "C"
