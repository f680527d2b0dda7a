#include "compiler/lexer.h"

#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "compiler/cp932.h"
#include "compiler/preprocessor.h"

namespace qrt::qrtc {

const char* tokenText(Tok kind) {
  switch (kind) {
    case Tok::Name: return "a name";
    case Tok::Int: return "a number";
    case Tok::Real: return "a real number";
    case Tok::String: return "a string";
    case Tok::Plus: return "'+'";
    case Tok::Minus: return "'-'";
    case Tok::Star: return "'*'";
    case Tok::Slash: return "'/'";
    case Tok::Eq: return "'='";
    case Tok::Ne: return "'<>'";
    case Tok::Lt: return "'<'";
    case Tok::Gt: return "'>'";
    case Tok::Le: return "'<='";
    case Tok::Ge: return "'>='";
    case Tok::LParen: return "'('";
    case Tok::RParen: return "')'";
    case Tok::LBracket: return "'['";
    case Tok::RBracket: return "']'";
    case Tok::LBrace: return "'{'";
    case Tok::RBrace: return "'}'";
    case Tok::Comma: return "','";
    case Tok::Dot: return "'.'";
    case Tok::Colon: return "':'";
    case Tok::Hash: return "'#'";
    case Tok::Newline: return "the end of the line";
    case Tok::End: return "the end of the program";
  }
  return "?";
}

bool isValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<uint8_t>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    int n = 0;
    char32_t c = 0, min = 0;
    if ((b & 0xE0) == 0xC0) n = 1, c = b & 0x1F, min = 0x80;
    else if ((b & 0xF0) == 0xE0) n = 2, c = b & 0x0F, min = 0x800;
    else if ((b & 0xF8) == 0xF0) n = 3, c = b & 0x07, min = 0x10000;
    else return false;
    for (int k = 1; k <= n; ++k) {
      if (i + k >= s.size()) return false;
      const auto t = static_cast<uint8_t>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      c = c << 6 | (t & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += static_cast<size_t>(n) + 1;
  }
  return true;
}

namespace {

class Lexer {
 public:
  Lexer(int32_t file, std::string_view bytes, Diagnostics& d) : file_(file), s_(bytes), d_(d) {
    utf8_ = isValidUtf8(s_);
    if (utf8_ && s_.size() >= 3 && s_.substr(0, 3) == "\xEF\xBB\xBF") i_ = 3;
  }

  std::vector<Token> run() {
    out_.reserve(s_.size() / 4 + 8);
    while (i_ < s_.size()) step();
    newline();
    return std::move(out_);
  }

 private:
  Pos here() const { return {file_, line_, column_}; }
  uint8_t at(size_t k) const { return k < s_.size() ? static_cast<uint8_t>(s_[k]) : 0; }

  // One character of the source: its code point and byte count.
  char32_t peekChar(size_t k, int& length) const {
    const auto b = at(k);
    length = 1;
    if (b < 0x80) return b;
    if (!utf8_) return decodeCp932(s_.substr(k), length);
    int n = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : 3;
    char32_t c = b & (n == 1 ? 0x1F : n == 2 ? 0x0F : 0x07);
    for (int j = 1; j <= n; ++j) c = c << 6 | (at(k + j) & 0x3F);
    length = n + 1;
    return c;
  }

  void advance(int bytes) {
    i_ += static_cast<size_t>(bytes);
    ++column_;
  }

  void newline() {
    if (out_.empty() || out_.back().kind != Tok::Newline) push(Tok::Newline, here());
  }

  Token& push(Tok kind, Pos pos) {
    out_.emplace_back();
    out_.back().kind = kind;
    out_.back().pos = pos;
    return out_.back();
  }

  void lineBreak() {
    newline();
    ++line_;
    column_ = 1;
  }

  void step() {
    const uint8_t b = at(i_);
    if (b == '\n') {
      ++i_;
      lineBreak();
      return;
    }
    if (b == '\r') {
      ++i_;
      if (at(i_) == '\n') ++i_;
      lineBreak();
      return;
    }
    if (b == ' ' || b == '\t' || b == '\f' || b == '\v') {
      size_t k = i_ + 1;
      while (k < s_.size() && (s_[k] == ' ' || s_[k] == '\t')) ++k;
      moveTo(k);
      return;
    }
    if (b == '/' && at(i_ + 1) == '/') {
      while (i_ < s_.size() && at(i_) != '\n' && at(i_) != '\r') ++i_;
      return;
    }
    if (b == '/' && at(i_ + 1) == '*') return blockComment();
    if (b == '"') return string();
    if (std::isdigit(b) || (b == '.' && std::isdigit(at(i_ + 1)) && !afterOperand())) return number();
    if (std::isalpha(b) || b == '_') return name();
    const Pos pos = here();
    auto one = [&](Tok k) {
      push(k, pos);
      advance(1);
    };
    auto two = [&](Tok k) {
      push(k, pos);
      advance(1);
      advance(1);
    };
    switch (b) {
      case '+': return one(Tok::Plus);
      case '-': return one(Tok::Minus);
      case '*': return one(Tok::Star);
      case '/': return one(Tok::Slash);
      case '=': return one(Tok::Eq);
      case '<':
        if (at(i_ + 1) == '>') return two(Tok::Ne);
        if (at(i_ + 1) == '=') return two(Tok::Le);
        return one(Tok::Lt);
      case '>':
        if (at(i_ + 1) == '=') return two(Tok::Ge);
        return one(Tok::Gt);
      case '(': return one(Tok::LParen);
      case ')': return one(Tok::RParen);
      case '[': return one(Tok::LBracket);
      case ']': return one(Tok::RBracket);
      case '{': return one(Tok::LBrace);
      case '}': return one(Tok::RBrace);
      case ',': return one(Tok::Comma);
      case '.': return one(Tok::Dot);
      case ':': return one(Tok::Colon);
      case '#': return one(Tok::Hash);
      default: break;
    }
    int length = 1;
    const char32_t c = peekChar(i_, length);
    if (c == 0x3000) {  // the ideographic space of Japanese editors
      advance(length);
      return;
    }
    std::string shown;
    if (c == 0xFFFD || c < 0x20) {
      shown = "byte 0x" + hex(b);
    } else {
      shown = "'";
      appendUtf8(shown, c);
      shown += "'";
    }
    d_.error(pos, kSyntax, "unexpected " + shown + (c >= 0x80 ? ": names are ASCII letters, digits and '_'" : ""));
    advance(length);
  }

  static std::string hex(uint32_t v) {
    const char* digits = "0123456789ABCDEF";
    std::string s;
    s += digits[(v >> 4) & 15];
    s += digits[v & 15];
    return s;
  }

  // A '.' right after a name, ']' or ')' is a field, not the start of a number.
  bool afterOperand() const {
    if (out_.empty()) return false;
    Tok k = out_.back().kind;
    return k == Tok::Name || k == Tok::RBracket || k == Tok::RParen;
  }

  void blockComment() {
    const Pos start = here();
    advance(1);
    advance(1);
    while (i_ < s_.size()) {
      const uint8_t b = at(i_);
      if (b == '*' && at(i_ + 1) == '/') {
        advance(1);
        advance(1);
        return;
      }
      if (b == '\n' || b == '\r') {
        ++i_;
        if (b == '\r' && at(i_) == '\n') ++i_;
        ++line_;
        column_ = 1;
        continue;
      }
      int length = 1;
      peekChar(i_, length);
      advance(length);
    }
    d_.error(start, kOpenComment, "the comment that starts here has no '*/'");
  }

  void string() {
    const Pos start = here();
    advance(1);
    std::string text;
    bool bad = false;
    for (;;) {
      if (i_ >= s_.size() || at(i_) == '\n' || at(i_) == '\r') {
        d_.error(start, kOpenString, "the string that starts here has no closing '\"' on its line");
        break;
      }
      const uint8_t b = at(i_);
      if (b == '"') {
        advance(1);
        if (at(i_) == '"') {  // "" is one quote
          text += '"';
          advance(1);
          continue;
        }
        break;
      }
      int length = 1;
      const Pos pos = here();
      if (utf8_) {
        const char32_t c = peekChar(i_, length);
        if (!appendCp932(text, c) && !bad) {
          std::string shown;
          appendUtf8(shown, c);
          char code[16];
          std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
          d_.error(pos, kSyntax, "the character " + shown + " (" + code + ") has no Shift-JIS (cp932) form");
          bad = true;
        }
      } else {
        if (decodeCp932(s_.substr(i_), length) == 0xFFFD && !bad) {
          d_.error(pos, kSyntax, "byte 0x" + hex(b) + " starts no Shift-JIS (cp932) character");
          bad = true;
        }
        text.append(s_.substr(i_, static_cast<size_t>(length)));
      }
      advance(length);
    }
    push(Tok::String, start).text = std::move(text);
  }

  void number() {
    const Pos start = here();
    const size_t from = i_;
    if (at(i_) == '0' && (at(i_ + 1) == 'x' || at(i_ + 1) == 'X')) {
      size_t k = i_ + 2;
      uint64_t v = 0;
      bool over = false;
      while (std::isxdigit(at(k))) {
        v = v * 16 + static_cast<uint64_t>(std::isdigit(at(k)) ? at(k) - '0' : (std::toupper(at(k)) - 'A' + 10));
        if (v > 0xFFFFFFFFull) over = true, v = 0;
        ++k;
      }
      bool empty = k == i_ + 2;
      moveTo(k);
      if (empty) return d_.error(start, kSyntax, "'0x' with no hexadecimal digits after it");
      if (over) d_.error(start, kNumberRange, "the number does not fit in 32 bits");
      push(Tok::Int, start).number = static_cast<int32_t>(static_cast<uint32_t>(v));
      return tail(start);
    }
    size_t k = i_;
    while (std::isdigit(at(k))) ++k;
    bool isReal = false;
    if (at(k) == '.' && std::isdigit(at(k + 1))) {
      isReal = true;
      ++k;
      while (std::isdigit(at(k))) ++k;
    } else if (at(k) == '.' && !std::isalpha(at(k + 1))) {
      isReal = true;  // "1." is a real too
      ++k;
    }
    if ((at(k) == 'e' || at(k) == 'E') &&
        (std::isdigit(at(k + 1)) || ((at(k + 1) == '+' || at(k + 1) == '-') && std::isdigit(at(k + 2))))) {
      isReal = true;
      k += 2;
      while (std::isdigit(at(k))) ++k;
    }
    std::string_view text = s_.substr(from, k - from);
    moveTo(k);
    if (isReal) {
      double v = 0;
      std::string t(text);
      if (t[0] == '.') t = "0" + t;
      if (t.back() == '.') t += "0";
      auto r = std::from_chars(t.data(), t.data() + t.size(), v);
      if (r.ec != std::errc() || !std::isfinite(v) || std::fabs(v) > FLT_MAX) {
        d_.error(start, kNumberRange, "the real number is beyond single precision");
        v = 0;
      }
      push(Tok::Real, start).real = static_cast<float>(v);
    } else {
      uint64_t v = 0;
      bool over = false;
      for (char c : text) {
        v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > 0xFFFFFFFFull) over = true, v = 0;
      }
      if (over) d_.error(start, kNumberRange, "the number does not fit in 32 bits");
      push(Tok::Int, start).number = static_cast<int32_t>(static_cast<uint32_t>(v));
    }
    tail(start);
  }

  // Letters right after a number ("12abc") are a mistake, not a new name.
  void tail(Pos start) {
    if (!std::isalnum(at(i_)) && at(i_) != '_') return;
    d_.error(start, kSyntax, "a number runs into letters");
    while (std::isalnum(at(i_)) || at(i_) == '_' || at(i_) == '@') advance(1);
  }

  void moveTo(size_t k) {
    column_ += static_cast<int32_t>(k - i_);
    i_ = k;
  }

  void name() {
    const Pos start = here();
    size_t k = i_;
    while (std::isalnum(at(k)) || at(k) == '_' || at(k) == '@') ++k;
    Token& t = push(Tok::Name, start);
    t.text.assign(s_.substr(i_, k - i_));
    t.key = t.text;
    for (char& c : t.key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    t.keyword = isKeyword(t.key);
    t.blockWord = t.keyword && isBlockWord(t.key);
    moveTo(k);
  }

  int32_t file_;
  std::string_view s_;
  Diagnostics& d_;
  bool utf8_ = true;
  size_t i_ = 0;
  int32_t line_ = 1, column_ = 1;
  std::vector<Token> out_;
};

}  // namespace

std::vector<Token> lexFile(int32_t file, std::string_view bytes, Diagnostics& diagnostics) {
  return Lexer(file, bytes, diagnostics).run();
}

}  // namespace qrt::qrtc
