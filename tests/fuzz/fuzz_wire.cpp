// What a peer sends: a token, then a stream of masked messages arriving in
// pieces of any size. Whatever the bytes, the inbox stays in its buffer,
// hands out only integers and strings that lie in a message, and every
// message it accepts goes out of an outbox and comes back the same.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "net/wire.h"

using namespace qrt::wire;

namespace {

struct Popped {
  std::vector<int32_t> ints;
  std::vector<std::string> texts;
};

Popped popAll(Inbox& in) {
  Popped p;
  int32_t v;
  while (in.popInt(v)) p.ints.push_back(v);
  std::string_view t;
  while (in.popText(t)) p.texts.emplace_back(t);
  if (p.ints.size() != in.intCount() || p.texts.size() != in.stringCount()) abort();
  return p;
}

// The popped message pushed and sealed again, then read back.
void roundTrip(const Popped& p, const Token& token) {
  static Outbox out;   // 64 KB of buffers: made once
  out = Outbox();
  for (int32_t v : p.ints)
    if (out.pushInt(v) < 0) abort();
  for (const std::string& t : p.texts)
    if (out.pushText(t) < 0) abort();
  out.seal(token);
  static Inbox back;
  back = Inbox();
  back.start();
  const uint32_t n = out.unsentBytes();
  if (n > back.roomBytes()) abort();
  memcpy(back.room(), out.unsent(), n);
  if (back.received(n, token) != Inbox::Step::kComplete) abort();
  const Popped again = popAll(back);
  if (again.ints != p.ints || again.texts != p.texts) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 9) return 0;
  Token token;
  memcpy(token.data(), data, 8);
  const uint32_t piece = 1 + data[8] * 97u;   // how the stream arrives
  data += 9;
  size -= 9;

  if (size >= kHelloSize) {
    isHello(data, token);
    uint8_t hello[kHelloSize];
    writeHello(hello, 1234, token);
    if (!isHello(hello, token)) abort();
  }
  std::vector<uint8_t> copy(data, data + size);
  mask(copy.data(), copy.size(), token);
  mask(copy.data(), copy.size(), token);
  if (size && memcmp(copy.data(), data, size) != 0) abort();

  static Inbox in;
  in = Inbox();
  in.start();
  size_t at = 0;
  for (int messages = 0; messages < 64;) {
    uint32_t count = 0;
    if (at < size) {
      count = static_cast<uint32_t>(std::min<size_t>({size_t{piece}, size - at, size_t{in.roomBytes()}}));
      memcpy(in.room(), data + at, count);
      at += count;
    }
    const Inbox::Step step = in.received(count, token);
    if (step == Inbox::Step::kBroken) break;
    if (step == Inbox::Step::kComplete) {
      roundTrip(popAll(in), token);
      in.start();
      ++messages;
      continue;
    }
    if (at >= size) break;
  }
  return 0;
}
