// Tokens of the game language.
#pragma once
#include <cstdint>
#include <string>

#include "compiler/diagnostics.h"

namespace qrt::qrtc {

enum class Tok : uint8_t {
  Name,      // a name, a keyword or a command name (which may hold '@')
  Int,       // integer literal
  Real,      // real literal
  String,    // string literal, its text already cp932
  Plus, Minus, Star, Slash,
  Eq, Ne, Lt, Gt, Le, Ge,
  LParen, RParen, LBracket, RBracket, LBrace, RBrace,
  Comma, Dot, Colon, Hash,
  Newline,   // the end of a line: one statement per line
  End,       // the end of the program
};

struct Token {
  Tok kind = Tok::End;
  Pos pos;
  std::string text;   // Name: as written; String: cp932 text
  std::string key;    // Name: upper case, for lookups
  int32_t number = 0; // Int
  float real = 0;     // Real
  std::string define; // the #DEFINE whose tokens put this one here, if any

  bool is(Tok k) const { return kind == k; }
  bool isName(const char* upper) const { return kind == Tok::Name && key == upper; }
};

const char* tokenText(Tok kind);

}  // namespace qrt::qrtc
