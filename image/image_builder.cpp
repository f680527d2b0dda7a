#include "image/image_builder.h"

#include "base/vocabulary.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace qrt::img {

namespace {

void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void append32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

// ---------------------------------------------------------------- Routine

int Routine::slot() {
  int s = nextSlot_++;
  touch(s);
  return s;
}

int Routine::slots(int count) {
  int first = nextSlot_;
  nextSlot_ += count;
  touch(nextSlot_ - 1);
  return first;
}

int Routine::param(int j) const { return params_.at(j).slot; }

int Routine::staticSlot() {
  int s = nextStatic_++;
  touchStatic(s);
  return s;
}

void Routine::setSlotCount(int count) { slotCount_ = count; }
void Routine::setStaticSize(int count) { staticSize_ = count; }

void Routine::touch(int s) {
  if (s >= 0) maxSlot_ = std::max(maxSlot_, s);
  // Keep fresh slots clear of slots named explicitly.
  if (s >= nextSlot_ && s < (1 << 20)) nextSlot_ = s + 1;
}

void Routine::touchStatic(int s) {
  if (s >= 0 && s < (1 << 20)) {
    maxStatic_ = std::max(maxStatic_, s);
    nextStatic_ = std::max(nextStatic_, s + 1);
  }
}

void Routine::touchForm(int first, int second, uint32_t flags) {
  if (flags & kFirstStatic) touchStatic(first); else touch(first);
  if (flags & kSecondStatic) touchStatic(second); else touch(second);
}

int Routine::frameSlotCount() const {
  if (slotCount_ > 0) return slotCount_;
  return std::max(maxSlot_ + 1, kReservedSlots);
}

int Routine::staticSizeValue() const {
  if (staticSize_ >= 0) return staticSize_;
  // Static slots are named from any routine but the area is sized by main.
  int size = 0;
  for (auto& r : b_.routines_) size = std::max(size, r->maxStatic_ + 1);
  return size;
}

int Routine::constant(std::string_view text) { return constant(text, slot()); }

int Routine::constant(std::string_view text, int s) {
  touch(s);
  int32_t len = static_cast<int32_t>(text.size() + 1);
  constants_.push_back({s, std::string(text) + '\0', len, len, std::nullopt});
  return s;
}

int Routine::constantWithPairOffset(std::string_view text, int s, uint32_t pairOffset) {
  constant(text, s);
  constants_.back().pairOffset = pairOffset;
  return s;
}

int Routine::constantObject(int s, std::string_view bytes, int32_t lengthField, int32_t capacityField) {
  touch(s);
  constants_.push_back({s, std::string(bytes), lengthField, capacityField, std::nullopt});
  return s;
}

Label Routine::label() { return b_.label(); }

void Routine::bindAt(Label l, bool code) {
  auto& info = b_.labels_.at(l.id);
  if (info.routine >= 0) throw std::logic_error("label bound twice");
  info.routine = number_;
  info.pos = position();
  info.code = code;
}

void Routine::bind(Label l) { bindAt(l, false); }

Label Routine::here() {
  Label l = label();
  bind(l);
  return l;
}

void Routine::emit32(uint32_t v) { append32(code_, v); }

void Routine::fixupAbs(Label l) {
  fixups_.push_back({Fixup::Abs, position(), l.id, 0, false});
  emit32(0);
}

void Routine::fixupRel(Label l) {
  fixups_.push_back({Fixup::Rel, position(), l.id, 0, true});
  emit32(0);
}

void Routine::end() { emit32(op::kEnd); }
void Routine::ret() { emit32(op::kReturn); }
void Routine::enterMain() { emit32(op::kEnterMain); }
void Routine::op(uint32_t code) { emit32(code); }
void Routine::word(uint32_t value) { emit32(value); }
void Routine::byte(uint8_t value) { code_.push_back(value); }

void Routine::callOp(uint32_t code, int routine, int resultSlot, const std::vector<int>& args) {
  emit32(code);
  emit32(routine);
  emit32(resultSlot);
  touch(resultSlot);
  for (int a : args) {
    emit32(a);
    touch(a);
  }
}

void Routine::call(int routine, int resultSlot, const std::vector<int>& args) {
  callOp(op::kCall, routine, resultSlot, args);
}

void Routine::call(const Routine& f, int resultSlot, const std::vector<int>& args) {
  call(f.number(), resultSlot, args);
}

void Routine::native(const std::function<void(X86&)>& body) {
  emit32(op::kNative);
  X86 x(*this);
  body(x);
  if (!x.endsInExit())
    throw std::logic_error("native block in routine " + std::to_string(number_) +
                           " does not end with an exit or a jump");
  if (x.after_.id >= 0) bind(x.after_);
}

void Routine::command(std::string_view name, int resultSlot, const std::vector<int>& args) {
  const int id = findCommand(name);
  if (id < 0) throw std::logic_error("no command " + std::string(name));
  const int wanted = kCommands[id].parameterCount();
  if (static_cast<int>(args.size()) != wanted) {
    throw std::logic_error(std::string(name) + " takes " + std::to_string(wanted) + " arguments, not " +
                           std::to_string(args.size()));
  }
  builtin(id, resultSlot, args);
}

void Routine::builtin(int id, int resultSlot, const std::vector<int>& args) {
  emit32(op::kBuiltin);
  emit32(id);
  // Offset of the following op; engines do not read it, but images carry it.
  int32_t size = 12 + 4 * static_cast<int32_t>(args.size() + 1);
  fixups_.push_back({Fixup::Here, position(), -1, size - 8, false});
  emit32(0);
  emit32(resultSlot);
  touch(resultSlot);
  for (int a : args) {
    emit32(a);
    touch(a);
  }
}

void Routine::store(int x, int y, StrForm f) {
  store(f.mode(), x, y, f.elementOffset, f.flags());
}

void Routine::store(int32_t mode, int x, int y, int32_t elementOffset, uint32_t staticFlags) {
  emit32(op::kStore);
  emit32(mode);
  emit32(x);
  emit32(y);
  emit32(elementOffset);
  emit32(staticFlags);
  touchForm(x, y, staticFlags);
}

void Routine::join(int a, int b, int c, StrForm f) { join(f.mode(), a, b, c, f.flags()); }

void Routine::join(int32_t mode, int a, int b, int c, uint32_t staticFlags) {
  emit32(op::kJoin);
  emit32(mode);
  emit32(a);
  emit32(b);
  emit32(c);
  emit32(staticFlags);
  touchForm(a, b, staticFlags);
  touch(c);
}

void Routine::compare(int32_t code, int a, int b, int r, StrForm f) {
  compare(f.mode(), code, a, b, r, f.flags());
}

void Routine::compare(int32_t mode, int32_t code, int a, int b, int r, uint32_t staticFlags) {
  emit32(op::kCompare);
  emit32(mode);
  emit32(code);
  emit32(a);
  emit32(b);
  emit32(r);
  emit32(staticFlags);
  touchForm(a, b, staticFlags);
  touch(r);
}

void Routine::exfuncCall(int routine, int resultSlot, const std::vector<int>& args) {
  callOp(op::kExternal, routine, resultSlot, args);
}

void Routine::setDescriptorWord(uint32_t byteOffset, uint32_t value) {
  descriptorWords_[byteOffset] = value;
}

// ----------------------------------------------------------- ImageBuilder

ImageBuilder::ImageBuilder() {
  routines_.push_back(std::unique_ptr<Routine>(new Routine(*this, 0, Routine::Kind::Main)));
}

void ImageBuilder::setVersion(std::string_view six) {
  if (six.size() != 6) throw std::logic_error("the version text has six characters");
  version_ = six;
}

Routine& ImageBuilder::main() { return *routines_[0]; }

Routine& ImageBuilder::main(int slotCount, int staticSize) {
  Routine& m = *routines_[0];
  m.setSlotCount(slotCount);
  m.setStaticSize(staticSize);
  return m;
}

Routine& ImageBuilder::func(std::vector<Param> params, int32_t resultType, int slotCount) {
  int n = routineCount();
  routines_.push_back(std::unique_ptr<Routine>(new Routine(*this, n, Routine::Kind::Func)));
  Routine& f = *routines_.back();
  for (auto& p : params) {
    if (p.slot < 0) p.slot = f.nextSlot_;
    f.touch(p.slot);
  }
  f.params_ = std::move(params);
  f.resultType_ = resultType;
  f.slotCount_ = slotCount;
  return f;
}

int ImageBuilder::exfunc(std::string_view dll, std::string_view function, int32_t resultType,
                         std::vector<int32_t> paramTypes) {
  int n = routineCount();
  routines_.push_back(std::unique_ptr<Routine>(new Routine(*this, n, Routine::Kind::Exfunc)));
  Routine& e = *routines_.back();
  e.resultType_ = resultType;
  e.exTypes_ = std::move(paramTypes);
  e.dllSlot_ = e.constant(dll);
  e.fnSlot_ = e.constant(function);
  e.ret();
  return n;
}

Label ImageBuilder::label() {
  labels_.push_back({});
  return Label{static_cast<int>(labels_.size() - 1)};
}

uint32_t ImageBuilder::offsetOf(Label l) const {
  const auto& info = labels_.at(l.id);
  if (info.routine < 0) throw std::logic_error("label is not bound");
  if (opStarts_.size() != routines_.size()) throw std::logic_error("offsetOf before build()");
  return opStarts_[info.routine] + info.pos;
}

std::vector<uint8_t> ImageBuilder::build() {
  const size_t count = routines_.size();
  descriptors_.assign(count, 0);
  opStarts_.assign(count, 0);

  // Layout: table, gap, then the descriptors in routine order.
  uint32_t pos = static_cast<uint32_t>(4 * count) + tableGap_;
  for (size_t i = 0; i < count; ++i) {
    const Routine& r = *routines_[i];
    descriptors_[i] = pos;
    uint32_t pairs = 0;
    if (r.kind_ == Routine::Kind::Func) pairs = static_cast<uint32_t>(r.params_.size() + 1);
    if (r.kind_ == Routine::Kind::Exfunc) pairs = static_cast<uint32_t>(r.exTypes_.size() + 1);
    uint32_t size = 20 + 8 * pairs + 4 + 8 * static_cast<uint32_t>(r.constants_.size());
    for (auto& c : r.constants_) size += 16 + static_cast<uint32_t>(c.bytes.size());
    opStarts_[i] = pos + size;
    pos += size + static_cast<uint32_t>(r.code_.size());
  }
  imageSize_ = pos;

  std::vector<uint8_t> out;
  out.reserve(kHeaderSize + pos);
  std::string header = "QRT";
  header += static_cast<char>(flag_);
  header += version_;
  header += "(C) VELMORAK";
  out.assign(header.begin(), header.end());
  const size_t base = out.size();
  out.resize(base + pos, 0);

  for (size_t i = 0; i < count; ++i) {
    auto it = tableOverrides_.find(static_cast<int>(i));
    put32(out, base + 4 * i, it != tableOverrides_.end() ? it->second : descriptors_[i]);
  }

  for (size_t i = 0; i < count; ++i) {
    const Routine& r = *routines_[i];
    std::vector<uint8_t> d;
    const uint32_t slots = static_cast<uint32_t>(r.frameSlotCount());
    switch (r.kind_) {
      case Routine::Kind::Main:
        for (uint32_t w : {0u, 0u, slots, static_cast<uint32_t>(r.staticSizeValue()), 0u}) append32(d, w);
        break;
      case Routine::Kind::Func:
        for (uint32_t w : {slots - 2, slots - 1, slots, 0u, static_cast<uint32_t>(r.params_.size())})
          append32(d, w);
        for (auto& p : r.params_) {
          append32(d, p.slot);
          append32(d, p.type);
        }
        append32(d, kResultSlot);
        append32(d, r.resultType_);
        break;
      case Routine::Kind::Exfunc:
        for (uint32_t w : {static_cast<uint32_t>(r.dllSlot_), static_cast<uint32_t>(r.fnSlot_), slots, 0u,
                           static_cast<uint32_t>(r.exTypes_.size())})
          append32(d, w);
        append32(d, 0);  // slot numbers of EXFUNC pairs are not read
        append32(d, r.resultType_);
        for (int32_t t : r.exTypes_) {
          append32(d, 0);
          append32(d, t);
        }
        break;
    }
    append32(d, static_cast<uint32_t>(r.constants_.size()));
    uint32_t areaOffset = 0;
    for (auto& c : r.constants_) {
      append32(d, c.slot);
      append32(d, c.pairOffset ? *c.pairOffset : areaOffset);
      areaOffset += 16 + static_cast<uint32_t>(c.bytes.size());
    }
    for (auto& c : r.constants_) {
      append32(d, c.length);
      append32(d, c.capacity);
      append32(d, 0);  // mark
      append32(d, 0);  // link
      d.insert(d.end(), c.bytes.begin(), c.bytes.end());
    }
    for (auto& [at, value] : r.descriptorWords_) {
      if (at + 4 > d.size()) throw std::logic_error("descriptor word override beyond the descriptor");
      put32(d, at, value);
    }

    std::copy(d.begin(), d.end(), out.begin() + base + descriptors_[i]);
    const uint32_t start = opStarts_[i];
    std::copy(r.code_.begin(), r.code_.end(), out.begin() + base + start);

    for (auto& f : r.fixups_) {
      const uint32_t at = start + f.pos;  // image offset of the fixed-up word
      uint32_t value = 0;
      if (f.kind == Routine::Fixup::Here) {
        value = at + f.addend;
      } else {
        const LabelInfo& target = labels_.at(f.label);
        if (target.routine < 0)
          throw std::logic_error("label " + std::to_string(f.label) + " used in routine " +
                                 std::to_string(i) + " is never bound");
        const uint32_t dest = opStarts_[target.routine] + target.pos;
        if (f.kind == Routine::Fixup::Abs) {
          if (target.code)
            throw std::logic_error("an exit names a label in native code; it must name an op");
          value = dest;
        } else {
          if (!target.code)
            throw std::logic_error("a jump names an op label; jumps go to labels bound in native code");
          value = dest - (at + 4);
        }
      }
      put32(out, base + at, value);
    }
  }
  return out;
}

}  // namespace qrt::img
