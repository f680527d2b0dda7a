#include "tests/support/compiled_script.h"

#include <cctype>
#include <filesystem>
#include <stdexcept>

#include "compiler/compiler.h"
#include "tools/imagetools/check.h"
#include "tools/imagetools/image_view.h"
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

std::string utf8(const std::filesystem::path& p) {
  const std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}

CompiledScript checked(qrtc::CompileResult r) {
  if (!r.ok()) throw std::runtime_error("the script does not compile:\n" + qrtc::formatDiagnostics(r));
  auto image = imgtools::loadImage(r.image);
  if (!image) throw std::runtime_error("the compiler wrote an image the runtime cannot find");
  std::string faults;
  for (const imgtools::Finding& f : imgtools::checkImage(image->view()).findings)
    if (f.severity == imgtools::Finding::Severity::Fault) faults += imgtools::hex8(f.at) + " " + f.text + "\n";
  if (!faults.empty()) throw std::runtime_error("the runtime would refuse the image:\n" + faults);
  return {std::move(r.image), std::move(r.statics)};
}

}  // namespace

int32_t CompiledScript::slotOf(const std::string& name) const {
  std::string key = name;
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  auto it = statics.find(key);
  if (it == statics.end()) throw std::runtime_error("the script has no STATIC " + name);
  return it->second;
}

CompiledScript compileScript(const std::string& text, const std::string& folder) {
  const std::string file = utf8(std::filesystem::path(e2e::hostFile(folder)) / "test.qrs");
  ScriptLoader loader(file, text);
  return checked(qrtc::compile(file, loader));
}

CompiledScript compileFile(const std::filesystem::path& source) {
  qrtc::DiskLoader loader;
  return checked(qrtc::compile(utf8(source), loader));
}

}  // namespace qrt::test
