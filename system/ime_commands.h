// Handlers of the S@IME commands (ids 163..176) and S@KANJICHK: IME modes,
// the composition and candidates captured by the main window, and the
// edit line, handed to the script as cp932 strings.
#pragma once
#include <cstdint>

namespace qrt {

struct EngineState;

int32_t cmdSImeSetMode(EngineState& e);        // 163
int32_t cmdSImeGetMode(EngineState& e);        // 164
int32_t cmdSImeGetStr(EngineState& e);         // 165, yields while arming
int32_t cmdSImeGetState(EngineState& e);       // 166
int32_t cmdSImeGetResult(EngineState& e);      // 167, yields without a result
int32_t cmdSImeGetList(EngineState& e);        // 168
int32_t cmdSImeSetSelect(EngineState& e);      // 169
int32_t cmdSImeSetEditMode(EngineState& e);    // 170
int32_t cmdSImeGetEditStr(EngineState& e);     // 171, yields while arming
int32_t cmdSImeGetEditState(EngineState& e);   // 172
int32_t cmdSImeGetEditResult(EngineState& e);  // 173
int32_t cmdSImeGetEditColumn(EngineState& e);  // 174
int32_t cmdSKanjiChk(EngineState& e);          // 175
int32_t cmdSImeSetEditLen(EngineState& e);     // 176

}  // namespace qrt
