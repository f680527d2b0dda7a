// The handler context: what a command's handler sees of the engine while it
// runs. The dispatcher makes one per op 3 on its stack.
//
//   int32_t cmdGChrRect(Call& c) {
//     SurfaceRecord* s = surfaces().find(c.handle(0));
//     if (!s) return c.fail(660);          // the box names G@CHRRECT
//     s->left = c.i(1);
//     ...
//     return kDone;
//   }
//
// Arguments are numbered from 0 in signature order (the letter after the
// result letter is argument 0). A handler returns one 32-bit value: an
// integer, a real's bit pattern (real()), a string object (text()) or, for a
// command without a result, 1 for success and 0 for failure. Every failure
// goes through fail(), which shows the catalogue box naming the command.
#pragma once
#include <bit>
#include <cstdint>
#include <string_view>

#include "base/vocabulary.h"
#include "engine/engine.h"
#include "engine/string_object.h"

namespace qrt {

class Call {
 public:
  Call(EngineState& e, int id) : e_(e), id_(id) {}
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  // --- arguments ---
  int32_t i(int n) const { return static_cast<int32_t>(e_.params.arg[n]); }
  float f(int n) const { return std::bit_cast<float>(e_.params.arg[n]); }
  // The text of a string argument; "" when no string was passed.
  const char* s(int n) const { return textOf(e_.params.arg[n]); }
  // The argument's 32 bits as they came: a handle, or a string's address.
  uint32_t raw(int n) const { return e_.params.arg[n]; }
  uint32_t handle(int n) const { return e_.params.arg[n]; }
  bool unset(int n) const { return e_.params.arg[n] == 0; }            // no string at all
  bool empty(int n) const { return isEmptyString(e_.params.arg[n]); }  // no string, or ""

  // --- results ---
  static int32_t real(float v) { return std::bit_cast<int32_t>(v); }
  static int32_t real(double v) { return real(static_cast<float>(v)); }
  static int32_t handleResult(uint32_t h) { return static_cast<int32_t>(h); }
  static int32_t string(const StringObject* s) {
    return static_cast<int32_t>(reinterpret_cast<uintptr_t>(s));
  }
  // A ring temporary with room for `length` bytes, NUL included; nullptr
  // after box 620 naming the command.
  StringObject* temporary(uint32_t length) { return takeTemporary(e_, length, id_); }
  // A ring temporary holding a copy of the bytes (which may lie in another
  // temporary or in an argument), as the command's string result; 0 after
  // box 620.
  int32_t text(const char* bytes, uint32_t length) { return string(temporaryText(e_, bytes, length, id_)); }
  int32_t text(std::string_view bytes) { return text(bytes.data(), static_cast<uint32_t>(bytes.size())); }

  // --- failing ---
  // Shows the catalogue box for `code` naming this command and returns
  // `result`: the command's failure value, or whatever it hands back.
  int32_t fail(int code, int32_t result = 0);

  // Hands control back to the message loop after this command.
  void yield() { e_.yieldRequested = true; }

  int id() const { return id_; }
  const char* name() const { return kCommands[id_].name; }
  EngineState& engine() { return e_; }

 private:
  EngineState& e_;
  int id_;
};

// What a command without a result returns.
constexpr int32_t kDone = 1;
constexpr int32_t kFailed = 0;

}  // namespace qrt
