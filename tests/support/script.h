// The test programs' builder: a game's main routine written the way a
// player's script would read, then run by the real engine in this process.
//
//   Script s;
//   const int n = s.integer(3);
//   const int text = s.call("STR", {n, s.integer(10)});
//   s.loop(10, [&] { s.run("G@FLIP"); });
//   Game game(s);
//   game.runToEnd();
//   EXPECT_EQ(game.text(text), "3");
//
// Commands are named, never numbered: call() checks the name, the argument
// count and, where a slot's type is known, each argument's type against the
// vocabulary, so a mistake fails where it is written instead of
// desynchronising the op stream somewhere later. Literals are pooled: the
// stores of consecutive integer()/real() calls go out in one native block,
// right before the next op.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/program.h"
#include "image/image_builder.h"

namespace qrt::test {

class Script {
 public:
  Script();

  // --- argument slots ---
  int integer(int32_t value);
  int real(float value);
  int text(std::string_view cp932);   // a string constant
  int noString() { return 0; }        // argument operand 0
  int slot();                         // a fresh variable of no known type

  // --- commands (checked against the vocabulary) ---
  // The result lands in a fresh slot, returned; 0 for a command whose
  // result letter is N.
  int call(std::string_view name, const std::vector<int>& args = {});
  // The result is not kept (result slot 0).
  void run(std::string_view name, const std::vector<int>& args = {});
  // A string result copied into a variable of its own: ring temporaries
  // are reused after ten more string results.
  int callText(std::string_view name, const std::vector<int>& args = {});
  // The result slot given verbatim.
  void callInto(std::string_view name, int resultSlot, const std::vector<int>& args = {});
  // Unchecked, by id: for programs that must be wrong.
  void callId(int id, int resultSlot, const std::vector<int>& args = {});
  void wait() { run("S@WAIT"); }

  // --- control ---
  // A native block that sets `slot` to `value` here: marks how far a
  // program got.
  void mark(int slot, uint32_t value);
  int marker();                       // a slot that becomes 1 here
  img::Label here();                  // the next op
  void jump(img::Label op);
  // `body` written once and run `count` times (count ≥ 1).
  void loop(int32_t count, const std::function<void()>& body);
  // `body` run up to `count` times, ending after the first pass that leaves
  // `slot` nonzero: a wait for a result, bounded.
  void loopUntil(int32_t count, int slot, const std::function<void()>& body);

  // Ends the main routine and returns the image file (header + image).
  std::vector<uint8_t> finish();
  std::vector<uint8_t> build() { return finish(); }

  img::ImageBuilder& builder() { return b_; }
  // The main routine for ops of a test's own; pending literals go out first.
  img::Routine& main();

 private:
  void flush();
  void check(std::string_view name, const std::vector<int>& args) const;
  int resultSlot(std::string_view name);

  img::ImageBuilder b_;
  img::Routine& main_;
  std::vector<std::pair<int, uint32_t>> pending_;   // literal stores not yet emitted
  std::map<int, char> types_;                      // slot -> S, F or M where known
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
