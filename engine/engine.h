// The execution engine: steps the op stream of a program image in place,
// calls native blocks, manages frames, strings and the static area, calls
// EXFUNC functions and dispatches built-in commands.
#pragma once
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "base/clock.h"
#include "engine/string_object.h"

namespace qrt {

constexpr int kReservedSlots = 9;
constexpr int kRingSize = 10;

// Frame slots 0..8.
namespace slot {
constexpr int kPc = 0, kCaller = 1, kResultSlot = 2, kStatic = 3, kZero = 4,
              kStrings = 5, kElement1 = 6, kElement2 = 7, kResult = 8;
}

// The dispatcher's argument block: the op's result slot, then eight
// argument slots in signature order.
struct ParamBlock {
  int32_t resultSlot;
  uint32_t arg[8];
};

// A routine descriptor, validated once against the image and kept.
struct RoutineInfo {
  bool checked = false;
  bool valid = false;
  bool paramSlotsInFrame = true;  // FUNC parameter pairs name slots of its frame
  uint32_t descriptor = 0;        // offset of the descriptor
  int32_t slotCount = 0;
  int32_t staticSize = 0;         // main routine only
  int32_t paramCount = 0;
  uint32_t pairs = 0;             // offset of the first {slot, type} pair
  int32_t constantCount = 0;
  uint32_t constantPairs = 0;     // offset of the first {slot, offset} pair
  uint32_t constantArea = 0;
  uint32_t firstOp = 0;
  int32_t dllNameSlot = 0, functionNameSlot = 0;  // EXFUNC
  void* function = nullptr;                        // EXFUNC, once resolved
};

struct FramePool;

struct EngineState {
  uint8_t running = 0;
  uint8_t* imageBase = nullptr;
  uint32_t imageSize = 0;           // bytes from the image base to the end of the buffer
  ParamBlock params{};
  StringObject* ring[kRingSize] = {};
  int ringNext = 0;
  uint32_t* staticFirst = nullptr;  // the static area's first slot
  uint32_t* staticLast = nullptr;   // its last slot
  int32_t staticSize = 0;
  uint8_t started = 0;

  // Interpreter internals.
  uint32_t* current = nullptr;      // current frame (slot 0)
  bool yieldRequested = false;      // set by a command that hands control back
  bool exitRequested = false;       // set by SYSEXIT
  bool inStep = false;              // inside engineStep: the record must not go away
  int currentCommand = 0;           // id of the command being dispatched
  std::vector<RoutineInfo> routines;
  FramePool* frames = nullptr;

  // The core functions' own state: the random generator (a 15-bit draw
  // from a 32-bit state) and the blocks REDIM handed out, so that REDIMFREE
  // never frees an address it did not make, nor one twice.
  uint32_t randomState = 1;
  std::unordered_set<uintptr_t> arrays;
  TimerCapabilities timer;          // raised by the first SYSTIME

  // Counters for diagnostics and tests.
  int64_t liveStrings = 0;          // run-time string objects currently allocated
  int64_t stringAllocations = 0;    // string blocks allocated or resized so far
};

// The engine's state record (Part of the engine family, engine/family.h):
// nullptr before start-up, after shutdown, or when it could not be made.
EngineState* engineState();
struct Family;
Family engineFamily();

// Points the engine at an image (the host calls this after start-up) and
// sets the running flag.
void engineAttachImage(EngineState& e, uint8_t* imageBase, uint32_t imageSize);

// Runs ops until a command yields (true), the program ends or an error
// stops it (false).
bool engineStep(EngineState& e);

// Command id for a temporary taken outside any command (the caller reports).
constexpr int kNoCommand = -1;

// A ring temporary with room for `length` bytes (NUL included); on failure
// raises error 620 naming the command and returns nullptr.
StringObject* takeTemporary(EngineState& e, uint32_t length, int commandId);
// A ring temporary holding a copy of `text` (length bytes, no NUL needed).
StringObject* temporaryText(EngineState& e, const char* text, uint32_t length, int commandId);

// Frame slot count, kept in front of slot 0 by the frame pool.
inline int32_t frameSlotCount(const uint32_t* frame) { return static_cast<int32_t>(frame[-1]); }

// String comparison of the compare op: byte order with double-byte cp932
// characters kept whole; <0, 0, >0.
int compareText932(const char* a, const char* b);

}  // namespace qrt
