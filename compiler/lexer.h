// The lexer: one source file's bytes into tokens. A file is UTF-8 (with or
// without a byte-order mark) when its bytes are valid UTF-8, and cp932
// otherwise; string literals come out as cp932 either way.
#pragma once
#include <string_view>
#include <vector>

#include "compiler/diagnostics.h"
#include "compiler/token.h"

namespace qrt::qrtc {

// Whether the bytes are valid UTF-8 (no overlong forms, no surrogates).
bool isValidUtf8(std::string_view bytes);

// Tokens of a whole file, lines ended by Newline tokens and the file by one
// more Newline (no End token). Errors go to `diagnostics`; the lexer goes on
// after each.
std::vector<Token> lexFile(int32_t file, std::string_view bytes, Diagnostics& diagnostics);

}  // namespace qrt::qrtc
