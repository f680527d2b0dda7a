#include "compiler/preprocessor.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string_view>
#include <unordered_set>
#include <unordered_map>

#include "compiler/cp932.h"
#include "compiler/lexer.h"

namespace qrt::qrtc {

namespace fs = std::filesystem;

namespace {

fs::path fromUtf8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

std::string toUtf8(const fs::path& p) {
  std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}

}  // namespace

bool DiskLoader::load(const std::string& from, const std::string& name, std::string& shownName,
                      std::string& identity, std::string& bytes, std::string& why) {
  fs::path path = fromUtf8(name);
  if (!from.empty() && path.is_relative()) path = fromUtf8(from).parent_path() / path;
  shownName = toUtf8(path.lexically_normal());
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(path, ec);
  identity = toUtf8(ec ? path.lexically_normal() : canonical);
  if (fs::is_directory(path, ec)) {
    why = "it is a folder";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    why = "it cannot be opened";
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > kMaxSourceBytes) {
    why = size < 0 ? "it cannot be read" : "it is larger than 64 MB";
    return false;
  }
  in.seekg(0);
  bytes.assign(static_cast<size_t>(size), '\0');
  if (size > 0 && !in.read(bytes.data(), size)) {
    why = "it cannot be read";
    return false;
  }
  return true;
}

bool isKeyword(const std::string& k) {
  static const std::unordered_set<std::string_view> words = {
      "INT", "REAL", "STR", "IF", "THEN", "ELSEIF", "ELSE", "ENDIF", "FOR", "TO", "STEP", "NEXT",
      "WHILE", "ENDWHILE", "LOOP", "ENDLOOP", "BREAK", "CONTINUE", "SWITCH", "CASE", "DEFAULT",
      "ENDSWITCH", "SELECT", "WHEN", "OTHER", "ENDSELECT", "GOTO", "END", "RETURN", "FUNC", "ENDFUNC",
      "EXFUNC", "IN", "AS", "STATIC", "ARRAY", "STRUCT", "ENDSTRUCT", "AND", "OR", "XOR", "NOT", "MOD"};
  return words.count(std::string_view(k)) != 0;
}

bool isBlockWord(const std::string& k) {
  static const std::unordered_set<std::string_view> words = {"ELSEIF", "ELSE", "ENDIF", "NEXT", "ENDWHILE", "ENDLOOP", "CASE",
                                                             "DEFAULT", "ENDSWITCH", "WHEN", "OTHER", "ENDSELECT", "ENDFUNC"};
  return words.count(std::string_view(k)) != 0;
}

namespace {

class Preprocessor {
 public:
  Preprocessor(SourceLoader& loader, SourceSet& sources, Diagnostics& d) : loader_(loader), sources_(sources), d_(d) {}

  std::vector<Token> run(const std::string& mainName) {
    std::string shown, identity, bytes, why;
    if (!loader_.load("", mainName, shown, identity, bytes, why)) {
      sources_.names.push_back(mainName);
      d_.error({0, 0, 0}, kCannotOpen, mainName + ": " + why);
    } else {
      sources_.names.push_back(shown);
      if (bytes.empty() || (bytes.size() == 3 && bytes == "\xEF\xBB\xBF")) {
        d_.error({0, 0, 0}, kEmptyFile, "the program file is empty");
      } else {
        total_ = bytes.size();
        file(0, shown, identity, bytes);
      }
    }
    Token end;
    end.kind = Tok::End;
    end.pos = out_.empty() ? Pos{0, 1, 1} : out_.back().pos;
    out_.push_back(end);
    return std::move(out_);
  }

 private:
  void file(int32_t index, const std::string& shown, const std::string& identity, const std::string& bytes) {
    active_.push_back(identity);
    std::vector<Token> tokens = lexFile(index, bytes, d_);
    if (out_.capacity() < out_.size() + tokens.size())
      out_.reserve(std::max(out_.size() + tokens.size(), out_.capacity() * 2));
    for (size_t i = 0; i < tokens.size();) {
      size_t end = i;
      while (tokens[end].kind != Tok::Newline) ++end;
      if (tokens[i].kind == Tok::Hash) directive(tokens, i, end, shown);
      else expandLine(tokens, i, end);
      if (!tooMany_) out_.push_back(std::move(tokens[end]));  // the Newline
      i = end + 1;
    }
    active_.pop_back();
  }

  void directive(const std::vector<Token>& t, size_t i, size_t end, const std::string& shown) {
    const Token& hash = t[i];
    if (i + 1 >= end || t[i + 1].kind != Tok::Name) {
      d_.error(hash.pos, kSyntax, "'#' starts a directive: #INCLUDE or #DEFINE");
      return;
    }
    const Token& word = t[i + 1];
    if (word.key == "INCLUDE") return include(t, i + 2, end, word, shown);
    if (word.key == "DEFINE") return define(t, i + 2, end, word);
    d_.error(word.pos, kSyntax, "unknown directive #" + word.text + " (#INCLUDE or #DEFINE)");
  }

  void include(const std::vector<Token>& t, size_t i, size_t end, const Token& word, const std::string& shown) {
    if (i + 1 != end || t[i].kind != Tok::String || t[i].text.empty()) {
      d_.error(word.pos, kBadInclude, "write #INCLUDE \"file\" with the file's name in quotes");
      return;
    }
    if (static_cast<int>(active_.size()) >= kMaxIncludeDepth) {
      d_.error(word.pos, kBadInclude, "files include each other more than 32 deep");
      return;
    }
    const std::string name = cp932ToUtf8(t[i].text);
    std::string fileShown, identity, bytes, why;
    if (!loader_.load(shown, name, fileShown, identity, bytes, why)) {
      d_.error(t[i].pos, kBadInclude, "cannot include " + name + ": " + why);
      return;
    }
    for (const std::string& a : active_) {
      if (a == identity) {
        d_.error(t[i].pos, kBadInclude, name + " includes itself, directly or through other files");
        return;
      }
    }
    total_ += bytes.size();
    if (total_ > kMaxSourceBytes) {
      d_.error(t[i].pos, kBadInclude, "the program's files come to more than 64 MB");
      return;
    }
    const int32_t index = static_cast<int32_t>(sources_.names.size());
    sources_.names.push_back(fileShown);
    file(index, fileShown, identity, bytes);
  }

  void define(const std::vector<Token>& t, size_t i, size_t end, const Token& word) {
    if (i >= end || t[i].kind != Tok::Name || t[i].key.find('@') != std::string::npos) {
      d_.error(word.pos, kBadDefine, "write #DEFINE NAME followed by what the name stands for");
      return;
    }
    const Token& name = t[i];
    if (isKeyword(name.key)) {
      d_.error(name.pos, kBadDefine, name.text + " is a word of the language and cannot be defined");
      return;
    }
    std::vector<Token> body(t.begin() + static_cast<std::ptrdiff_t>(i + 1), t.begin() + static_cast<std::ptrdiff_t>(end));
    for (const Token& b : body) {
      if (b.kind == Tok::Hash) {
        d_.error(b.pos, kBadDefine, "a definition cannot hold a directive");
        return;
      }
    }
    auto it = defines_.find(name.key);
    if (it != defines_.end()) {
      if (!sameTokens(it->second.body, body))
        d_.error(name.pos, kRedefined, name.text + " is already defined with another value");
      return;
    }
    // The name lives with the sources: tokens carry it into later messages.
    sources_.defineNames.push_back(name.text);
    defines_.emplace(name.key, Definition{&sources_.defineNames.back(), std::move(body)});
  }

  static bool sameTokens(const std::vector<Token>& a, const std::vector<Token>& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k) {
      if (a[k].kind != b[k].kind || a[k].key != b[k].key || a[k].number != b[k].number ||
          a[k].text != b[k].text || !(a[k].real == b[k].real || (a[k].real != a[k].real && b[k].real != b[k].real)))
        return false;
    }
    return true;
  }

  void expandLine(std::vector<Token>& t, size_t i, size_t end) {
    for (size_t k = i; k < end; ++k) {
      // Tokens no definition touches move over as they are.
      if (t[k].kind != Tok::Name || defines_.empty() || !defines_.count(t[k].key)) {
        if (out_.size() >= kMaxTokens) {
          emit(t[k], t[k].pos, 0);
          continue;
        }
        out_.push_back(std::move(t[k]));
      } else {
        emit(t[k], t[k].pos, 0);
      }
    }
  }

  // A token, or what a defined name stands for, each token placed where the
  // name was used and marked with the definition's name.
  void emit(const Token& token, Pos at, int depth, const std::string* define = nullptr) {
    if (token.kind == Tok::Name && !defines_.empty()) {
      auto it = defines_.find(token.key);
      if (it != defines_.end() && !expanding_.count(token.key)) {
        if (depth >= 32) {
          d_.error(at, kBadDefine, "definitions refer to each other more than 32 deep");
          return;
        }
        expanding_.insert(token.key);
        for (const Token& b : it->second.body) emit(b, at, depth + 1, define ? define : it->second.name);
        expanding_.erase(token.key);
        return;
      }
    }
    if (out_.size() >= kMaxTokens) {
      if (!tooMany_) d_.error(at, kBadDefine, "the program grows past 16 million tokens (definitions that double up?)");
      tooMany_ = true;
      return;
    }
    out_.push_back(token);
    out_.back().pos = at;
    if (define) out_.back().define = define;
  }

  static constexpr size_t kMaxTokens = 16u << 20;
  bool tooMany_ = false;

  SourceLoader& loader_;
  SourceSet& sources_;
  Diagnostics& d_;
  std::vector<Token> out_;
  std::vector<std::string> active_;
  struct Definition {
    const std::string* name;  // as written, kept in the source set
    std::vector<Token> body;
  };
  std::unordered_map<std::string, Definition> defines_;
  std::set<std::string> expanding_;
  size_t total_ = 0;
};

}  // namespace

std::vector<Token> preprocess(const std::string& mainName, SourceLoader& loader, SourceSet& sources,
                              Diagnostics& diagnostics) {
  return Preprocessor(loader, sources, diagnostics).run(mainName);
}

}  // namespace qrt::qrtc
