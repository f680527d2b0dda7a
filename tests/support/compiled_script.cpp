#include "tests/support/compiled_script.h"

#include <cctype>
#include <filesystem>
#include <stdexcept>

#include "compiler/compiler.h"
#include "tests/e2e/harness.h"

namespace qrt::test {

namespace {

// The script itself from memory, everything it includes from the disk.
class ScriptLoader : public qrtc::DiskLoader {
 public:
  ScriptLoader(std::string name, std::string text) : name_(std::move(name)), text_(std::move(text)) {}
  bool load(const std::string& from, const std::string& name, std::string& shownName, std::string& identity,
            std::string& bytes, std::string& why) override {
    if (!from.empty() || name != name_) return DiskLoader::load(from, name, shownName, identity, bytes, why);
    shownName = identity = name_;
    bytes = text_;
    return true;
  }

 private:
  std::string name_, text_;
};

}  // namespace

int32_t CompiledScript::slotOf(const std::string& name) const {
  std::string key = name;
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  auto it = statics.find(key);
  if (it == statics.end()) throw std::runtime_error("the script has no STATIC " + name);
  return it->second;
}

CompiledScript compileScript(const std::string& text, const std::string& folder) {
  const std::u8string dir = (std::filesystem::path(e2e::hostFile(folder)) / "test.qrs").u8string();
  ScriptLoader loader(std::string(dir.begin(), dir.end()), text);
  qrtc::CompileResult r = qrtc::compile(std::string(dir.begin(), dir.end()), loader);
  if (!r.ok()) throw std::runtime_error("the test script does not compile:\n" + qrtc::formatDiagnostics(r));
  return {std::move(r.image), std::move(r.statics)};
}

}  // namespace qrt::test
