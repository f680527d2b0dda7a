#include "tools/imagetools/dump.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "image/image_builder.h"
#include "tools/imagetools/descriptor.h"
#include "tools/imagetools/op_text.h"
#include "tools/imagetools/text932.h"
#include "tools/imagetools/walk.h"

namespace qrt::imgtools {

namespace {

enum class Kind { Main, Func, Exfunc };

// DLLs every Windows has: a game need not ship them.
bool isSystemDll(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (name.size() < 4 || name.compare(name.size() - 4, 4, ".dll") != 0) name += ".dll";
  static const char* const kSystem[] = {"kernel32.dll", "user32.dll", "gdi32.dll",  "advapi32.dll", "shell32.dll",
                                        "ole32.dll",    "winmm.dll",  "msvcrt.dll", "ws2_32.dll",   "comdlg32.dll",
                                        "version.dll",  "imm32.dll",  "ntdll.dll"};
  return std::find(std::begin(kSystem), std::end(kSystem), name) != std::end(kSystem);
}

std::string hexBytes(std::span<const uint8_t> bytes) {
  std::string s;
  for (uint8_t b : bytes) s += hex8(b).substr(6) + " ";
  return s;
}

class Printer {
 public:
  Printer(const LoadedImage& image, const DumpOptions& options)
      : loaded_(image), image_(image.view()), options_(options), descriptors_(image_) {}

  std::string run() {
    header();
    if (image_.size() < 8) {
      line("the image is too short for a routine table: the runtime refuses it");
      return out_;
    }
    walk_ = walkImage(image_, descriptors_);
    line("routine table: " + std::to_string(walk_.tableRoutines) + " entries at 00000000");
    for (uint32_t r : walk_.routines) routine(r);
    elsewhere();
    dlls();
    return out_;
  }

 private:
  void line(const std::string& s) { out_ += s + "\n"; }

  void header() {
    const auto& h = loaded_.header;
    std::string text(h.begin(), h.end());
    if (loaded_.headerAt > 0)
      line("game: runtime of " + std::to_string(loaded_.headerAt) + " bytes, then the image");
    line("header at file byte " + std::to_string(loaded_.headerAt) + ": " + quoted932(text));
    const uint8_t flag = loaded_.flagByte();
    line("  flag byte 0x" + hex8(flag).substr(6) +
         (flag == 0x80 ? ": one running copy per executable path" : ": any number of copies may run"));
    if (h.size() >= 10) line("  version " + quoted932(text.substr(4, 6)));
    line("image: " + std::to_string(loaded_.fileImageSize) + " bytes from file byte " +
         std::to_string(loaded_.headerAt + h.size()) + "; offsets below count from there");
  }

  Kind kindOf(uint32_t r) {
    if (r == 0) return Kind::Main;
    if (walk_.calledByExternal.count(r)) return Kind::Exfunc;
    if (walk_.calledByCall.count(r)) return Kind::Func;
    // Never called: an EXFUNC carries constants for both names and one
    // return op, which a FUNC of the builder's kind does not.
    const Descriptor& d = descriptors_.get(r);
    if (d.valid && d.word0 != d.word4 && d.constantFor(d.word0) && d.constantFor(d.word4) &&
        (image_.word(d.firstOp) & 0xFF) == img::op::kReturn)
      return Kind::Exfunc;
    return Kind::Func;
  }

  std::string exfuncNames(const Descriptor& d) {
    const Constant* dll = d.constantFor(d.word0);
    const Constant* fn = d.constantFor(d.word4);
    return (dll && dll->readable ? quoted932(dll->text) : "(no DLL name)") + " " +
           (fn && fn->readable ? quoted932(fn->text) : "(no function name)");
  }

  void routine(uint32_t r) {
    const Descriptor& d = descriptors_.get(r);
    const Kind kind = kindOf(r);
    std::string title = "\nroutine " + std::to_string(r) + ": ";
    title += kind == Kind::Main ? "main" : kind == Kind::Func ? "FUNC" : "EXFUNC " + exfuncNames(d);
    if (r >= walk_.tableRoutines) title += " (beyond the routine table)";
    if (d.located) title += ", descriptor at " + hex8(d.at);
    line(title);
    for (const Finding& f : d.faults) line("  refused: " + f.text + " (at " + hex8(f.at) + ")");
    if (!d.located) return;
    std::string frame = "  frame " + std::to_string(d.slotCount) + " slots";
    if (kind == Kind::Main) frame += ", static area " + std::to_string(d.staticSize) + " slots";
    line(frame);
    signature(d, kind);
    constants(d);
    if (!d.valid) return;
    if (kind == Kind::Exfunc) exfunc_.push_back(r);
    if (!streams_.insert(d.firstOp).second) {
      line("  ops from " + hex8(d.firstOp) + ", shown above");
      return;
    }
    ops(d, regionEnd(d.firstOp));
  }

  void signature(const Descriptor& d, Kind kind) {
    if (kind == Kind::Main || d.pairs.empty()) return;
    const uint32_t k = d.paramCount;
    std::string s = "  parameters " + std::to_string(k);
    for (uint32_t j = 0; j < k && j < 32; ++j) {
      const TypePair& p = kind == Kind::Func ? d.pairs[j] : d.pairs[j + 1];
      s += j ? ", " : ": ";
      s += kind == Kind::Func ? "slot " + std::to_string(p.slot) + " " + typeName(p.type) : typeName(p.type);
    }
    if (k > 32) s += ", ...";
    const TypePair& result = kind == Kind::Func ? d.pairs[k] : d.pairs[0];
    line(s + "; result " + typeName(result.type) + (kind == Kind::Func ? " in slot 8" : ""));
  }

  void constants(const Descriptor& d) {
    if (d.constants.empty()) return;
    line("  constants " + std::to_string(d.constants.size()) + ", area at " + hex8(d.areaAt));
    for (const Constant& c : d.constants) {
      std::string s = "    slot " + std::to_string(c.slot) + " = ";
      s += c.readable ? quoted932(c.text) : "(no readable object at area offset " + std::to_string(c.offset) + ")";
      line(s);
    }
  }

  // A routine's op stream runs up to the next descriptor or the image's end.
  uint32_t regionEnd(uint32_t start) {
    uint32_t end = loaded_.fileImageSize;
    for (const auto& [n, d] : descriptors_.all())
      if (d.located && d.at > start && d.at < end) end = d.at;
    return std::max(end, start);
  }

  void ops(const Descriptor& d, uint32_t end) {
    line("  ops from " + hex8(d.firstOp) + " up to " + hex8(end));
    uint32_t at = d.firstOp;
    while (at < end) {
      if (auto op = walk_.ops.find(at); op != walk_.ops.end()) {
        at = opItem(op->second, d, end);
      } else if (auto in = walk_.code.find(at); in != walk_.code.end() && in->second.length) {
        printed_.insert(at);
        instruction(in->second);
        at += in->second.length;
      } else {
        at = gap(at, end);
      }
    }
  }

  uint32_t opItem(const Op& op, const Descriptor& frame, uint32_t end) {
    printed_.insert(op.at);
    if (op.code != img::op::kNative) {
      line("    " + hex8(op.at) + "  " + opText(op, descriptors_, &frame));
      return op.sized() ? std::min<uint64_t>(end, uint64_t{op.at} + op.size) : std::min(end, op.at + 4);
    }
    // The block's extent: its instructions laid end to end.
    std::vector<const Instruction*> block;
    std::set<uint32_t> exits;
    uint64_t at = op.at + 4ull;
    for (auto it = walk_.code.find(static_cast<uint32_t>(at)); it != walk_.code.end() && it->first == at;
         it = walk_.code.find(static_cast<uint32_t>(at))) {
      block.push_back(&it->second);
      if (it->second.setsNextOp) exits.insert(it->second.nextOp);
      if (!it->second.length) break;
      at += it->second.length;
    }
    std::string s = "    " + hex8(op.at) + "  native block, " + std::to_string(at - op.at - 4) + " bytes of code";
    if (!block.empty() && !block.back()->length) s += " and more not decoded";
    if (!exits.empty()) {
      s += "; next op";
      for (uint32_t e : exits) s.append(" ").append(hex8(e));
    }
    line(s);
    for (const Instruction* in : block) {
      printed_.insert(in->at);
      if (options_.code || !in->length) instruction(*in);
    }
    return static_cast<uint32_t>(std::min<uint64_t>(end, std::max<uint64_t>(at, op.at + 4ull)));
  }

  void instruction(const Instruction& in) {
    if (!in.length) {
      line("      " + hex8(in.at) + "  " + in.text + "  ; not an instruction of the emitter: bytes follow");
      return;
    }
    std::string bytes = hexBytes(image_.bytes(in.at, in.length));
    bytes.resize(std::max<size_t>(bytes.size(), 24), ' ');
    line("      " + hex8(in.at) + "  " + bytes + " " + in.text);
  }

  uint32_t gap(uint32_t at, uint32_t end) {
    uint32_t next = end;
    if (auto op = walk_.ops.upper_bound(at); op != walk_.ops.end()) next = std::min(next, op->first);
    if (auto in = walk_.code.upper_bound(at); in != walk_.code.end()) next = std::min(next, in->first);
    next = std::max(next, at + 1);
    const uint32_t n = next - at;
    std::string s = "    " + hex8(at) + "  " + std::to_string(n) + " bytes not reached: " +
                    hexBytes(image_.bytes(at, std::min<uint32_t>(n, 16)));
    line(n > 16 ? s + "..." : s);
    return next;
  }

  void elsewhere() {
    bool any = false;
    for (const auto& [at, op] : walk_.ops) {
      if (printed_.count(at)) continue;
      if (!any) line("\nreached outside the routines' op streams, or inside other items:");
      any = true;
      line("    " + hex8(at) + "  " + (op.code == img::op::kNative ? "native block" : opText(op, descriptors_)));
    }
    for (const auto& [at, in] : walk_.code) {
      if (printed_.count(at)) continue;
      if (!any) line("\nreached outside the routines' op streams, or inside other items:");
      any = true;
      if (options_.code) instruction(in);
    }
  }

  void dlls() {
    std::map<std::string, std::set<std::string>> byDll;
    for (uint32_t r : exfunc_) {
      const Descriptor& d = descriptors_.get(r);
      const Constant* dll = d.constantFor(d.word0);
      const Constant* fn = d.constantFor(d.word4);
      if (dll && fn && dll->readable && fn->readable) byDll[std::string(dll->text)].insert(std::string(fn->text));
    }
    line("\nEXFUNC DLLs: " + std::to_string(byDll.size()));
    for (const auto& [dll, functions] : byDll) {
      std::string s = "  " + quoted932(dll) + (isSystemDll(dll) ? " (part of Windows)" : " (ship it beside the game)") + ":";
      for (const std::string& f : functions) s.append(" ").append(quoted932(f));
      line(s);
    }
  }

  const LoadedImage& loaded_;
  ImageView image_;
  DumpOptions options_;
  Descriptors descriptors_;
  Walk walk_;
  std::string out_;
  std::set<uint32_t> printed_, streams_;
  std::vector<uint32_t> exfunc_;
};

}  // namespace

std::string dumpImage(const LoadedImage& image, const DumpOptions& options) { return Printer(image, options).run(); }

}  // namespace qrt::imgtools
