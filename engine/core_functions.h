// The core built-ins: numbers, random numbers, strings, time, arrays and
// program control (the commands without a family prefix, and S@WAIT).
#pragma once
#include <cstdint>

namespace qrt {

struct EngineState;

int32_t cmdStr(EngineState& e);
int32_t cmdStrF(EngineState& e);
int32_t cmdRand(EngineState& e);
int32_t cmdRandF(EngineState& e);
int32_t cmdSysTime(EngineState& e);
int32_t cmdAbs(EngineState& e);
int32_t cmdAbsF(EngineState& e);
int32_t cmdAsin(EngineState& e);
int32_t cmdAcos(EngineState& e);
int32_t cmdAtan(EngineState& e);
int32_t cmdCos(EngineState& e);
int32_t cmdSin(EngineState& e);
int32_t cmdTan(EngineState& e);
int32_t cmdSgn(EngineState& e);
int32_t cmdSgnF(EngineState& e);
int32_t cmdPow(EngineState& e);
int32_t cmdExp(EngineState& e);
int32_t cmdLog(EngineState& e);
int32_t cmdLog10(EngineState& e);
int32_t cmdSqrt(EngineState& e);
int32_t cmdGetDate(EngineState& e);
int32_t cmdLeng(EngineState& e);
int32_t cmdMid(EngineState& e);
int32_t cmdMax(EngineState& e);
int32_t cmdMaxF(EngineState& e);
int32_t cmdMin(EngineState& e);
int32_t cmdMinF(EngineState& e);
int32_t cmdAtoi(EngineState& e);
int32_t cmdAtof(EngineState& e);
int32_t cmdChr(EngineState& e);
int32_t cmdAsc(EngineState& e);
int32_t cmdRedim(EngineState& e);
int32_t cmdRedimFree(EngineState& e);
int32_t cmdRandSet(EngineState& e);
int32_t cmdLSet(EngineState& e);
int32_t cmdSysExit(EngineState& e);
int32_t cmdSysExitKey(EngineState& e);
int32_t cmdSWait(EngineState& e);

}  // namespace qrt
