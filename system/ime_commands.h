// Handlers of the S@IME commands (ids 163..176) and S@KANJICHK: IME modes,
// the composition and candidates captured by the main window, and the
// edit line, handed to the script as cp932 strings.
#pragma once
#include <cstdint>

namespace qrt {

class Call;

int32_t cmdSImeSetMode(Call& c);        // 163
int32_t cmdSImeGetMode(Call& c);        // 164
int32_t cmdSImeGetStr(Call& c);         // 165, yields while arming
int32_t cmdSImeGetState(Call& c);       // 166
int32_t cmdSImeGetResult(Call& c);      // 167, yields without a result
int32_t cmdSImeGetList(Call& c);        // 168
int32_t cmdSImeSetSelect(Call& c);      // 169
int32_t cmdSImeSetEditMode(Call& c);    // 170
int32_t cmdSImeGetEditStr(Call& c);     // 171, yields while arming
int32_t cmdSImeGetEditState(Call& c);   // 172
int32_t cmdSImeGetEditResult(Call& c);  // 173
int32_t cmdSImeGetEditColumn(Call& c);  // 174
int32_t cmdSKanjiChk(Call& c);          // 175
int32_t cmdSImeSetEditLen(Call& c);     // 176

}  // namespace qrt
