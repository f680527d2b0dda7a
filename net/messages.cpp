// Messages of an established user: pushes and P@SEND on the way out,
// P@RECV and pops on the way in.
#include <string_view>

#include "base/clock.h"
#include "engine/call.h"
#include "net/commands.h"
#include "net/registry.h"

namespace qrt {

namespace {

// One send of what is left of the message in flight. A part taken is
// taken: the rest goes out on later calls, so the peer's stream never
// loses its place.
int32_t sendMore(NetworkUser& u) {
  const IoResult r = sendSome(u.socket, u.outbox.unsent(), u.outbox.unsentBytes());
  if (r.status == Io::kDone) {
    u.outbox.advance(r.bytes);
    return 0;
  }
  if (r.status == Io::kNotYet && !timedOut(u.stamp)) return 0;
  return connectionLost(u);
}

}  // namespace

int32_t cmdPPushInt(Call& c) {
  NetworkUser* u = userArgument(c, 0);
  if (!u) return c.fail(660, kNetStop);
  return u->outbox.pushInt(c.i(1));
}

int32_t cmdPPushStr(Call& c) {
  NetworkUser* u = userArgument(c, 0);
  if (!u) return c.fail(660, kNetStop);
  return u->outbox.pushText(c.s(1));
}

int32_t cmdPPopInt(Call& c) {
  NetworkUser* u = userArgument(c, 0);
  if (!u) return c.fail(660, kNetStop);
  int32_t value = 0;
  return u->inbox.popInt(value) ? value : 0;
}

int32_t cmdPPopStr(Call& c) {
  NetworkUser* u = userArgument(c, 0);
  if (!u) return c.fail(660, kNetStop);
  std::string_view text;
  if (!u->inbox.popText(text)) return 0;
  const int32_t result = c.text(text);
  return result ? result : kNetStop;
}

int32_t cmdPRecvInt(Call& c) {
  NetworkUser* u = userArgument(c, 0);
  if (!u) return c.fail(660, kNetStop);
  return static_cast<int32_t>(u->inbox.intCount());
}

int32_t cmdPRecvStr(Call& c) {
  NetworkUser* u = userArgument(c, 0);
  if (!u) return c.fail(660, kNetStop);
  return static_cast<int32_t>(u->inbox.stringCount());
}

// A message still in flight is finished first; what was pushed meanwhile
// goes out as the next message once it has gone, in the same call when
// the platform takes both.
int32_t cmdPSend(Call& c) {
  NetworkUser* u = userArgument(c, 0);
  if (!u) return c.fail(660, kNetStop);
  if (!u->socket.valid()) return -1;
  if (u->state != Link::kEstablished) return 0;
  if (u->outbox.inFlight()) {
    const int32_t r = sendMore(*u);
    if (r != 0 || u->outbox.inFlight() || !u->outbox.hasPushes()) return r;
  }
  u->outbox.seal(u->token);
  u->stamp = clockMs();
  return sendMore(*u);
}

int32_t cmdPRecv(Call& c) {
  NetworkUser* u = userArgument(c, 0);
  if (!u) return c.fail(660, kNetStop);
  if (!u->socket.valid()) return -1;
  if (u->state != Link::kEstablished) return 1;
  if (u->inbox.complete()) {
    u->inbox.start();
    u->stamp = clockMs();
  }
  // What came with an earlier receive may hold the whole next message.
  wire::Inbox::Step step = u->inbox.received(0, u->token);
  bool arrived = false;
  while (step == wire::Inbox::Step::kMore) {
    const IoResult r = receiveSome(u->socket, u->inbox.room(), u->inbox.roomBytes());
    if (r.status == Io::kNotYet) return arrived || !timedOut(u->stamp) ? 0 : connectionLost(*u);
    // A peer that has gone (or fails) never completes the message.
    if (r.status != Io::kDone) return connectionLost(*u);
    step = u->inbox.received(r.bytes, u->token);
    arrived = true;
  }
  if (step == wire::Inbox::Step::kBroken) return connectionLost(*u);
  return static_cast<int32_t>(u->inbox.length());
}

}  // namespace qrt
