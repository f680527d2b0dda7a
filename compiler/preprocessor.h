// The preprocessor: #INCLUDE inserts a file (named relative to the file that
// includes it), #DEFINE NAME tokens replaces the name by the tokens on every
// later line. Its output is the program as one token stream.
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "compiler/diagnostics.h"
#include "compiler/token.h"

namespace qrt::qrtc {

// Where source files come from: the disk for qrtc, memory for tests and the
// fuzz target.
class SourceLoader {
 public:
  virtual ~SourceLoader() = default;
  // Reads `name`, relative to the folder of the file `from` (empty: the
  // program's own file, named as given). `shownName` is how messages name
  // the file, `identity` tells two names of one file apart (for cycles).
  // On failure returns false with a reason in `why`.
  virtual bool load(const std::string& from, const std::string& name, std::string& shownName,
                    std::string& identity, std::string& bytes, std::string& why) = 0;
};

// Reads from the file system; names are UTF-8.
class DiskLoader : public SourceLoader {
 public:
  bool load(const std::string& from, const std::string& name, std::string& shownName, std::string& identity,
            std::string& bytes, std::string& why) override;
};

struct SourceSet {
  std::vector<std::string> names;        // by file index, as messages show them
  std::deque<std::string> defineNames;   // each #DEFINE's name, which tokens point to
};

constexpr size_t kMaxSourceBytes = 64u << 20;  // one file, and all of them together
constexpr int kMaxIncludeDepth = 32;

// The program's tokens, ended by an End token. The main file's own failure
// to load is reported at line 0.
std::vector<Token> preprocess(const std::string& mainName, SourceLoader& loader, SourceSet& sources,
                              Diagnostics& diagnostics);

// Whether a name is one of the language's words (which #DEFINE may not
// take), and whether it is one that ends or continues a block.
bool isKeyword(const std::string& key);
bool isBlockWord(const std::string& key);

}  // namespace qrt::qrtc
