#include "compiler/compiler.h"

#include <cctype>
#include <memory>
#include <new>
#include <stdexcept>

#include "compiler/checker.h"
#include "compiler/parser.h"

namespace qrt::qrtc {

CompileResult compile(const std::string& mainFile, SourceLoader& loader, const GenOptions& options) {
  CompileResult result;
  Diagnostics diagnostics;
  try {
    std::vector<Token> tokens = preprocess(mainFile, loader, result.sources, diagnostics);
    auto owned = std::make_unique<Program>();
    Program& program = *owned;
    if (!diagnostics.full()) parseProgram(tokens, program, diagnostics);
    tokens.clear();
    tokens.shrink_to_fit();
    if (!diagnostics.full()) checkProgram(program, diagnostics);
    if (!diagnostics.any()) {
      result.image = generateImage(program, options);
      for (const Var* v : program.staticVars) {
        std::string key = v->name;
        for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        result.statics[key] = v->slot;
      }
    }
    if (options.keepTree) (void)owned.release();
  } catch (const std::bad_alloc&) {
    diagnostics.error({0, 0, 0}, kNoMemory, "the compiler ran out of memory");
  } catch (const std::exception& e) {
    // A fault of the compiler's own, never of the program: said as such.
    diagnostics.error({0, 0, 0}, kInternal, std::string("the compiler failed: ") + e.what());
  }
  result.diagnostics = diagnostics.sorted();
  if (!result.diagnostics.empty()) result.image.clear();
  return result;
}

std::string formatDiagnostics(const CompileResult& result) {
  std::string out;
  for (const Diagnostic& d : result.diagnostics) {
    const size_t f = static_cast<size_t>(d.pos.file);
    const std::string& name = f < result.sources.names.size() ? result.sources.names[f] : std::string("?");
    out += formatDiagnostic(d, name);
    out += '\n';
  }
  return out;
}

bool MemoryLoader::load(const std::string& from, const std::string& name, std::string& shownName,
                        std::string& identity, std::string& bytes, std::string& why) {
  (void)from;
  shownName = identity = name;
  auto it = files.find(name);
  if (it == files.end()) {
    why = "there is no such file";
    return false;
  }
  bytes = it->second;
  return true;
}

}  // namespace qrt::qrtc
