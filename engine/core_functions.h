// The core built-ins: numbers, random numbers, strings, time, arrays and
// program control (the commands without a family prefix, and S@WAIT).
#pragma once
#include <cstdint>
#include <span>

namespace qrt {

class Call;
struct CommandBinding;

// The family's handlers by command, for the host to bind.
std::span<const CommandBinding> coreCommands();

int32_t cmdStr(Call& c);
int32_t cmdStrF(Call& c);
int32_t cmdRand(Call& c);
int32_t cmdRandF(Call& c);
int32_t cmdSysTime(Call& c);
int32_t cmdAbs(Call& c);
int32_t cmdAbsF(Call& c);
int32_t cmdAsin(Call& c);
int32_t cmdAcos(Call& c);
int32_t cmdAtan(Call& c);
int32_t cmdCos(Call& c);
int32_t cmdSin(Call& c);
int32_t cmdTan(Call& c);
int32_t cmdSgn(Call& c);
int32_t cmdSgnF(Call& c);
int32_t cmdPow(Call& c);
int32_t cmdExp(Call& c);
int32_t cmdLog(Call& c);
int32_t cmdLog10(Call& c);
int32_t cmdSqrt(Call& c);
int32_t cmdGetDate(Call& c);
int32_t cmdLeng(Call& c);
int32_t cmdMid(Call& c);
int32_t cmdMax(Call& c);
int32_t cmdMaxF(Call& c);
int32_t cmdMin(Call& c);
int32_t cmdMinF(Call& c);
int32_t cmdAtoi(Call& c);
int32_t cmdAtof(Call& c);
int32_t cmdChr(Call& c);
int32_t cmdAsc(Call& c);
int32_t cmdRedim(Call& c);
int32_t cmdRedimFree(Call& c);
int32_t cmdRandSet(Call& c);
int32_t cmdLSet(Call& c);
int32_t cmdSysExit(Call& c);
int32_t cmdSysExitKey(Call& c);
int32_t cmdSWait(Call& c);

}  // namespace qrt
