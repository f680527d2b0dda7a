#include "compiler/diagnostics.h"

#include <algorithm>
#include <tuple>

#include "base/catalogue.h"
#include "compiler/cp932.h"

namespace qrt::qrtc {

void Diagnostics::error(Pos pos, Code code, std::string explanation) {
  if (full()) return;
  list_.push_back({pos, code, std::move(explanation)});
}

std::vector<Diagnostic> Diagnostics::sorted() const {
  std::vector<Diagnostic> out = list_;
  auto key = [](const Diagnostic& d) { return std::tuple(d.pos.file, d.pos.line, d.pos.column, static_cast<int>(d.code)); };
  std::stable_sort(out.begin(), out.end(), [&](const Diagnostic& a, const Diagnostic& b) { return key(a) < key(b); });
  out.erase(std::unique(out.begin(), out.end(), [&](const Diagnostic& a, const Diagnostic& b) { return key(a) == key(b); }),
            out.end());
  return out;
}

std::string catalogueText(Code code) {
  for (const CatalogueRow* row = kLoadCatalogue; row->code != 0; ++row) {
    if (row->code != code) continue;
    std::string text = cp932ToUtf8(row->text);
    // "QVnnnn\n\nmessage\nmore" -> "QVnnnn message more"
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '\n') {
        out += text[i];
      } else if (!out.empty() && out.back() != ' ') {
        out += ' ';
      }
    }
    return out;
  }
  return "QV" + std::to_string(code);
}

std::string formatDiagnostic(const Diagnostic& d, const std::string& fileName) {
  std::string s = fileName + ":" + std::to_string(d.pos.line) + ":" + std::to_string(d.pos.column) + ": " +
                  catalogueText(d.code);
  if (!d.explanation.empty()) s += " (" + d.explanation + ")";
  return s;
}

}  // namespace qrt::qrtc
