// The op loop. Every operand read from the image is checked against the
// image and frame bounds first: an image is untrusted input, and a bad one
// ends with error 601 instead of reading out of bounds.
#include "engine/engine.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/errors.h"
#include "base/guard.h"
#include "base/runtime.h"
#include "engine/commands.h"
#include "engine/core_functions.h"
#include "engine/family.h"
#include "engine/exfunc.h"
#include "engine/frames.h"
#include "engine/image_access.h"
#include "engine/strings.h"

namespace qrt {

namespace {

// Results of the op loop run under the fault guard.
constexpr int kEnded = 0;     // program ended or stopped on a reported error
constexpr int kYielded = 1;   // a command handed control back to the host

// Calls a native block: EBX = frame, EAX = the block's own address. The
// block may change every general register but EBP and ESP, the flags and
// the x87 stack; it stores the next pc in slot 0 and returns.
inline void callNative(uint32_t* frame, uint8_t* code) {
  uint32_t a = reinterpret_cast<uint32_t>(code);
  uint32_t* b = frame;
  asm volatile("call *%%eax\n\tcld"
               : "+a"(a), "+b"(b)
               :
               : "ecx", "edx", "esi", "edi", "memory", "cc", "st", "st(1)", "st(2)", "st(3)", "st(4)",
                 "st(5)", "st(6)", "st(7)");
}

// Slot address of a string op's first operand (X or A), or nullptr.
uint32_t* firstOperand(EngineState& e, uint32_t* f, uint32_t mode, uint32_t n, uint32_t offset, bool isStatic) {
  auto slots = static_cast<uint32_t>(frameSlotCount(f));
  auto statics = static_cast<uint32_t>(e.staticSize);
  if (mode & 0x20) {
    if (isStatic) {
      uint32_t index = f[slot::kElement1] + offset;
      return index < statics ? e.staticFirst + index : nullptr;
    }
    if (n >= slots) return nullptr;
    uint32_t index = f[n] + offset;
    return index < slots ? f + index : nullptr;
  }
  if (isStatic) return n < statics ? e.staticFirst + n : nullptr;
  return n < slots ? f + n : nullptr;
}

uint32_t* secondOperand(EngineState& e, uint32_t* f, uint32_t mode, uint32_t m, bool isStatic) {
  auto slots = static_cast<uint32_t>(frameSlotCount(f));
  auto statics = static_cast<uint32_t>(e.staticSize);
  if (mode & 0x02) {
    if (isStatic) {
      uint32_t index = f[slot::kElement2];
      return index < statics ? e.staticFirst + index : nullptr;
    }
    if (m >= slots) return nullptr;
    uint32_t index = f[m];
    return index < slots ? f + index : nullptr;
  }
  if (isStatic) return m < statics ? e.staticFirst + m : nullptr;
  return m < slots ? f + m : nullptr;
}

void bindConstants(const EngineState& e, const RoutineInfo& r, uint32_t* frame) {
  const uint8_t* pairs = e.imageBase + r.constantPairs;
  for (int32_t i = 0; i < r.constantCount; ++i) {
    uint32_t s = readWord(pairs + 8 * i);
    uint32_t off = readWord(pairs + 8 * i + 4);
    frame[s] = reinterpret_cast<uint32_t>(e.imageBase + r.constantArea + off);
  }
}

// Op 6: the main frame, the static area and the main routine's constants.
bool enterMain(EngineState& e) {
  RoutineInfo* r = routineInfo(e, 0);
  if (!r) {
    raiseError(601);
    return false;
  }
  uint32_t* frame = allocateFrame(e.frames, r->slotCount);
  if (!frame) {
    raiseError(600);
    return false;
  }
  if (r->staticSize > 0) {
    auto* area = static_cast<uint32_t*>(calloc(static_cast<size_t>(r->staticSize), 4));
    if (!area) {
      freeFrame(e.frames, frame);
      raiseError(600);
      return false;
    }
    e.staticFirst = area;
    e.staticLast = area + r->staticSize - 1;
    e.staticSize = r->staticSize;
  } else {
    e.staticFirst = e.staticLast = nullptr;
    e.staticSize = 0;
  }
  bindConstants(e, *r, frame);
  frame[slot::kPc] = r->firstOp;
  frame[slot::kCaller] = 0;
  frame[slot::kResultSlot] = 0;
  frame[slot::kStatic] = reinterpret_cast<uint32_t>(e.staticFirst);
  frame[slot::kZero] = 0;
  frame[slot::kStrings] = 0;
  e.current = frame;
  return true;
}

// Op 1.
bool callFunction(EngineState& e, uint32_t* f, uint32_t pc) {
  uint32_t resultSlot = 0;
  RoutineInfo* r = checkCallOp(e, f, pc, &resultSlot);
  if (!r) return false;
  if (!r->paramSlotsInFrame) return fail601();
  auto k = static_cast<uint32_t>(r->paramCount);

  uint32_t* frame = allocateFrame(e.frames, r->slotCount);
  if (!frame) {
    raiseError(600);
    return false;
  }
  const uint8_t* pairs = e.imageBase + r->pairs;
  for (uint32_t j = 0; j < k; ++j) {
    uint32_t operand = wordAt(e, pc + 12 + 4 * j);
    frame[readWord(pairs + 8 * j)] = operand ? f[operand] : 0;
  }
  bindConstants(e, *r, frame);
  f[slot::kPc] = pc + 12 + 4 * k;
  frame[slot::kPc] = r->firstOp;
  frame[slot::kCaller] = reinterpret_cast<uint32_t>(f);
  frame[slot::kResultSlot] = resultSlot;
  frame[slot::kStatic] = f[slot::kStatic];
  frame[slot::kZero] = 0;
  frame[slot::kStrings] = 0;
  e.current = frame;
  return true;
}

// Ops 0 and 4 in a frame that has a caller.
bool returnToCaller(EngineState& e, uint32_t* f) {
  auto* caller = reinterpret_cast<uint32_t*>(f[slot::kCaller]);
  uint32_t s = f[slot::kResultSlot];
  uint32_t* dest = nullptr;
  if (s != 0) {
    if (s >= static_cast<uint32_t>(frameSlotCount(caller))) return fail601();
    dest = caller + s;
  }
  bool ok = releaseFrameStrings(e, f, caller, dest);
  freeFrame(e.frames, f);
  e.current = caller;
  if (!ok) raiseError(600);
  return ok;
}

bool stringOp(EngineState& e, uint32_t* f, uint32_t pc, uint8_t op) {
  uint32_t size = op == 9 ? 28 : 24;
  if (!fits(e, pc, size)) return fail601();
  uint32_t mode = wordAt(e, pc + 4) & 0xFF;
  if (!isStringOpMode(mode)) return fail601();
  uint32_t flags = wordAt(e, pc + size - 4);
  bool firstStatic = (flags & 0x80000000u) != 0, secondStatic = (flags & 0x40000000u) != 0;
  if ((firstStatic || secondStatic) && !e.staticFirst) return fail601();
  auto slots = static_cast<uint32_t>(frameSlotCount(f));

  if (op == 7) {
    uint32_t* x = firstOperand(e, f, mode, wordAt(e, pc + 8), wordAt(e, pc + 16), firstStatic);
    uint32_t* y = secondOperand(e, f, mode, wordAt(e, pc + 12), secondStatic);
    if (!x || !y) return fail601();
    // The destination, named or reached through an element index, must not
    // be one of the engine's own slots.
    if (!firstStatic && isReservedSlot(static_cast<uint32_t>(x - f))) return fail601();
    f[slot::kPc] = pc + 24;
    if (!storeString(e, f, x, reinterpret_cast<const StringObject*>(*y))) {
      raiseError(600);
      return false;
    }
    return true;
  }
  if (op == 8) {
    uint32_t* a = firstOperand(e, f, mode, wordAt(e, pc + 8), 0, firstStatic);
    uint32_t* b = secondOperand(e, f, mode, wordAt(e, pc + 12), secondStatic);
    uint32_t c = wordAt(e, pc + 16);
    if (!a || !b || c >= slots || isReservedSlot(c)) return fail601();
    f[slot::kPc] = pc + 24;
    return joinStrings(e, f, f + c, reinterpret_cast<const StringObject*>(*a),
                       reinterpret_cast<const StringObject*>(*b));
  }
  uint32_t code = wordAt(e, pc + 8) & 0xFF;
  uint32_t* a = firstOperand(e, f, mode, wordAt(e, pc + 12), 0, firstStatic);
  uint32_t* b = secondOperand(e, f, mode, wordAt(e, pc + 16), secondStatic);
  uint32_t r = wordAt(e, pc + 20);
  if (!a || !b || r >= slots || isReservedSlot(r) || code < 0x2A || code > 0x30) return fail601();
  bool emptyA = isEmptyString(*a), emptyB = isEmptyString(*b);
  int order;
  if (emptyA || emptyB)
    order = emptyA == emptyB ? 0 : (emptyA ? -1 : 1);
  else
    order = compareText932(textOf(*a), textOf(*b));
  bool holds;
  switch (code) {
    case 0x2A: holds = order > 0; break;
    case 0x2B: holds = order < 0; break;
    case 0x2C: holds = order >= 0; break;
    case 0x2D: holds = order <= 0; break;
    case 0x2E: holds = order != 0; break;
    case 0x30: holds = order == 0; break;
    default:  // '/': never holds; only written when both are non-empty
      if (!emptyA && !emptyB) f[r] = 0;
      f[slot::kPc] = pc + 28;
      return true;
  }
  f[r] = holds ? 0xFFFFFFFFu : 0;
  f[slot::kPc] = pc + 28;
  return true;
}

int runOpsUnchecked(EngineState& e) {
  uint8_t* const base = e.imageBase;
  const uint32_t limit = e.imageSize - 4;  // last position where an op word fits
  for (;;) {
    uint32_t* f = e.current;
    uint32_t pc = f[slot::kPc];
    if (pc > limit) {
      fail601();
      return kEnded;
    }
    switch (base[pc]) {
      case 2:  // native blocks, back to back without leaving this frame
        do {
          if (pc + 4 >= e.imageSize) {
            fail601();
            return kEnded;
          }
          callNative(f, base + pc + 4);
          pc = f[slot::kPc];
          if (pc > limit) {
            fail601();
            return kEnded;
          }
        } while (base[pc] == 2);
        continue;
      case 3:  // built-in command
        if (!dispatchBuiltIn(e)) return kEnded;
        if (e.yieldRequested) {
          e.yieldRequested = false;
          g_host.rt.resume.imageBase = base;
          g_host.rt.resume.frame = e.current;
          return kYielded;
        }
        continue;
      case 1:
        if (!callFunction(e, f, pc)) return kEnded;
        continue;
      case 0:
      case 4:
        // A return without a caller ends the program, as the end op does.
        if (!f[slot::kCaller]) return kEnded;
        if (!returnToCaller(e, f)) return kEnded;
        continue;
      case 7:
      case 8:
      case 9:
        if (!stringOp(e, f, pc, base[pc])) return kEnded;
        continue;
      case 10:
        if (!callExternal(e, f, pc)) return kEnded;
        continue;
      case 6:
        // Only the engine's own bootstrap enters the main routine.
      default:  // 5 and above 10
        raiseError(601);
        return kEnded;
    }
  }
}

// Entered from the fault guard, which no C++ exception can cross: one that
// reaches here (memory for the routine cache, say) ends the program with
// its box instead of ending the process.
int runOps(void* context) {
  EngineState& e = *static_cast<EngineState*>(context);
  try {
    return runOpsUnchecked(e);
  } catch (const std::bad_alloc&) {
    raiseError(600);
  } catch (...) {
    raiseError(601);
  }
  return kEnded;
}

// Says in the debug output where a fault turned into box 601, so that a
// player's report can locate it.
void reportFault(const EngineState& e) {
  const GuardedFault fault = lastGuardedFault();
  const uint32_t pc = e.current ? e.current[slot::kPc] : 0;
  const char* command = e.currentCommand > 0 && e.currentCommand < kCommandCount
                            ? kCommands[e.currentCommand].name
                            : "-";
  wchar_t text[200];
  swprintf(text, 200, L"qrtrun: fault %08lX at %08lX; command %hs; op at image offset %08lX\n",
           static_cast<unsigned long>(fault.code), static_cast<unsigned long>(fault.address), command,
           static_cast<unsigned long>(pc));
  OutputDebugStringW(text);
}

int releaseFrames(void* context) {
  EngineState& e = *static_cast<EngineState*>(context);
  for (uint32_t* f = e.current; f;) {
    auto* caller = reinterpret_cast<uint32_t*>(f[slot::kCaller]);
    releaseFrameStrings(e, f, nullptr, nullptr);
    freeFrame(e.frames, f);
    f = caller;
  }
  e.current = nullptr;
  return 0;
}


}  // namespace

bool fail601() {
  raiseError(601);
  return false;
}

static EngineState* createEngineState() {
  auto* e = new (std::nothrow) EngineState();
  if (!e) return nullptr;
  e->frames = createFramePool();
  if (!e->frames) {
    delete e;
    return nullptr;
  }
  return e;
}

static void releaseEngineState(EngineState* e) {
  if (!e) return;
  // Frames, the static area and the ring live until the process ends in a
  // shipped game; releasing them here keeps in-process runs clean. A native
  // block may have left anything in a frame's own slots: the walk runs
  // under the guard, so a bad link ends in the internal-error box.
  if (qrt_guarded_call(releaseFrames, e) < 0) {
    reportFault(*e);
    raiseError(601);
  }
  // Static strings live as long as the process; native code may have
  // copied their addresses anywhere, so they are not freed one by one.
  free(e->staticFirst);
  for (StringObject*& t : e->ring) free(t);
  for (uintptr_t block : e->arrays) free(reinterpret_cast<void*>(block));
  releaseFramePool(e->frames);
  delete e;
}

namespace {

EngineState* g_engine = nullptr;

void createEngine() {
  if (!g_engine) g_engine = createEngineState();
}

void releaseEngine() {
  EngineState* e = g_engine;
  g_engine = nullptr;
  releaseEngineState(e);
}

}  // namespace

EngineState* engineState() { return g_engine; }

Family engineFamily() { return {"engine", createEngine, releaseEngine, nullptr, nullptr, coreCommands()}; }

void engineAttachImage(EngineState& e, uint8_t* imageBase, uint32_t imageSize) {
  e.imageBase = imageBase;
  e.imageSize = imageSize;
  e.routines.clear();
  e.running = 1;
}

bool engineStep(EngineState& e) {
  if (!e.running) return false;
  if (!e.started) {
    ShowWindow(g_host.window, SW_SHOW);
    e.started = 1;
    if (e.imageSize < 8) raiseError(601);  // not even a routine table
    if (e.imageSize < 8 || !enterMain(e)) {
      e.running = 0;
      return false;
    }
  } else {
    if (!g_host.rt.resume.imageBase) return true;
    e.current = g_host.rt.resume.frame;
  }
  e.inStep = true;
  int result = qrt_guarded_call(runOps, &e);
  e.inStep = false;
  if (result == kYielded) return true;
  if (result < 0) {  // a fault inside program code or a command
    reportFault(e);
    raiseError(601);
  }
  e.running = 0;
  return false;
}

}  // namespace qrt
