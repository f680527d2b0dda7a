// The protocol between running games, as bytes: the mask, the hello block
// and the typed messages. Nothing here knows a socket, so that everything a
// peer sends can be fed through it natively (a fuzzer, a test) exactly as
// the network commands feed it.
//
// Message: {L, n, m} as 32-bit little-endian words, then n integers, then
// m zero-terminated strings; L counts the whole message. Everything after L
// is masked with the connection token.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qrt::wire {

using Token = std::array<uint8_t, 8>;

constexpr uint32_t kHeaderSize = 12;
constexpr uint32_t kMaxPayload = 32768;                     // integers and strings of one message
constexpr uint32_t kMaxMessage = kHeaderSize + kMaxPayload;  // the largest L
constexpr uint32_t kHelloSize = 8;

// XORs byte j of every whole group of 8 with token[j]; of the r bytes after
// the last whole group only the first (r + 1) / 2 are masked. Its own
// inverse.
void mask(uint8_t* bytes, size_t length, const Token& token);

// The hello block: the sender's tick count (ignored by the receiver) and
// "xtrq", masked as a whole.
void writeHello(uint8_t out[kHelloSize], uint32_t tick, const Token& token);
bool isHello(const uint8_t block[kHelloSize], const Token& token);

// Whether an unmasked message of `length` bytes holds what its header says:
// n integers and exactly m zero-terminated strings filling the rest.
bool wellFormed(const uint8_t* message, uint32_t length);

// The sending side: what the script pushes, and the message in flight. The
// message in flight is a copy made when it is sealed, so pushes made while
// it is still going out belong to the next message and never touch it.
class Outbox {
 public:
  // Free payload bytes left after the push; -1 (and nothing pushed) when
  // it would not fit.
  int32_t pushInt(int32_t value);
  int32_t pushText(std::string_view text);   // the text and its zero byte
  bool hasPushes() const { return intCount_ + stringCount_ > 0; }

  // Makes the pushes the message in flight (masked) and empties them.
  void seal(const Token& token);
  bool inFlight() const { return sent_ < length_; }
  const uint8_t* unsent() const { return frame_ + sent_; }
  uint32_t unsentBytes() const { return length_ - sent_; }
  void advance(uint32_t bytes) { sent_ += bytes < unsentBytes() ? bytes : unsentBytes(); }

 private:
  uint32_t payloadBytes() const { return intBytes_ + stringBytes_; }

  uint32_t intBytes_ = 0, stringBytes_ = 0;
  uint32_t intCount_ = 0, stringCount_ = 0;
  uint32_t length_ = 0, sent_ = 0;
  uint8_t ints_[kMaxPayload];
  uint8_t strings_[kMaxPayload];
  uint8_t frame_[kMaxMessage];
};

// The receiving side: one message at a time, out of a buffer that also
// keeps what has arrived of the messages after it, so that one receive can
// take all that is there. A length field out of range or a body that does
// not hold what its header says breaks the stream: nothing after it can be
// trusted to start where a message starts.
class Inbox {
 public:
  enum class Step { kMore, kComplete, kBroken };

  // Forgets the current message (popped or not) and waits for the next,
  // which may already be here: call received(0) to look.
  void start();
  // Where the next received bytes go and how many fit.
  uint8_t* room() { return bytes_ + have_; }
  uint32_t roomBytes() const { return kBufferSize - have_; }
  Step received(uint32_t count, const Token& token);

  bool complete() const { return complete_; }
  uint32_t length() const { return complete_ ? length_ : 0; }
  uint32_t intCount() const { return complete_ ? ints_ : 0; }
  uint32_t stringCount() const { return complete_ ? strings_ : 0; }
  // The next integer or string of a complete message; false when none is left.
  bool popInt(int32_t& value);
  bool popText(std::string_view& text);

 private:
  // The largest message and as much again of those after it: there is
  // always room for the rest of the current one.
  static constexpr uint32_t kBufferSize = 2 * kMaxMessage;

  bool complete_ = true;   // nothing half-read at first: P@RECV starts afresh
  uint32_t have_ = 0;      // bytes held, from the current message's start
  uint32_t length_ = 0;    // the current message's L; 0 while it is unknown
  uint32_t ints_ = 0, strings_ = 0;
  uint32_t intsPopped_ = 0, stringsPopped_ = 0, nextString_ = 0;
  uint8_t bytes_[kBufferSize];
};

}  // namespace qrt::wire
