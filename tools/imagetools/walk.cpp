#include "tools/imagetools/walk.h"

#include <string>
#include <utility>

#include "image/image_builder.h"

namespace qrt::imgtools {

namespace {

class Walker {
 public:
  Walker(const ImageView& image, Descriptors& descriptors, Walk& w) : image_(image), descriptors_(descriptors), w_(w) {}

  void run() {
    w_.tableRoutines = tableRoutineCount(image_);
    for (uint32_t r = 0; r < w_.tableRoutines; ++r) enter(r);
    while (!work_.empty()) {
      if (++steps_ > kMaxWalkSteps) {
        note(0, -1, "the walk stopped after " + std::to_string(kMaxWalkSteps) + " positions; later faults may be missed");
        return;
      }
      Item item = work_.back();
      work_.pop_back();
      if (item.code) visitCode(item);
      else visitOp(item);
    }
  }

 private:
  struct Item {
    bool code;
    uint32_t at;
    uint32_t routine;
    uint32_t from;  // the op or instruction that leads here
  };

  void fault(uint32_t at, uint32_t routine, std::string text) {
    w_.findings.push_back({at, Finding::Severity::Fault, static_cast<int>(routine), std::move(text)});
  }
  void note(uint32_t at, int routine, std::string text) {
    w_.findings.push_back({at, Finding::Severity::Note, routine, std::move(text)});
  }

  void enter(uint32_t routine) {
    if (!entered_.insert(routine).second) return;
    w_.routines.push_back(routine);
    const Descriptor& d = descriptors_.get(routine);
    if (d.valid) work_.push_back({false, d.firstOp, routine, d.at});
  }

  void visitOp(const Item& item) {
    const int32_t slots = descriptors_.get(item.routine).slotCount;
    if (!seenOps_.insert({item.at, slots}).second) return;
    if (!image_.fits(item.at, 4)) {
      fault(item.from, item.routine, "the next op, at " + hex8(item.at) + ", lies outside the image");
      return;
    }
    auto it = w_.ops.find(item.at);
    if (it == w_.ops.end()) it = w_.ops.emplace(item.at, decodeOp(image_, item.at, descriptors_)).first;
    const Op& op = it->second;
    w_.visits.push_back({item.at, item.routine});
    const auto next = [&] {
      if (op.whole) work_.push_back({false, op.at + op.size, item.routine, op.at});
    };
    switch (op.code) {
      case img::op::kCall:
      case img::op::kExternal:
        (op.code == img::op::kCall ? w_.calledByCall : w_.calledByExternal).insert(op.routine);
        enter(op.routine);
        next();
        break;
      case img::op::kNative:
        if (!image_.fits(op.at + 4ull, 1)) {
          fault(op.at, item.routine, "native block op with no code before the end of the image");
        } else {
          work_.push_back({true, op.at + 4, item.routine, op.at});
        }
        break;
      case img::op::kBuiltin:
      case img::op::kStore:
      case img::op::kJoin:
      case img::op::kCompare: next(); break;
      default: break;  // 0 and 4 leave the routine; the rest stop the program
    }
  }

  void visitCode(const Item& item) {
    const int32_t slots = descriptors_.get(item.routine).slotCount;
    if (!seenCode_.insert({item.at, slots}).second) return;
    if (!image_.fits(item.at, 1)) {
      fault(item.from, item.routine, "native code at " + hex8(item.from) + " continues at " + hex8(item.at) +
                                         ", outside the image");
      return;
    }
    auto it = w_.code.find(item.at);
    if (it == w_.code.end()) it = w_.code.emplace(item.at, decodeInstruction(image_, item.at)).first;
    const Instruction& in = it->second;
    using Flow = Instruction::Flow;
    if (in.flow == Flow::Unknown) {
      note(in.at, static_cast<int>(item.routine),
           "native code not made by the image builder's emitter; its exits are not followed");
      return;
    }
    if (in.setsNextOp) work_.push_back({false, in.nextOp, item.routine, in.at});
    if (in.writesPc) note(in.at, static_cast<int>(item.routine), "native code computes the next op; it is not followed");
    if (in.flow == Flow::Next || in.flow == Flow::Branch) work_.push_back({true, in.at + in.length, item.routine, in.at});
    if (in.flow == Flow::Jump || in.flow == Flow::Branch) work_.push_back({true, in.target, item.routine, in.at});
  }

  const ImageView& image_;
  Descriptors& descriptors_;
  Walk& w_;
  std::vector<Item> work_;
  std::set<uint32_t> entered_;
  std::set<std::pair<uint32_t, int32_t>> seenOps_, seenCode_;
  uint32_t steps_ = 0;
};

}  // namespace

Walk walkImage(const ImageView& image, Descriptors& descriptors) {
  Walk w;
  Walker(image, descriptors, w).run();
  return w;
}

}  // namespace qrt::imgtools
