// Small games for the core built-ins: a main routine that sets argument
// slots with native blocks or string constants, calls built-ins by name
// through op 3, and is then run by the real engine in this process.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/program.h"
#include "tools/imagebuilder/image_builder.h"

namespace qrt::test {

// A command's id from its name in the built-in table (throws if unknown).
int commandId(std::string_view name);

class Script {
 public:
  Script();

  // Argument slots.
  int integer(int32_t value);
  int real(float value);
  int text(std::string_view bytes);   // a string constant
  int noString() { return 0; }        // argument operand 0

  // op 3: the command's result lands in a fresh slot (returned); commands
  // whose result letter is N get result slot 0.
  int call(std::string_view name, const std::vector<int>& args = {});
  // op 3 with the result slot given verbatim.
  void callInto(std::string_view name, int resultSlot, const std::vector<int>& args = {});
  void callId(int id, int resultSlot, const std::vector<int>& args = {});
  // A native block that sets `slot` to `value`: marks how far a program got.
  void mark(int slot, uint32_t value);
  int slot() { return main_.slot(); }

  // Ends the main routine and returns the image file (header + image).
  std::vector<uint8_t> finish();

  img::ImageBuilder& builder() { return b_; }
  img::Routine& main() { return main_; }

 private:
  img::ImageBuilder b_;
  img::Routine& main_;
};

// The engine running a script's image in process (the real host window,
// family records and dispatcher), with readers for what a game would hold.
class Game : public Program {
 public:
  explicit Game(Script& script);

  int32_t integer(int k) { return static_cast<int32_t>(slot(k)); }
  float real(int k);
  bool isString(int k) { return slot(k) != 0; }
  int32_t lengthField(int k);  // the string object's length field
};

}  // namespace qrt::test
