// The compiler as a library: a program's source files in, its image or its
// diagnostics out. qrtc, the tests and the fuzz target call this.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "compiler/codegen.h"
#include "compiler/diagnostics.h"
#include "compiler/preprocessor.h"

namespace qrt::qrtc {

struct CompileResult {
  std::vector<uint8_t> image;            // header included; empty when there are errors
  std::vector<Diagnostic> diagnostics;   // sorted, at most kMaxDiagnostics
  SourceSet sources;                     // names the diagnostics' file indices
  // Every STATIC variable's first slot in the static area, by its name in
  // upper case: what tools and tests read a running game's state by.
  std::map<std::string, int32_t> statics;
  bool ok() const { return diagnostics.empty() && !image.empty(); }
};

CompileResult compile(const std::string& mainFile, SourceLoader& loader, const GenOptions& options = {});

// Every diagnostic as qrtc prints it, one per line.
std::string formatDiagnostics(const CompileResult& result);

// Sources held in memory, by name; an include names another entry.
class MemoryLoader : public SourceLoader {
 public:
  std::map<std::string, std::string> files;
  bool load(const std::string& from, const std::string& name, std::string& shownName, std::string& identity,
            std::string& bytes, std::string& why) override;
};

}  // namespace qrt::qrtc
