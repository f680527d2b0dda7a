#include "net/wire.h"

#include <cstring>

namespace qrt::wire {

namespace {

constexpr uint8_t kHelloMark[4] = {'x', 't', 'r', 'q'};

uint32_t readWord(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

void writeWord(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// Counts a word at a time: long strings have few zeros, and most words
// have none.
uint32_t zeroBytes(const uint8_t* bytes, uint32_t length) {
  uint32_t zeros = 0, i = 0;
  for (; i + 4 <= length; i += 4) {
    uint32_t w;
    std::memcpy(&w, bytes + i, sizeof w);
    if (((w - 0x01010101u) & ~w & 0x80808080u) == 0) continue;
    zeros += (w & 0xFFu) == 0;
    zeros += (w & 0xFF00u) == 0;
    zeros += (w & 0xFF0000u) == 0;
    zeros += (w & 0xFF000000u) == 0;
  }
  for (; i < length; ++i) zeros += bytes[i] == 0;
  return zeros;
}

}  // namespace

void mask(uint8_t* bytes, size_t length, const Token& token) {
  uint64_t key;
  std::memcpy(&key, token.data(), sizeof key);
  const size_t whole = length & ~size_t{7};
  for (size_t i = 0; i < whole; i += 8) {
    uint64_t group;
    std::memcpy(&group, bytes + i, sizeof group);
    group ^= key;
    std::memcpy(bytes + i, &group, sizeof group);
  }
  const size_t tail = (length - whole + 1) / 2;
  for (size_t j = 0; j < tail; ++j) bytes[whole + j] ^= token[j];
}

void writeHello(uint8_t out[kHelloSize], uint32_t tick, const Token& token) {
  writeWord(out, tick);
  std::memcpy(out + 4, kHelloMark, sizeof kHelloMark);
  mask(out, kHelloSize, token);
}

bool isHello(const uint8_t block[kHelloSize], const Token& token) {
  uint8_t plain[kHelloSize];
  std::memcpy(plain, block, kHelloSize);
  mask(plain, kHelloSize, token);
  return std::memcmp(plain + 4, kHelloMark, sizeof kHelloMark) == 0;
}

bool wellFormed(const uint8_t* message, uint32_t length) {
  if (length < kHeaderSize || length > kMaxMessage || readWord(message) != length) return false;
  const uint32_t ints = readWord(message + 4), strings = readWord(message + 8);
  if (ints > (length - kHeaderSize) / 4) return false;
  const uint8_t* area = message + kHeaderSize + 4 * ints;
  const uint32_t areaBytes = length - kHeaderSize - 4 * ints;
  if (strings == 0) return areaBytes == 0;
  if (areaBytes == 0 || area[areaBytes - 1] != 0) return false;
  return zeroBytes(area, areaBytes) == strings;
}

int32_t Outbox::pushInt(int32_t value) {
  if (payloadBytes() + 4 > kMaxPayload) return -1;
  writeWord(ints_ + intBytes_, static_cast<uint32_t>(value));
  intBytes_ += 4;
  ++intCount_;
  return static_cast<int32_t>(kMaxPayload - payloadBytes());
}

int32_t Outbox::pushText(std::string_view text) {
  if (text.size() + 1 > kMaxPayload - payloadBytes()) return -1;
  std::memcpy(strings_ + stringBytes_, text.data(), text.size());
  stringBytes_ += static_cast<uint32_t>(text.size());
  strings_[stringBytes_++] = 0;
  ++stringCount_;
  return static_cast<int32_t>(kMaxPayload - payloadBytes());
}

void Outbox::seal(const Token& token) {
  length_ = kHeaderSize + payloadBytes();
  writeWord(frame_, length_);
  writeWord(frame_ + 4, intCount_);
  writeWord(frame_ + 8, stringCount_);
  std::memcpy(frame_ + kHeaderSize, ints_, intBytes_);
  std::memcpy(frame_ + kHeaderSize + intBytes_, strings_, stringBytes_);
  mask(frame_ + 4, length_ - 4, token);
  sent_ = 0;
  intBytes_ = stringBytes_ = intCount_ = stringCount_ = 0;
}

void Inbox::start() {
  if (complete_ && length_ > 0) {
    have_ -= length_;
    std::memmove(bytes_, bytes_ + length_, have_);
  }
  complete_ = false;
  length_ = ints_ = strings_ = 0;
  intsPopped_ = stringsPopped_ = nextString_ = 0;
}

Inbox::Step Inbox::received(uint32_t count, const Token& token) {
  if (complete_) return Step::kComplete;
  have_ += count < roomBytes() ? count : roomBytes();
  if (have_ < 4) return Step::kMore;
  if (length_ == 0) {
    length_ = readWord(bytes_);
    if (length_ < kHeaderSize || length_ > kMaxMessage) {
      length_ = 0;
      have_ = 0;
      return Step::kBroken;
    }
  }
  if (have_ < length_) return Step::kMore;
  mask(bytes_ + 4, length_ - 4, token);
  if (!wellFormed(bytes_, length_)) {
    length_ = 0;
    have_ = 0;
    return Step::kBroken;
  }
  ints_ = readWord(bytes_ + 4);
  strings_ = readWord(bytes_ + 8);
  nextString_ = kHeaderSize + 4 * ints_;
  complete_ = true;
  return Step::kComplete;
}

bool Inbox::popInt(int32_t& value) {
  if (!complete_ || intsPopped_ >= ints_) return false;
  value = static_cast<int32_t>(readWord(bytes_ + kHeaderSize + 4 * intsPopped_++));
  return true;
}

bool Inbox::popText(std::string_view& text) {
  if (!complete_ || stringsPopped_ >= strings_ || nextString_ >= length_) return false;
  const auto* start = reinterpret_cast<const char*>(bytes_ + nextString_);
  const void* zero = std::memchr(start, 0, length_ - nextString_);
  if (!zero) return false;
  text = std::string_view(start, static_cast<const char*>(zero) - start);
  nextString_ += static_cast<uint32_t>(text.size()) + 1;
  ++stringsPopped_;
  return true;
}

}  // namespace qrt::wire
