// Tokens of the game language.
#pragma once
#include <cstdint>
#include <cstring>
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
  const std::string* define = nullptr;  // the #DEFINE whose tokens put this one here, if any
  bool keyword = false;   // Name: one of the language's words
  bool blockWord = false; // Name: a word that ends or continues a block (ENDIF, NEXT, CASE...)

  bool is(Tok k) const { return kind == k; }
  // Whether this is the name (or word) `upper`, which is a literal: the
  // lengths are compared first, so most tests end there.
  template <size_t N>
  bool isName(const char (&upper)[N]) const {
    return kind == Tok::Name && key.size() == N - 1 && std::memcmp(key.data(), upper, N - 1) == 0;
  }
  bool isName(const std::string& upper) const { return kind == Tok::Name && key == upper; }
};

// `key == literal`, the lengths first.
template <size_t N>
bool keyIs(const std::string& key, const char (&word)[N]) {
  return key.size() == N - 1 && std::memcmp(key.data(), word, N - 1) == 0;
}

const char* tokenText(Tok kind);

}  // namespace qrt::qrtc
