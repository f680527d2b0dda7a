// The core built-ins. Each reads its arguments from the parameter block in
// signature order and returns one 32-bit value; string results live in the
// engine's temporary ring. Texts are cp932 bytes: nothing here consults the
// machine's locale or code page.
#include "engine/core_functions.h"

#include <windows.h>
#include <mmsystem.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <unordered_set>

#include "engine/engine.h"
#include "host/errors.h"
#include "host/runtime.h"
#include "system/timer_ime.h"

namespace qrt {

namespace {

// Degrees and radians convert with this value rather than full-precision
// pi, so that results agree with what games were tuned against.
constexpr double kPi = 3.1415926535;

// The x87 unit keeps intermediates wider than a double; every step of a
// real computation is rounded to double so that results do not depend on
// what the compiler left in registers.
double exact(double v) {
  volatile double rounded = v;
  return rounded;
}

int32_t intArg(const EngineState& e, int i) { return static_cast<int32_t>(e.params.arg[i]); }
double realArg(const EngineState& e, int i) { return std::bit_cast<float>(e.params.arg[i]); }

int32_t realResult(double v) { return std::bit_cast<int32_t>(static_cast<float>(exact(v))); }

int32_t stringResult(const StringObject* s) {
  return static_cast<int32_t>(reinterpret_cast<uintptr_t>(s));
}

// Sets a temporary's text to `length` bytes already in place, NUL-terminated.
StringObject* finishText(StringObject* t, size_t length) {
  t->text()[length] = '\0';
  t->length = static_cast<int32_t>(length + 1);
  return t;
}

// The text of a string argument, safe to read after taking a temporary: if
// the argument is itself the ring entry the next take will reuse (and may
// resize), its text is copied first.
const char* stableText(const EngineState& e, uint32_t slot, std::string& keep) {
  if (slot != 0 && reinterpret_cast<StringObject*>(slot) == e.ring[e.ringNext]) {
    keep.assign(textOf(slot));
    return keep.c_str();
  }
  return textOf(slot);
}

// The runtime library's generator: a 15-bit draw from a 32-bit state.
struct RandomGenerator {
  uint32_t state = 1;
  int32_t next() {
    state = state * 214013u + 2531011u;
    return static_cast<int32_t>((state >> 16) & 0x7fff);
  }
};
RandomGenerator g_random;

// Blocks handed out by REDIM, so that REDIMFREE never frees an address it
// did not make, nor one twice.
std::unordered_set<uintptr_t> g_arrays;

}  // namespace

// ---------------------------------------------------------------- numbers

int32_t cmdAbs(EngineState& e) {
  const uint32_t n = e.params.arg[0];
  // Two's complement: the most negative integer stays itself.
  return static_cast<int32_t>(static_cast<int32_t>(n) < 0 ? 0u - n : n);
}

int32_t cmdAbsF(EngineState& e) { return static_cast<int32_t>(e.params.arg[0] & 0x7fffffffu); }

int32_t cmdSgn(EngineState& e) {
  const int32_t n = intArg(e, 0);
  return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

int32_t cmdSgnF(EngineState& e) {
  const double x = realArg(e, 0);
  return x < 0 ? -1 : (x > 0 ? 1 : 0);
}

int32_t cmdMax(EngineState& e) {
  const int32_t a = intArg(e, 0), b = intArg(e, 1);
  return b < a ? a : b;
}

int32_t cmdMin(EngineState& e) {
  const int32_t a = intArg(e, 0), b = intArg(e, 1);
  return a < b ? a : b;
}

// The real twins hand back the chosen argument's own bits.
int32_t cmdMaxF(EngineState& e) {
  return realArg(e, 1) < realArg(e, 0) ? intArg(e, 0) : intArg(e, 1);
}

int32_t cmdMinF(EngineState& e) {
  return realArg(e, 1) > realArg(e, 0) ? intArg(e, 0) : intArg(e, 1);
}

int32_t cmdPow(EngineState& e) { return realResult(std::pow(realArg(e, 0), realArg(e, 1))); }
int32_t cmdExp(EngineState& e) { return realResult(std::exp(realArg(e, 0))); }
int32_t cmdLog(EngineState& e) { return realResult(std::log(realArg(e, 0))); }
int32_t cmdLog10(EngineState& e) { return realResult(std::log10(realArg(e, 0))); }
int32_t cmdSqrt(EngineState& e) { return realResult(std::sqrt(realArg(e, 0))); }

namespace {
double radians(double degrees) { return exact(exact(degrees * kPi) / 180.0); }
double degrees(double radians) { return exact(exact(radians * 180.0) / kPi); }
}  // namespace

int32_t cmdSin(EngineState& e) { return realResult(std::sin(radians(realArg(e, 0)))); }
int32_t cmdCos(EngineState& e) { return realResult(std::cos(radians(realArg(e, 0)))); }
int32_t cmdTan(EngineState& e) { return realResult(std::tan(radians(realArg(e, 0)))); }
int32_t cmdAsin(EngineState& e) { return realResult(degrees(exact(std::asin(realArg(e, 0))))); }
int32_t cmdAcos(EngineState& e) { return realResult(degrees(exact(std::acos(realArg(e, 0))))); }
int32_t cmdAtan(EngineState& e) { return realResult(degrees(exact(std::atan(realArg(e, 0))))); }

// ---------------------------------------------------------- random numbers

int32_t cmdRand(EngineState&) { return g_random.next(); }

int32_t cmdRandF(EngineState&) { return realResult(g_random.next() / 32767.0); }

int32_t cmdRandSet(EngineState& e) {
  const uint32_t seed = e.params.arg[0];
  g_random.state = seed != 0 ? seed : static_cast<uint32_t>(std::time(nullptr));
  return 1;
}

// ----------------------------------------------------------------- strings

int32_t cmdLeng(EngineState& e) {
  return static_cast<int32_t>(std::strlen(textOf(e.params.arg[0])));
}

int32_t cmdMid(EngineState& e) {
  const uint32_t s = e.params.arg[0];
  if (s == 0) return 0;  // no string: the result check ends the program
  std::string keep;
  const char* text = stableText(e, s, keep);
  const int64_t length = static_cast<int64_t>(std::strlen(text));
  const int64_t start = intArg(e, 1);
  int64_t count = intArg(e, 2);
  StringObject* t = takeTemporary(e, static_cast<uint32_t>(length + 1), e.currentCommand);
  if (!t) return 0;
  // Byte-based: a double-byte character may be cut in half.
  if (count <= 0 || start < 1 || length == 0 || start > length) return stringResult(finishText(t, 0));
  if (start + count - 1 > length) count = length - start + 1;
  std::memcpy(t->text(), text + (start - 1), static_cast<size_t>(count));
  return stringResult(finishText(t, static_cast<size_t>(count)));
}

int32_t cmdLSet(EngineState& e) {
  const uint32_t s = e.params.arg[0];
  // A negative width would make the field's size meaningless; it is an
  // empty field instead.
  const int32_t width = intArg(e, 1) < 0 ? 0 : intArg(e, 1);
  std::string keep;
  const char* text = stableText(e, s, keep);
  StringObject* t = takeTemporary(e, static_cast<uint32_t>(width) + 1, e.currentCommand);
  if (!t) return 0;  // the program goes on with no string
  std::memset(t->text(), ' ', static_cast<size_t>(width));
  if (s == 0) return stringResult(finishText(t, static_cast<size_t>(width)));
  const size_t length = std::strlen(text);
  // A shorter text is not padded: the result is the text as it stands.
  const size_t kept = length < static_cast<size_t>(width) ? length : static_cast<size_t>(width);
  std::memcpy(t->text(), text, kept);
  return stringResult(finishText(t, kept));
}

int32_t cmdChr(EngineState& e) {
  const int32_t n = intArg(e, 0);
  if (n < 0 || n > 255) {
    raiseCommandError(660, e.currentCommand);
    return 0;
  }
  StringObject* t = takeTemporary(e, 2, e.currentCommand);
  if (!t) return 0;
  // CHR(0) keeps its length of 2 although its text reads as empty.
  t->text()[0] = static_cast<char>(n);
  t->text()[1] = '\0';
  t->length = 2;
  return stringResult(t);
}

int32_t cmdAsc(EngineState& e) {
  const uint32_t s = e.params.arg[0];
  if (isEmptyString(s)) {
    raiseCommandError(660, e.currentCommand);
    return 0;  // not the failure value: the program goes on
  }
  return static_cast<unsigned char>(textOf(s)[0]);
}

int32_t cmdStr(EngineState& e) {
  const int32_t n = intArg(e, 0);
  int32_t base = intArg(e, 1);
  if (base == 0) base = 10;
  if (base < 2 || base > 36) {
    // No digits exist for such a base; refuse it rather than write garbage.
    raiseCommandError(660, e.currentCommand);
    return 0;
  }
  // Only base 10 is signed; other bases show the 32 bits unsigned.
  const bool negative = base == 10 && n < 0;
  uint32_t value = negative ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
  char digits[40];
  int used = 0;
  do {
    const uint32_t d = value % static_cast<uint32_t>(base);
    digits[used++] = static_cast<char>(d < 10 ? '0' + d : 'a' + (d - 10));
    value /= static_cast<uint32_t>(base);
  } while (value != 0);
  StringObject* t = takeTemporary(e, 128, e.currentCommand);
  if (!t) return 0;
  char* out = t->text();
  size_t length = 0;
  if (negative) out[length++] = '-';
  while (used > 0) out[length++] = digits[--used];
  return stringResult(finishText(t, length));
}

int32_t cmdStrF(EngineState& e) {
  const double x = realArg(e, 0);  // the second argument is not used
  StringObject* t = takeTemporary(e, 128, e.currentCommand);
  if (!t) return 0;
  const int written = std::snprintf(t->text(), 128, "%f", x);
  const size_t length = written < 0 ? 0 : (written > 127 ? 127 : static_cast<size_t>(written));
  return stringResult(finishText(t, length));
}

namespace {
bool isBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
}  // namespace

int32_t cmdAtoi(EngineState& e) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(textOf(e.params.arg[0]));
  while (isBlank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // Out-of-range numbers saturate, as the C library's conversions do.
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > 2147483648LL) value = 2147483648LL;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) value = 2147483647LL;
  return static_cast<int32_t>(value);
}

int32_t cmdAtof(EngineState& e) {
  const char* p = textOf(e.params.arg[0]);
  while (isBlank(static_cast<unsigned char>(*p))) ++p;
  return realResult(std::strtod(p, nullptr));
}

// -------------------------------------------------------------------- time

int32_t cmdGetDate(EngineState& e) {
  SYSTEMTIME t;
  if (intArg(e, 1) != 0)
    GetLocalTime(&t);
  else
    GetSystemTime(&t);
  switch (intArg(e, 0)) {
    case 0: return t.wYear;
    case 1: return t.wMonth;
    case 2: return t.wDayOfWeek;
    case 3: return t.wDay;
    case 4: return t.wHour;
    case 5: return t.wMinute;
    case 6: return t.wSecond;
    case 7: return t.wMilliseconds;
    default: return 0;
  }
}

int32_t cmdSysTime(EngineState&) {
  // Millisecond readings need the finest timer the system offers; it is
  // raised once, on the first successful query, and kept for the process.
  TimerImeRecord* timer = g_host.timerIme;
  if (timer && timer->periodMin == -1) {
    TIMECAPS caps;
    if (timeGetDevCaps(&caps, sizeof caps) == MMSYSERR_NOERROR) {
      timer->periodMin = static_cast<int32_t>(caps.wPeriodMin);
      timer->periodMax = static_cast<int32_t>(caps.wPeriodMax);
      const UINT atLeastOne = caps.wPeriodMin > 1 ? caps.wPeriodMin : 1;
      timeBeginPeriod(atLeastOne < caps.wPeriodMax ? atLeastOne : caps.wPeriodMax);
    }
  }
  return static_cast<int32_t>(timeGetTime());
}

// ------------------------------------------------------------------ arrays

int32_t cmdRedim(EngineState& e) {
  const int32_t count = intArg(e, 0);
  if (count < 0) return 0;
  // An array of no elements still gets its own block, so that its address
  // is distinct and can be freed.
  void* block = std::calloc(count > 0 ? static_cast<size_t>(count) : 1, 4);
  if (!block) return 0;
  g_arrays.insert(reinterpret_cast<uintptr_t>(block));
  return static_cast<int32_t>(reinterpret_cast<uintptr_t>(block));
}

int32_t cmdRedimFree(EngineState& e) {
  const uintptr_t address = e.params.arg[0];
  if (address == 0) return 1;
  if (g_arrays.erase(address) == 0) {
    raiseCommandError(660, e.currentCommand);
    return 0;
  }
  std::free(reinterpret_cast<void*>(address));
  return 1;
}

// --------------------------------------------------------- program control

int32_t cmdSysExit(EngineState& e) {
  e.exitRequested = true;
  return 1;
}

int32_t cmdSysExitKey(EngineState& e) {
  g_host.exitKey = intArg(e, 0);
  return 1;
}

int32_t cmdSWait(EngineState& e) {
  e.yieldRequested = true;
  return 1;
}

}  // namespace qrt
