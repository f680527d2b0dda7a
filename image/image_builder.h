// qrtimage: writes program images for tests, demos and tools.
//
// An image is the 22-byte header followed by the routine table and one
// descriptor per routine (main = routine 0, then FUNC and EXFUNC routines in
// the order they were added). Every descriptor carries its constants as
// string objects and then its op stream. All offsets inside the image are
// relative to the image base (header start + 22).
//
//   qrt::img::ImageBuilder b;
//   auto& m = b.main();
//   auto& add = b.func({Int, Int}, Int);          // params in slots 9, 10
//   add.native([&](X86& x) {                       // slot 8 = result
//     x.load(EAX, add.param(0)); x.addSlot(EAX, add.param(1));
//     x.store(8, EAX); x.next();
//   });
//   add.ret();
//   int a = m.slot(), b2 = m.slot(), sum = m.slot();
//   m.native([&](X86& x) { x.storeImm(a, 2); x.storeImm(b2, 3); x.next(); });
//   m.call(add, sum, {a, b2});
//   int hello = m.constant("hello"), s = m.slot();
//   m.store(s, hello);                             // s <- copy of "hello"
//   m.end();
//   std::vector<uint8_t> file = b.build();         // header + image
//
// Slot counts and the static size grow automatically to cover every slot an
// op or the emitter names, unless set explicitly (then they are written
// verbatim, which is how tests make frames that are too small).
//
// Nothing is validated against the engine's rules on purpose: routine
// numbers, slot numbers and op codes are written as given, so that tests can
// build broken images. Only builder misuse (an unbound label, a label bound
// twice, a native block that falls off its end, a jump into an op instead of
// code) throws std::logic_error.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/x86.h"

namespace qrt::img {

constexpr uint32_t kHeaderSize = 22;
constexpr int kReservedSlots = 9;  // slots 0..8 of every frame
constexpr int kResultSlot = 8;
constexpr int kElement1Slot = 6, kElement2Slot = 7;

// Type codes of parameter and result pairs.
enum Type : int32_t { None = 0, Int = 1, Str = 2 };

namespace op {
constexpr uint32_t kEnd = 0, kCall = 1, kNative = 2, kBuiltin = 3, kReturn = 4,
                   kInvalid = 5, kEnterMain = 6, kStore = 7, kJoin = 8, kCompare = 9,
                   kExternal = 10;
}

// Comparison codes of the compare op (relation of A to B).
enum Compare : int32_t {
  Greater = 0x2A, Less = 0x2B, GreaterEq = 0x2C, LessEq = 0x2D,
  NotEq = 0x2E, Never = 0x2F, Equal = 0x30,
};

// Mode and static-flag bits of the string ops.
constexpr int32_t kModePlain = 0x80, kModeFirstElement = 0x20, kModeSecondElement = 0x02;
constexpr uint32_t kFirstStatic = 0x80000000u, kSecondStatic = 0x40000000u;

// Operand forms of a string op, e.g. {.firstStatic = true}.
//  element: the operand slot holds the slot number of an array element
//  static:  the operand names a static-area slot
struct StrForm {
  bool firstElement = false;
  bool secondElement = false;
  bool firstStatic = false;
  bool secondStatic = false;
  int32_t elementOffset = 0;  // store op only: added to the first operand's element index
  int32_t mode() const {
    return kModePlain | (firstElement ? kModeFirstElement : 0) | (secondElement ? kModeSecondElement : 0);
  }
  uint32_t flags() const { return (firstStatic ? kFirstStatic : 0) | (secondStatic ? kSecondStatic : 0); }
};

// A FUNC parameter: a type code alone (the next free slot receives it) or
// {slot, type}.
struct Param {
  Param(int32_t type) : slot(-1), type(type) {}
  Param(int32_t slot, int32_t type) : slot(slot), type(type) {}
  int32_t slot;
  int32_t type;
};

class ImageBuilder;

class Routine {
 public:
  enum class Kind { Main, Func, Exfunc };

  int number() const { return number_; }
  Kind kind() const { return kind_; }

  // --- slots ---
  int slot();                                  // a fresh frame slot
  int slots(int count);                        // `count` consecutive fresh slots; the first
  int param(int j) const;                      // slot receiving argument j (0-based)
  int staticSlot();                            // a fresh static-area slot (main only)
  void setSlotCount(int count);                // verbatim; default: automatic
  void setStaticSize(int count);               // verbatim; default: automatic (main only)

  // --- constants (cp932 bytes as given, NUL added) ---
  int constant(std::string_view text);               // bound to a fresh slot
  int constant(std::string_view text, int slot);     // bound to `slot`
  // Broken constants for tests: the pair carries `pairOffset` instead of the
  // object's real position in the constant area.
  int constantWithPairOffset(std::string_view text, int slot, uint32_t pairOffset);
  // A string object whose header fields are given: `bytes` are written
  // verbatim after the 16-byte header (no NUL added).
  int constantObject(int slot, std::string_view bytes, int32_t lengthField, int32_t capacityField);

  // --- labels (ops; code labels are bound with X86::bind) ---
  Label label();
  void bind(Label op);
  Label here();                                // new label bound at the next op
  uint32_t position() const { return static_cast<uint32_t>(code_.size()); }  // within the op stream

  // --- ops ---
  void end();                                                                  // 0
  void call(int routine, int resultSlot, const std::vector<int>& args = {});   // 1
  void call(const Routine& f, int resultSlot, const std::vector<int>& args = {});
  void native(const std::function<void(X86&)>& body);                          // 2
  void builtin(int id, int resultSlot, const std::vector<int>& args = {});     // 3
  // Op 3 by the command's name, its arguments counted against the
  // vocabulary (std::logic_error when the name is unknown or the count is
  // off, which would otherwise desynchronise the op stream).
  void command(std::string_view name, int resultSlot, const std::vector<int>& args = {});
  void ret();                                                                  // 4
  void enterMain();                                                            // 6
  void store(int x, int y, StrForm form = {});                                 // 7: x <- y
  void store(int32_t mode, int x, int y, int32_t elementOffset, uint32_t staticFlags);
  void join(int a, int b, int c, StrForm form = {});                           // 8: c <- a + b
  void join(int32_t mode, int a, int b, int c, uint32_t staticFlags);
  void compare(int32_t code, int a, int b, int r, StrForm form = {});          // 9: r <- a ? b
  void compare(int32_t mode, int32_t code, int a, int b, int r, uint32_t staticFlags);
  void exfuncCall(int routine, int resultSlot, const std::vector<int>& args = {});  // 10
  void op(uint32_t code);                                                      // a bare op word
  void word(uint32_t value);                                                   // raw 32-bit word
  void byte(uint8_t value);                                                    // raw byte

  // Overrides the descriptor's 32-bit word at `byteOffset` (from the start of
  // the descriptor) after layout, e.g. a FUNC's parameter count.
  void setDescriptorWord(uint32_t byteOffset, uint32_t value);

 private:
  friend class ImageBuilder;
  friend class X86;
  struct Constant {
    int32_t slot;
    std::string bytes;  // text as written after the header
    int32_t length, capacity;
    std::optional<uint32_t> pairOffset;
  };
  struct Fixup {
    enum Kind { Abs, Rel, Here } kind;
    uint32_t pos;      // in code_
    int label;         // Abs/Rel
    int32_t addend;    // Here: value = own image offset + addend
    bool wantCode;     // Rel: the label must be native code
  };

  Routine(ImageBuilder& b, int number, Kind kind) : b_(b), number_(number), kind_(kind) {}
  // A call or EXFUNC call op: code, routine, result slot, argument slots.
  void callOp(uint32_t code, int routine, int resultSlot, const std::vector<int>& args);
  void touch(int slot);
  void touchStatic(int slot);
  void touchForm(int first, int second, uint32_t flags);
  void emit32(uint32_t v);
  void fixupAbs(Label l);
  void fixupRel(Label l);
  void bindAt(Label l, bool code);
  int frameSlotCount() const;
  int staticSizeValue() const;

  ImageBuilder& b_;
  int number_;
  Kind kind_;
  std::vector<Param> params_;
  int32_t resultType_ = Int;
  std::vector<int32_t> exTypes_;       // EXFUNC parameter types
  int dllSlot_ = 0, fnSlot_ = 0;       // EXFUNC name constants
  int nextSlot_ = kReservedSlots;
  int maxSlot_ = kReservedSlots - 1;
  int nextStatic_ = 0;
  int maxStatic_ = -1;
  int slotCount_ = 0;                  // 0 = automatic
  int staticSize_ = -1;                // -1 = automatic
  std::vector<Constant> constants_;
  std::vector<uint8_t> code_;
  std::vector<Fixup> fixups_;
  std::map<uint32_t, uint32_t> descriptorWords_;
};

class ImageBuilder {
 public:
  ImageBuilder();
  ImageBuilder(const ImageBuilder&) = delete;
  ImageBuilder& operator=(const ImageBuilder&) = delete;

  // --- header ---
  void setSingleInstance(bool on) { flag_ = on ? 0x80 : 0x20; }
  void setFlagByte(uint8_t value) { flag_ = value; }
  void setVersion(std::string_view sixChars);  // default "040048"

  // --- routines ---
  Routine& main();                                      // routine 0
  Routine& main(int slotCount, int staticSize);         // sets both verbatim
  // A FUNC. Result type is recorded only; the result is always slot 8.
  Routine& func(std::vector<Param> params = {}, int32_t resultType = Int, int slotCount = 0);
  // An EXFUNC: its DLL and function names become constants bound to slots 9
  // and 10; its op stream is one return op. Returns its routine number.
  int exfunc(std::string_view dll, std::string_view function, int32_t resultType,
             std::vector<int32_t> paramTypes = {});
  Routine& routine(int number) { return *routines_.at(number); }
  int routineCount() const { return static_cast<int>(routines_.size()); }

  Label label();

  // --- layout escape hatches ---
  void setTableGap(uint32_t bytes) { tableGap_ = bytes; }   // bytes between table and main descriptor
  void setTableEntry(int index, uint32_t value) { tableOverrides_[index] = value; }

  // Header + image.
  std::vector<uint8_t> build();
  // Positions in the last built image (relative to the image base).
  uint32_t offsetOf(Label l) const;
  uint32_t descriptorOffset(int routine) const { return descriptors_.at(routine); }
  uint32_t firstOpOffset(int routine) const { return opStarts_.at(routine); }
  uint32_t imageSize() const { return imageSize_; }

 private:
  friend class Routine;
  friend class X86;
  struct LabelInfo {
    int routine = -1;
    uint32_t pos = 0;
    bool code = false;
  };
  std::vector<std::unique_ptr<Routine>> routines_;
  std::vector<LabelInfo> labels_;
  uint8_t flag_ = 0x20;
  std::string version_ = "040048";
  uint32_t tableGap_ = 0;
  std::map<int, uint32_t> tableOverrides_;
  std::vector<uint32_t> descriptors_, opStarts_;
  uint32_t imageSize_ = 0;
};

// --- game executables ---

// Position of the first image header ("QRT", and "VE" at +14) in `file`.
std::optional<size_t> findHeader(std::span<const uint8_t> file);
// runtime + image. Throws std::runtime_error when the runtime already carries
// a header pattern or the image does not start with one.
std::vector<uint8_t> linkGame(std::span<const uint8_t> runtimeExe, std::span<const uint8_t> image);
// The image (header included) of a game executable; throws when there is none.
std::vector<uint8_t> extractImage(std::span<const uint8_t> gameExe);

// Helpers for tests working on build() output (header included).
void patch32(std::vector<uint8_t>& file, uint32_t imageOffset, uint32_t value);
uint32_t read32(std::span<const uint8_t> file, uint32_t imageOffset);

std::vector<uint8_t> readFile(const std::filesystem::path& path);   // throws on failure
void writeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);

}  // namespace qrt::img
