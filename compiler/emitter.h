// The emitter keeps a routine's op stream in order: native code goes into
// the open native block (a block is opened after an op, and closed with an
// exit to the next op when an op follows), and a label becomes a place in
// native code or an op depending on what follows it. Native jumps to an op
// leave the block through a small exit stub; bounds and other run-time
// failures jump to the routine's one ud2, which the runtime reports with its
// internal-error box.
#pragma once
#include <vector>

#include "image/image_builder.h"
#include "image/x86.h"

namespace qrt::qrtc {

using Lbl = int;

class Emitter {
 public:
  explicit Emitter(img::Routine& r) : r_(r), x_(r) {}

  // Native code follows: opens a block when none is open.
  img::X86& x();
  // An op follows (written through the routine): closes the open block.
  img::Routine& op();

  Lbl label();
  // Binds at the next thing emitted, native code or op.
  void bind(Lbl l);
  void jump(Lbl l);
  void jumpIf(img::Cond c, Lbl l);
  // Stops the program when the condition holds.
  void failIf(img::Cond c);
  void fail();

  // Code after an unconditional jump, a return or the end is not reached
  // until a label.
  bool reachable() const { return reachable_; }
  // After an op that does not go on (return, end).
  void leave();

  // After the routine's last op: the exit stubs and the stop.
  void finish();

 private:
  enum class State : uint8_t { Unbound, Code, Op, Both };
  struct LabelInfo {
    img::Label code, op;
    State state = State::Unbound;
    bool codeUsed = false;
  };
  struct Stub {
    img::Label code;   // jumped to
    img::Label op;     // left to
  };

  void bindPendingAsCode();

  img::Routine& r_;
  img::X86 x_;
  bool open_ = false;
  bool reachable_ = true;     // control can get here: by running on, or by a label bound here
  bool fallsThrough_ = true;  // the code or op before runs on into here
  std::vector<LabelInfo> labels_;
  std::vector<Lbl> pending_;
  std::vector<Stub> stubs_;
  img::Label fail_{};
  bool failUsed_ = false;
};

}  // namespace qrt::qrtc
