#include "base/guard.h"

#include <windows.h>

extern "C" void qrt_fault_landing();

namespace {
qrt::GuardedFault g_lastFault{};

// What the delay-load helper raises when a late-loaded DLL or one of its
// functions cannot be had.
constexpr DWORD kDelayLoadModuleMissing = 0xC06D007E;
constexpr DWORD kDelayLoadFunctionMissing = 0xC06D007F;

}  // namespace

// Frame-based handler: runs only when nothing inside the guarded code
// handled the exception itself.
extern "C" EXCEPTION_DISPOSITION __cdecl qrt_fault_handler(EXCEPTION_RECORD* record, void* establisher,
                                                           CONTEXT* context, void*) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
  if (!qrt::isFaultCode(record->ExceptionCode)) return ExceptionContinueSearch;
  g_lastFault.code = record->ExceptionCode;
  g_lastFault.address = reinterpret_cast<uint32_t>(record->ExceptionAddress);
  context->Esp = reinterpret_cast<DWORD>(establisher);
  context->Eip = reinterpret_cast<DWORD>(&qrt_fault_landing);
  return ExceptionContinueExecution;
}

namespace qrt {
bool isFaultCode(uint32_t code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_BREAKPOINT:
    case kDelayLoadModuleMissing:
    case kDelayLoadFunctionMissing:
      return true;
    default:
      return false;
  }
}

GuardedFault lastGuardedFault() { return g_lastFault; }
}  // namespace qrt
