#include "tools/imagetools/check.h"

#include <algorithm>
#include <set>
#include <string>

#include "base/vocabulary.h"
#include "engine/image_rules.h"
#include "image/image_builder.h"
#include "tools/imagetools/descriptor.h"
#include "tools/imagetools/ops.h"
#include "tools/imagetools/walk.h"

namespace qrt::imgtools {

namespace {

std::string num(uint64_t v) { return std::to_string(v); }

class OpRules {
 public:
  OpRules(const Op& op, const Descriptor& frame, uint32_t statics, Descriptors& descriptors,
          std::vector<Finding>& out, int routine)
      : op_(op), slots_(static_cast<uint32_t>(frame.slotCount)), statics_(statics), descriptors_(descriptors),
        out_(out), routine_(routine) {}

  void run() {
    switch (op_.code) {
      case img::op::kEnd:
      case img::op::kReturn:
      case img::op::kNative: return;
      case img::op::kCall:
      case img::op::kExternal: return call();
      case img::op::kBuiltin: return builtin();
      case img::op::kStore:
      case img::op::kJoin:
      case img::op::kCompare: return stringOp();
      case img::op::kInvalid: return fault("op 5 is invalid");
      case img::op::kEnterMain: return fault("op 6 (enter main) belongs to the engine's start-up; a program may not use it");
      default: return fault("op code " + num(op_.code) + " does not exist (0..10)");
    }
  }

 private:
  void fault(const std::string& text) {
    out_.push_back({op_.at, Finding::Severity::Fault, routine_, prefix_ + text});
  }

  // A slot of the running frame that receives a value.
  void destination(const std::string& what, uint32_t s) {
    if (s >= slots_) fault(what + " slot " + num(s) + " lies beyond the frame (" + num(slots_) + " slots)");
    else if (isReservedSlot(s)) fault(what + " slot " + num(s) + " is one of the engine's own (1, 2, 3, 5)");
  }
  void source(const std::string& what, uint32_t s) {
    if (s >= slots_) fault(what + " slot " + num(s) + " lies beyond the frame (" + num(slots_) + " slots)");
  }

  void call() {
    prefix_ = std::string(opName(op_.code)) + " of routine " + num(op_.routine) + ": ";
    if (!op_.headFits) return fault("the op is cut off by the end of the image");
    const Descriptor& d = descriptors_.get(op_.routine);
    if (!d.valid) {
      return fault("the runtime refuses the routine's descriptor" +
                   (d.faults.empty() ? std::string() : " (" + d.faults.front().text + ", at " + hex8(d.faults.front().at) + ")"));
    }
    if (op_.routine == 0) return fault("the main routine is entered only by the engine");
    if (!op_.whole) return fault("its " + num(d.paramCount) + " argument slots run past the end of the image");
    destination("result", op_.result);
    for (size_t j = 0; j < op_.args.size(); ++j) source("argument " + num(j + 1), op_.args[j]);
    if (op_.code == img::op::kCall) {
      for (const TypePair& p : d.badParamPairs)
        fault("the routine's parameter pair at " + hex8(p.at) + " names slot " + num(p.slot) +
              (p.slot >= static_cast<uint32_t>(d.slotCount) ? ", beyond its frame (" + num(d.slotCount) + " slots)"
                                                            : ", one of the engine's own (1, 2, 3, 5)"));
      return;
    }
    if (d.paramCount > kMaxExternalArguments)
      fault("the routine has " + num(d.paramCount) + " parameters; an external call passes at most " +
            num(kMaxExternalArguments));
    std::string missing;
    if (!d.constantFor(d.word0)) missing = "DLL name (slot " + num(d.word0) + ")";
    if (!d.constantFor(d.word4))
      missing += (missing.empty() ? "" : " nor its ") + std::string("function name (slot ") + num(d.word4) + ")";
    if (!missing.empty()) fault("no constant of the routine holds its " + missing);
  }

  void builtin() {
    prefix_ = "built-in";
    if (op_.command > 0 && op_.command < static_cast<uint32_t>(kCommandCount))
      prefix_ += std::string(" ") + kCommands[op_.command].name;
    prefix_ += ": ";
    if (!op_.headFits) return fault("the op is cut off by the end of the image");
    if (!op_.sized()) return fault("command id " + num(op_.command) + " is not in the vocabulary (1.." + num(kCommandCount - 1) + ")");
    if (!op_.whole) return fault("its operand slots run past the end of the image");
    const CommandInfo& c = kCommands[op_.command];
    if (c.resultLetter() != 'N') destination("result", op_.result);
    else source("result", op_.result);
    for (size_t j = 0; j < op_.args.size(); ++j) source("argument " + num(j + 1), op_.args[j]);
  }

  void stringOp() {
    const bool compare = op_.code == img::op::kCompare;
    prefix_ = std::string(opName(op_.code)) + ": ";
    if (!op_.whole) return fault("the op is cut off by the end of the image");
    if (!isStringOpMode(op_.mode)) return fault("mode 0x" + hex8(op_.mode).substr(6) + " is not one of 0x80, 0x82, 0xA0, 0xA2");
    if ((op_.firstStatic() || op_.secondStatic()) && statics_ == 0)
      fault("an operand names the static area, but the main routine has none (static size 0)");
    const char* names = op_.code == img::op::kStore ? "XY" : "AB";
    operand(std::string(1, names[0]), op_.first, op_.firstElement(), op_.firstStatic(), op_.code == img::op::kStore);
    operand(std::string(1, names[1]), op_.second, op_.secondElement(), op_.secondStatic(), false);
    if (op_.code == img::op::kJoin) destination("C: result", op_.target);
    if (compare) {
      if (!compareSymbol(op_.compareCode))
        fault("comparison code 0x" + hex8(op_.compareCode).substr(6) + " is not one of 0x2A..0x30");
      destination("R: result", op_.target);
    }
  }

  void operand(const std::string& name, uint32_t n, bool element, bool isStatic, bool written) {
    // An element's index lies in a frame slot at run time: only the slot
    // holding it can be checked here (slots 6 and 7 for static elements).
    if (element) {
      if (!isStatic) source(name + ": the element index's", n);
      return;
    }
    if (isStatic) {
      if (n >= statics_ && statics_ > 0)
        fault(name + ": static slot " + num(n) + " lies beyond the static area (" + num(statics_) + " slots)");
      return;
    }
    if (written) destination(name + ":", n);
    else source(name + ":", n);
  }

  const Op& op_;
  uint32_t slots_, statics_;
  Descriptors& descriptors_;
  std::vector<Finding>& out_;
  int routine_;
  std::string prefix_;
};

// The main routine and every routine a call or external call in a routine
// so reached names: what the engine may enter.
std::set<uint32_t> reachedFromMain(const Walk& walk) {
  std::set<uint32_t> reached{0};
  for (size_t before = 0; before != reached.size();) {
    before = reached.size();
    for (const OpVisit& v : walk.visits) {
      const Op& op = walk.ops.at(v.at);
      if ((op.code == img::op::kCall || op.code == img::op::kExternal) && reached.count(v.routine))
        reached.insert(op.routine);
    }
  }
  return reached;
}

}  // namespace

size_t CheckResult::faults() const {
  return static_cast<size_t>(std::count_if(findings.begin(), findings.end(),
                                           [](const Finding& f) { return f.severity == Finding::Severity::Fault; }));
}

CheckResult checkImage(const ImageView& image) {
  CheckResult result;
  auto& out = result.findings;
  if (image.size() < 8) {
    out.push_back({0, Finding::Severity::Fault, -1,
                   "the image holds " + num(image.size()) + " bytes with the loader's line feed: no room for a routine table"});
    return result;
  }
  Descriptors descriptors(image);
  Walk walk = walkImage(image, descriptors);
  const std::set<uint32_t> reached = reachedFromMain(walk);
  // What is wrong in a routine no call reaches never stops the game: a note.
  auto keep = [&](std::vector<Finding> found, uint32_t routine) {
    if (!reached.count(routine))
      for (Finding& f : found) {
        f.severity = Finding::Severity::Note;
        f.text = "never called: " + f.text;
      }
    out.insert(out.end(), found.begin(), found.end());
  };
  // A routine beyond the table exists only as a call op's number: the call
  // op's own fault says why the runtime refuses it.
  for (uint32_t r : walk.routines)
    if (r < walk.tableRoutines) keep(descriptors.get(r).faults, r);
  out.insert(out.end(), walk.findings.begin(), walk.findings.end());
  const Descriptor& main = descriptors.get(0);
  const uint32_t statics = main.valid ? main.staticSize : 0;
  for (const OpVisit& v : walk.visits) {
    std::vector<Finding> found;
    OpRules(walk.ops.at(v.at), descriptors.get(v.routine), statics, descriptors, found, static_cast<int>(v.routine)).run();
    keep(std::move(found), v.routine);
  }

  // Code that runs on into an op (the emitter never writes one) would run
  // the op's words as machine code.
  for (const auto& [at, op] : walk.ops) {
    auto it = walk.code.upper_bound(at);
    if (it == walk.code.begin()) continue;
    --it;
    if (it->second.length && at < it->first + it->second.length)
      out.push_back({it->first, Finding::Severity::Note, -1, "native code here overlaps the op at " + hex8(at)});
  }

  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  result.routines = walk.routines.size();
  result.ops = walk.ops.size();
  result.instructions = walk.code.size();
  return result;
}

}  // namespace qrt::imgtools
