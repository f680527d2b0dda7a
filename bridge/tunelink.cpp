// tunelink: lets a game script play tunes with the outside tune-player
// library. Scripts reach outside DLLs with 32-bit integer arguments in the
// standard-call convention; the player takes reals and is called the C way
// (the caller removes the arguments). Each export converts and forwards one
// call. Nothing here depends on the runtime.
#include <windows.h>

#include <cstdint>

namespace {

// The player's functions, all called the C way.
using Ready = int32_t(__cdecl*)(int32_t, int32_t, int32_t, int32_t, float, int32_t, int32_t);
using NoArguments = int32_t(__cdecl*)();
using TuneLoad = int32_t(__cdecl*)(int32_t, int32_t, int32_t);
using TwoIntegers = int32_t(__cdecl*)(int32_t, int32_t);
using OneInteger = int32_t(__cdecl*)(int32_t);
using OneReal = int32_t(__cdecl*)(float);

struct Player {
  HMODULE module = nullptr;
  Ready ready = nullptr;
  Ready reset = nullptr;
  NoArguments getLastError = nullptr;
  NoArguments release = nullptr;
  TuneLoad tuneLoad = nullptr;
  NoArguments tuneRelease = nullptr;
  TwoIntegers tuneStart = nullptr;
  OneInteger tuneFadeout = nullptr;
  OneReal tuneSetVolume = nullptr;
  NoArguments tuneStop = nullptr;
  NoArguments tuneIsStreaming = nullptr;
  OneInteger tuneSetLoop = nullptr;
};

Player g_player;

template <typename Function>
void find(Function& f, const char* name) {
  f = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(g_player.module, name)));
}

// The script's thousandths and 0..255 volumes as the player's reals: the
// integer times a double constant, formed at the x87 unit's full precision
// and rounded to single precision once (never through a double first).
constexpr double kThousandth = 0.001;
constexpr double kVolumeStep = 1.0 / 255.0;
float thousandths(int32_t d) { return static_cast<float>(static_cast<long double>(d) * kThousandth); }
float volume(int32_t v) { return static_cast<float>(static_cast<long double>(v) * kVolumeStep); }

}  // namespace

extern "C" {

// Loads the player from the current folder (games keep it in their working
// folder, not beside this DLL) and looks up its functions; a missing one
// stays empty and its wrapper returns 0.
__declspec(dllexport) int32_t __stdcall LoadDLL() {
  HMODULE module = LoadLibraryA("./pxtone.dll");
  if (!module) return 0;
  // Loaded again: the older reference goes, so that one FreeDLL unloads it.
  if (g_player.module) FreeLibrary(g_player.module);
  g_player.module = module;
  find(g_player.ready, "pxtone_Ready");
  find(g_player.reset, "pxtone_Reset");
  find(g_player.getLastError, "pxtone_GetLastError");
  find(g_player.release, "pxtone_Release");
  find(g_player.tuneLoad, "pxtone_Tune_Load");
  find(g_player.tuneRelease, "pxtone_Tune_Release");
  find(g_player.tuneStart, "pxtone_Tune_Start");
  find(g_player.tuneFadeout, "pxtone_Tune_Fadeout");
  find(g_player.tuneSetVolume, "pxtone_Tune_SetVolume");
  find(g_player.tuneStop, "pxtone_Tune_Stop");
  find(g_player.tuneIsStreaming, "pxtone_Tune_IsStreaming");
  find(g_player.tuneSetLoop, "pxtone_Tune_SetLoop");
  return 1;
}

// Once the library is unloaded its functions are gone: the wrappers must
// not jump into freed memory, so they return 0 until the next LoadDLL.
__declspec(dllexport) int32_t __stdcall FreeDLL() {
  if (!g_player.module) return 0;
  const BOOL freed = FreeLibrary(g_player.module);
  g_player = Player{};
  return freed;
}

__declspec(dllexport) int32_t __stdcall wrap_pxtone_Ready(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
  return g_player.ready ? g_player.ready(0, a, b, c, thousandths(d), e, 0) : 0;
}

__declspec(dllexport) int32_t __stdcall wrap_pxtone_Reset(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
  return g_player.reset ? g_player.reset(0, a, b, c, thousandths(d), e, 0) : 0;
}

__declspec(dllexport) int32_t __stdcall wrap_pxtone_GetLastError() {
  return g_player.getLastError ? g_player.getLastError() : 0;
}

__declspec(dllexport) int32_t __stdcall wrap_pxtone_Release() { return g_player.release ? g_player.release() : 0; }

__declspec(dllexport) int32_t __stdcall wrap_pxtone_Tune_Load(int32_t a) {
  return g_player.tuneLoad ? g_player.tuneLoad(0, 0, a) : 0;
}

__declspec(dllexport) int32_t __stdcall wrap_pxtone_Tune_Release() {
  return g_player.tuneRelease ? g_player.tuneRelease() : 0;
}

__declspec(dllexport) int32_t __stdcall wrap_pxtone_Tune_Start(int32_t a, int32_t b) {
  return g_player.tuneStart ? g_player.tuneStart(a, b) : 0;
}

__declspec(dllexport) int32_t __stdcall wrap_pxtone_Tune_Fadeout(int32_t a) {
  return g_player.tuneFadeout ? g_player.tuneFadeout(a) : 0;
}

__declspec(dllexport) int32_t __stdcall wrap_pxtone_Tune_SetVolume(int32_t v) {
  return g_player.tuneSetVolume ? g_player.tuneSetVolume(volume(v)) : 0;
}

__declspec(dllexport) int32_t __stdcall wrap_pxtone_Tune_Stop() { return g_player.tuneStop ? g_player.tuneStop() : 0; }

__declspec(dllexport) int32_t __stdcall wrap_pxtone_Tune_IsStreaming() {
  return g_player.tuneIsStreaming ? g_player.tuneIsStreaming() : 0;
}

__declspec(dllexport) int32_t __stdcall wrap_pxtone_Tune_SetLoop(int32_t a) {
  return g_player.tuneSetLoop ? g_player.tuneSetLoop(a) : 0;
}

}  // extern "C"
