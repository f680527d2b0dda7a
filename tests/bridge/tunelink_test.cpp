// The bridge DLL as games use it: loaded by EXFUNC or by hand, forwarding
// each call to the tune player in the current folder with its arguments
// converted, and never calling into a player that is missing or unloaded.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/cp932.h"
#include "tests/e2e/harness.h"
#include "tests/support/program.h"
#include "image/image_builder.h"

extern "C" uint32_t stackLeftBy(void* fn, const uint32_t* args, int count, uint32_t* result);

namespace {

using qrt::e2e::hostFile;

HMODULE bridge() {
  static HMODULE m = LoadLibraryW(hostFile(QRT_TUNELINK_DLL).c_str());
  return m;
}

// Calls an export with 32-bit arguments; fails the test if the export left
// any of them on the stack.
int32_t call(const char* name, std::vector<uint32_t> args = {}) {
  void* fn = reinterpret_cast<void*>(GetProcAddress(bridge(), name));
  if (!fn) {
    ADD_FAILURE() << name << " is not exported";
    return 0;
  }
  uint32_t result = 0;
  EXPECT_EQ(stackLeftBy(fn, args.data(), static_cast<int>(args.size()), &result), 0u) << name << " leaves arguments";
  return static_cast<int32_t>(result);
}

void enterFolder(const std::string& kind) {
  const std::string path = std::string(QRT_PLAYERS_DIR) + (kind.empty() ? "" : "/" + kind);
  ASSERT_TRUE(SetCurrentDirectoryW(hostFile(path).c_str()));
}

// The stand-in player's own record of the calls it received.
struct Recorded {
  char name[32];
  uint32_t args[8];
  int count;
};

class Player {
 public:
  // Holds the player loaded, so that its record can be read after the bridge
  // freed it.
  Player() : module_(LoadLibraryW(L"./pxtone.dll")) {}
  ~Player() {
    if (module_) FreeLibrary(module_);
  }
  explicit operator bool() const { return module_ != nullptr; }
  void answer(int32_t value) { fn<void(__cdecl*)(int32_t)>("standIn_SetResult")(value); }
  void clear() { fn<void(__cdecl*)()>("standIn_Clear")(); }
  int calls() { return fn<int(__cdecl*)()>("standIn_CallCount")(); }
  const Recorded& at(int i) { return *fn<const Recorded*(__cdecl*)(int)>("standIn_Call")(i); }
  std::vector<uint32_t> args(int i) {
    const Recorded& r = at(i);
    return std::vector<uint32_t>(r.args, r.args + r.count);
  }

 private:
  template <typename F>
  F fn(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }
  HMODULE module_;
};

const char* const kWrappers[] = {
    "wrap_pxtone_Ready",      "wrap_pxtone_Reset",          "wrap_pxtone_GetLastError", "wrap_pxtone_Release",
    "wrap_pxtone_Tune_Load",  "wrap_pxtone_Tune_Release",   "wrap_pxtone_Tune_Start",   "wrap_pxtone_Tune_Fadeout",
    "wrap_pxtone_Tune_SetVolume", "wrap_pxtone_Tune_Stop",  "wrap_pxtone_Tune_IsStreaming", "wrap_pxtone_Tune_SetLoop",
};
const int kArgumentCounts[] = {5, 5, 0, 0, 1, 0, 2, 1, 1, 0, 0, 1};

void everyWrapperGivesZero() {
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(call(kWrappers[i], std::vector<uint32_t>(kArgumentCounts[i], 7)), 0) << kWrappers[i];
}

// Runs first: nothing is loaded yet in this process.
TEST(Bridge, WithoutAPlayerEveryWrapperIsZero) {
  ASSERT_NE(bridge(), nullptr);
  everyWrapperGivesZero();
  EXPECT_EQ(call("FreeDLL"), 0);
  enterFolder("");   // no pxtone.dll here
  EXPECT_EQ(call("LoadDLL"), 0);
  everyWrapperGivesZero();
}

TEST(Bridge, EachWrapperForwardsItsArgumentsConvertedAndItsResultWhole) {
  enterFolder("whole");
  Player player;
  ASSERT_TRUE(player);
  ASSERT_EQ(call("LoadDLL"), 1);
  player.clear();
  player.answer(0x7BCD1234);
  EXPECT_EQ(call("wrap_pxtone_Ready", {2, 44100, 16, 100, 1}), 0x7BCD1234);
  EXPECT_EQ(call("wrap_pxtone_Reset", {1, 22050, 8, 500, 0x80000000u}), 0x7BCD1234);
  EXPECT_EQ(call("wrap_pxtone_Tune_Load", {0xCAFE}), 0x7BCD1234);
  EXPECT_EQ(call("wrap_pxtone_Tune_Start", {11, 22}), 0x7BCD1234);
  EXPECT_EQ(call("wrap_pxtone_Tune_Fadeout", {33}), 0x7BCD1234);
  EXPECT_EQ(call("wrap_pxtone_Tune_SetLoop", {44}), 0x7BCD1234);
  for (uint32_t v : {255u, 0u, 128u}) call("wrap_pxtone_Tune_SetVolume", {v});
  player.answer(-2);
  for (const char* name : {"wrap_pxtone_GetLastError", "wrap_pxtone_Release", "wrap_pxtone_Tune_Release",
                           "wrap_pxtone_Tune_Stop", "wrap_pxtone_Tune_IsStreaming"})
    EXPECT_EQ(call(name), -2) << name;

  const std::vector<std::vector<uint32_t>> want = {
      {0, 2, 44100, 16, 0x3DCCCCCD, 1, 0},           // 100 thousandths: 0.1f
      {0, 1, 22050, 8, 0x3F000000, 0x80000000u, 0},  // 0.5f
      {0, 0, 0xCAFE}, {11, 22}, {33}, {44},
      {0x3F800000}, {0}, {0x3F008081},               // 1.0, 0.0, 128/255
      {}, {}, {}, {}, {},
  };
  const char* const names[] = {"Ready", "Reset", "Tune_Load", "Tune_Start", "Tune_Fadeout", "Tune_SetLoop",
                               "Tune_SetVolume", "Tune_SetVolume", "Tune_SetVolume", "GetLastError", "Release",
                               "Tune_Release", "Tune_Stop", "Tune_IsStreaming"};
  ASSERT_EQ(player.calls(), static_cast<int>(want.size()));
  for (int i = 0; i < player.calls(); ++i) {
    EXPECT_STREQ(player.at(i).name, names[i]);
    EXPECT_EQ(player.args(i), want[i]) << names[i];
  }

  // Freed, the player is never called again (it stays in memory here only
  // because this test holds it).
  EXPECT_NE(call("FreeDLL"), 0);
  player.clear();
  everyWrapperGivesZero();
  EXPECT_EQ(player.calls(), 0);
}

TEST(Bridge, NamesThePlayerLacksGiveZeroAndTheRestStillWork) {
  enterFolder("partial");
  Player player;
  ASSERT_TRUE(player);
  ASSERT_EQ(call("LoadDLL"), 1);
  player.clear();
  player.answer(9);
  EXPECT_EQ(call("wrap_pxtone_Tune_Stop"), 0);
  EXPECT_EQ(call("wrap_pxtone_Tune_IsStreaming"), 0);
  EXPECT_EQ(call("wrap_pxtone_Tune_SetLoop", {1}), 0);
  EXPECT_EQ(call("wrap_pxtone_Tune_Start", {1, 2}), 9);
  EXPECT_EQ(player.calls(), 1);
  EXPECT_NE(call("FreeDLL"), 0);
}

// Loading twice and freeing once unloads the player: the bridge holds one
// reference, whatever the number of loads.
TEST(Bridge, OneFreeAfterTwoLoadsUnloadsThePlayer) {
  enterFolder("partial");
  ASSERT_EQ(call("LoadDLL"), 1);
  ASSERT_EQ(call("LoadDLL"), 1);
  EXPECT_NE(GetModuleHandleA("pxtone.dll"), nullptr);
  EXPECT_NE(call("FreeDLL"), 0);
  EXPECT_EQ(GetModuleHandleA("pxtone.dll"), nullptr);
}

// A game declares the exports with EXFUNC; the runtime pushes its operands
// in order, so the exports' first parameter receives the last operand.
TEST(Bridge, AGameCallsItThroughExfunc) {
  enterFolder("whole");
  Player player;
  ASSERT_TRUE(player);
  using namespace qrt::img;
  const std::string dll = qrt::narrow932(hostFile(QRT_TUNELINK_DLL).c_str());
  ImageBuilder b;
  Routine& m = b.main();
  const int load = b.exfunc(dll, "LoadDLL", Int, {});
  const int start = b.exfunc(dll, "wrap_pxtone_Tune_Start", Int, {Int, Int});
  const int volume = b.exfunc(dll, "wrap_pxtone_Tune_SetVolume", Int, {Int});
  const int release = b.exfunc(dll, "FreeDLL", Int, {});
  const int loaded = m.slot(), started = m.slot(), set = m.slot(), freed = m.slot();
  const int first = m.slot(), second = m.slot(), half = m.slot();
  m.native([&](X86& x) {
    x.storeImm(first, 5);
    x.storeImm(second, 6);
    x.storeImm(half, 128);
    x.next();
  });
  m.exfuncCall(load, loaded);
  m.exfuncCall(start, started, {second, first});
  m.exfuncCall(volume, set, {half});
  m.exfuncCall(release, freed);
  m.end();
  player.clear();
  player.answer(77);
  qrt::test::Program p(b.build());
  p.runToEnd();
  EXPECT_TRUE(p.boxes().empty());
  EXPECT_EQ(p.slot(loaded), 1u);
  EXPECT_EQ(p.slot(started), 77u);
  EXPECT_EQ(p.slot(set), 77u);
  EXPECT_NE(p.slot(freed), 0u);
  ASSERT_EQ(player.calls(), 2);
  EXPECT_EQ(player.args(0), (std::vector<uint32_t>{5, 6}));
  EXPECT_EQ(player.args(1), (std::vector<uint32_t>{0x3F008081}));
}

}  // namespace
