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

#include "base/clock.h"
#include "base/runtime.h"
#include "engine/call.h"
#include "engine/engine.h"
#include "engine/family.h"

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

double realArg(const Call& c, int n) { return c.f(n); }

int32_t realResult(double v) { return Call::real(static_cast<float>(exact(v))); }

// Sets a temporary's text to `length` bytes already in place, NUL-terminated.
int32_t finishText(StringObject* t, size_t length) {
  t->text()[length] = '\0';
  t->length = static_cast<int32_t>(length + 1);
  return Call::string(t);
}

// The runtime library's generator: a 15-bit draw from a 32-bit state.
int32_t nextRandom(EngineState& e) {
  e.randomState = e.randomState * 214013u + 2531011u;
  return static_cast<int32_t>((e.randomState >> 16) & 0x7fff);
}

}  // namespace

// ---------------------------------------------------------------- numbers

int32_t cmdAbs(Call& c) {
  const uint32_t n = c.raw(0);
  // Two's complement: the most negative integer stays itself.
  return static_cast<int32_t>(static_cast<int32_t>(n) < 0 ? 0u - n : n);
}

int32_t cmdAbsF(Call& c) { return static_cast<int32_t>(c.raw(0) & 0x7fffffffu); }

int32_t cmdSgn(Call& c) {
  const int32_t n = c.i(0);
  return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

int32_t cmdSgnF(Call& c) {
  const double x = realArg(c, 0);
  return x < 0 ? -1 : (x > 0 ? 1 : 0);
}

int32_t cmdMax(Call& c) {
  const int32_t a = c.i(0), b = c.i(1);
  return b < a ? a : b;
}

int32_t cmdMin(Call& c) {
  const int32_t a = c.i(0), b = c.i(1);
  return a < b ? a : b;
}

// The real twins hand back the chosen argument's own bits.
int32_t cmdMaxF(Call& c) {
  return realArg(c, 1) < realArg(c, 0) ? c.i(0) : c.i(1);
}

int32_t cmdMinF(Call& c) {
  return realArg(c, 1) > realArg(c, 0) ? c.i(0) : c.i(1);
}

int32_t cmdPow(Call& c) { return realResult(std::pow(realArg(c, 0), realArg(c, 1))); }
int32_t cmdExp(Call& c) { return realResult(std::exp(realArg(c, 0))); }
int32_t cmdLog(Call& c) { return realResult(std::log(realArg(c, 0))); }
int32_t cmdLog10(Call& c) { return realResult(std::log10(realArg(c, 0))); }
int32_t cmdSqrt(Call& c) { return realResult(std::sqrt(realArg(c, 0))); }

namespace {
double radians(double degrees) { return exact(exact(degrees * kPi) / 180.0); }
double degrees(double radians) { return exact(exact(radians * 180.0) / kPi); }
}  // namespace

int32_t cmdSin(Call& c) { return realResult(std::sin(radians(realArg(c, 0)))); }
int32_t cmdCos(Call& c) { return realResult(std::cos(radians(realArg(c, 0)))); }
int32_t cmdTan(Call& c) { return realResult(std::tan(radians(realArg(c, 0)))); }
int32_t cmdAsin(Call& c) { return realResult(degrees(exact(std::asin(realArg(c, 0))))); }
int32_t cmdAcos(Call& c) { return realResult(degrees(exact(std::acos(realArg(c, 0))))); }
int32_t cmdAtan(Call& c) { return realResult(degrees(exact(std::atan(realArg(c, 0))))); }

// ---------------------------------------------------------- random numbers

int32_t cmdRand(Call& c) { return nextRandom(c.engine()); }

int32_t cmdRandF(Call& c) { return realResult(nextRandom(c.engine()) / 32767.0); }

int32_t cmdRandSet(Call& c) {
  const uint32_t seed = c.raw(0);
  c.engine().randomState = seed != 0 ? seed : static_cast<uint32_t>(std::time(nullptr));
  return 1;
}

// ----------------------------------------------------------------- strings

int32_t cmdLeng(Call& c) {
  return static_cast<int32_t>(std::strlen(textOf(c.raw(0))));
}

int32_t cmdMid(Call& c) {
  if (c.unset(0)) return 0;  // no string: the result check ends the program
  const char* text = c.s(0);
  const int64_t length = static_cast<int64_t>(std::strlen(text));
  const int64_t start = c.i(1);
  int64_t count = c.i(2);
  // Byte-based: a double-byte character may be cut in half.
  if (count <= 0 || start < 1 || length == 0 || start > length) return c.text("", 0);
  if (start + count - 1 > length) count = length - start + 1;
  return c.text(text + (start - 1), static_cast<uint32_t>(count));
}

int32_t cmdLSet(Call& c) {
  const uint32_t s = c.raw(0);
  // A negative width would make the field's size meaningless; it is an
  // empty field instead.
  const int32_t width = c.i(1) < 0 ? 0 : c.i(1);
  if (s == 0) {
    StringObject* t = c.temporary(static_cast<uint32_t>(width) + 1);
    if (!t) return 0;  // the program goes on with no string
    std::memset(t->text(), ' ', static_cast<size_t>(width));
    return finishText(t, static_cast<size_t>(width));
  }
  const size_t length = std::strlen(c.s(0));
  // A shorter text is not padded: the result is the text as it stands.
  const size_t kept = length < static_cast<size_t>(width) ? length : static_cast<size_t>(width);
  return c.text(c.s(0), static_cast<uint32_t>(kept));
}

int32_t cmdChr(Call& c) {
  const int32_t n = c.i(0);
  if (n < 0 || n > 255) return c.fail(660);
  // CHR(0) keeps its length of 2 although its text reads as empty.
  const char byte = static_cast<char>(n);
  return c.text(&byte, 1);
}

int32_t cmdAsc(Call& c) {
  if (c.empty(0)) return c.fail(660, 0);  // not the failure value: the program goes on
  return static_cast<unsigned char>(c.s(0)[0]);
}

int32_t cmdStr(Call& c) {
  const int32_t n = c.i(0);
  int32_t base = c.i(1);
  if (base == 0) base = 10;
  if (base < 2 || base > 36) {
    // No digits exist for such a base; refuse it rather than write garbage.
    return c.fail(660);
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
  StringObject* t = c.temporary(128);
  if (!t) return 0;
  char* out = t->text();
  size_t length = 0;
  if (negative) out[length++] = '-';
  while (used > 0) out[length++] = digits[--used];
  return finishText(t, length);
}

int32_t cmdStrF(Call& c) {
  const double x = realArg(c, 0);  // the second argument is not used
  StringObject* t = c.temporary(128);
  if (!t) return 0;
  const int written = std::snprintf(t->text(), 128, "%f", x);
  const size_t length = written < 0 ? 0 : (written > 127 ? 127 : static_cast<size_t>(written));
  return finishText(t, length);
}

namespace {
bool isBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
}  // namespace

int32_t cmdAtoi(Call& c) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(textOf(c.raw(0)));
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

int32_t cmdAtof(Call& c) {
  const char* p = textOf(c.raw(0));
  while (isBlank(static_cast<unsigned char>(*p))) ++p;
  return realResult(std::strtod(p, nullptr));
}

// -------------------------------------------------------------------- time

int32_t cmdGetDate(Call& c) {
  SYSTEMTIME t;
  if (c.i(1) != 0)
    GetLocalTime(&t);
  else
    GetSystemTime(&t);
  switch (c.i(0)) {
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

int32_t cmdSysTime(Call& c) {
  // Millisecond readings need the finest timer the system offers.
  useFinestTimer(c.engine().timer);
  return static_cast<int32_t>(clockMs());
}

// ------------------------------------------------------------------ arrays

int32_t cmdRedim(Call& c) {
  const int32_t count = c.i(0);
  if (count < 0) return 0;
  // An array of no elements still gets its own block, so that its address
  // is distinct and can be freed.
  void* block = std::calloc(count > 0 ? static_cast<size_t>(count) : 1, 4);
  if (!block) return 0;
  try {
    c.engine().arrays.insert(reinterpret_cast<uintptr_t>(block));
  } catch (...) {
    std::free(block);
    throw;
  }
  return static_cast<int32_t>(reinterpret_cast<uintptr_t>(block));
}

int32_t cmdRedimFree(Call& c) {
  const uintptr_t address = c.raw(0);
  if (address == 0) return 1;
  if (c.engine().arrays.erase(address) == 0) return c.fail(660);
  std::free(reinterpret_cast<void*>(address));
  return 1;
}

// --------------------------------------------------------- program control

int32_t cmdSysExit(Call& c) {
  c.engine().exitRequested = true;
  return 1;
}

int32_t cmdSysExitKey(Call& c) {
  g_host.exitKey = c.i(0);
  return 1;
}

int32_t cmdSWait(Call& c) {
  c.yield();
  return 1;
}

// ---------------------------------------------------------------- bindings

std::span<const CommandBinding> coreCommands() {
  static constexpr CommandBinding kBindings[] = {
    {commandId("STR"), cmdStr},
    {commandId("STRF"), cmdStrF},
    {commandId("RAND"), cmdRand},
    {commandId("RANDF"), cmdRandF},
    {commandId("SYSTIME"), cmdSysTime},
    {commandId("ABS"), cmdAbs},
    {commandId("ABSF"), cmdAbsF},
    {commandId("ASIN"), cmdAsin},
    {commandId("ACOS"), cmdAcos},
    {commandId("ATAN"), cmdAtan},
    {commandId("COS"), cmdCos},
    {commandId("SIN"), cmdSin},
    {commandId("TAN"), cmdTan},
    {commandId("SGN"), cmdSgn},
    {commandId("SGNF"), cmdSgnF},
    {commandId("POW"), cmdPow},
    {commandId("EXP"), cmdExp},
    {commandId("LOG"), cmdLog},
    {commandId("LOG10"), cmdLog10},
    {commandId("SQRT"), cmdSqrt},
    {commandId("GETDATE"), cmdGetDate},
    {commandId("LENG"), cmdLeng},
    {commandId("MID"), cmdMid},
    {commandId("MAX"), cmdMax},
    {commandId("MAXF"), cmdMaxF},
    {commandId("MIN"), cmdMin},
    {commandId("MINF"), cmdMinF},
    {commandId("ATOI"), cmdAtoi},
    {commandId("ATOF"), cmdAtof},
    {commandId("CHR"), cmdChr},
    {commandId("ASC"), cmdAsc},
    {commandId("REDIM"), cmdRedim},
    {commandId("REDIMFREE"), cmdRedimFree},
    {commandId("RANDSET"), cmdRandSet},
    {commandId("LSET"), cmdLSet},
    {commandId("SYSEXIT"), cmdSysExit},
    {commandId("SYSEXITKEY"), cmdSysExitKey},
    {commandId("S@WAIT"), cmdSWait},
  };
  return kBindings;
}

}  // namespace qrt
