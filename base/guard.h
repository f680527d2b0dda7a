// Faults inside program code (native blocks, outside DLL functions) must end
// the program with an error box, not the system's crash dialog. The engine
// runs its op loop under a structured-exception frame of its own; a fault
// unwinds straight back to the guard, which reports it.
#pragma once
#include <cstdint>

extern "C" {
// Calls fn(arg) under the guard. Returns fn's result, or -1 after a fault.
int qrt_guarded_call(int (*fn)(void*), void* arg);
// Calls an exported function with `count` 32-bit arguments (args[0] is its
// first parameter). Restores the stack pointer afterwards, so that both
// callee-cleans and caller-cleans functions are safe, and empties the x87
// stack a function returning a real leaves behind.
uint32_t qrt_call_exported(void* fn, const uint32_t* args, int count);
}

namespace qrt {
struct GuardedFault {
  uint32_t code = 0;      // the exception code
  uint32_t address = 0;   // where it happened
};
// The last fault caught by the guard.
GuardedFault lastGuardedFault();
// Whether an exception code is one the guard turns into the internal-error
// box: access violations, bad instructions, arithmetic faults, a stack
// overflow, a late-loaded DLL or function missing.
bool isFaultCode(uint32_t code);
}
