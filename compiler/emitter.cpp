#include "compiler/emitter.h"

namespace qrt::qrtc {

using img::Cond;

img::X86& Emitter::x() {
  if (!open_) {
    // Code that only jumps reach needs no op word in front of it.
    if (fallsThrough_) r_.op(img::op::kNative);
    open_ = true;
  }
  if (!pending_.empty()) bindPendingAsCode();
  return x_;
}

void Emitter::bindPendingAsCode() {
  for (Lbl l : pending_) {
    LabelInfo& info = labels_[l];
    x_.bind(info.code);
    info.state = State::Code;
  }
  pending_.clear();
  reachable_ = true;
}

img::Routine& Emitter::op() {
  if (open_) {
    // Labels waiting here are reached from native code by the exit itself,
    // and from ops by the op.
    img::Label next = r_.label();
    for (Lbl l : pending_) x_.bind(labels_[l].code);
    if (reachable_ || !pending_.empty()) x_.next(next);
    r_.bind(next);
    for (Lbl l : pending_) {
      r_.bind(labels_[l].op);
      labels_[l].state = State::Both;
    }
    open_ = false;
  } else {
    for (Lbl l : pending_) {
      LabelInfo& info = labels_[l];
      r_.bind(info.op);
      info.state = State::Op;
      if (info.codeUsed) stubs_.push_back({info.code, info.op});
    }
  }
  if (!pending_.empty()) reachable_ = true;
  pending_.clear();
  fallsThrough_ = reachable_;
  return r_;
}

Lbl Emitter::label() {
  LabelInfo info;
  info.code = r_.label();
  info.op = r_.label();
  labels_.push_back(info);
  return static_cast<Lbl>(labels_.size() - 1);
}

void Emitter::bind(Lbl l) {
  pending_.push_back(l);
  reachable_ = true;
}

void Emitter::leave() { reachable_ = fallsThrough_ = false; }

void Emitter::jump(Lbl l) {
  if (!reachable_) return;
  img::X86& x = this->x();
  LabelInfo& info = labels_[l];
  switch (info.state) {
    case State::Op: x.next(info.op); break;
    case State::Code:
    case State::Both: x.jmp(info.code); break;
    case State::Unbound:
      info.codeUsed = true;
      x.jmp(info.code);
      break;
  }
  reachable_ = fallsThrough_ = false;
}

void Emitter::jumpIf(Cond c, Lbl l) {
  if (!reachable_) return;
  img::X86& x = this->x();
  LabelInfo& info = labels_[l];
  switch (info.state) {
    case State::Op: {
      img::Label stub = r_.label();
      stubs_.push_back({stub, info.op});
      x.jcc(c, stub);
      break;
    }
    case State::Code:
    case State::Both: x.jcc(c, info.code); break;
    case State::Unbound:
      info.codeUsed = true;
      x.jcc(c, info.code);
      break;
  }
}

void Emitter::failIf(Cond c) {
  if (!reachable_) return;
  img::X86& x = this->x();
  if (!failUsed_) {
    fail_ = r_.label();
    failUsed_ = true;
  }
  x.jcc(c, fail_);
}

void Emitter::fail() {
  if (!reachable_) return;
  img::X86& x = this->x();
  x.ud2();
  reachable_ = fallsThrough_ = false;
}

void Emitter::finish() {
  // Anything still waiting binds to the last op, which the caller emitted.
  for (const Stub& s : stubs_) {
    x_.bind(s.code);
    x_.next(s.op);
  }
  if (failUsed_) {
    x_.bind(fail_);
    x_.ud2();
  }
}

}  // namespace qrt::qrtc
