// Servers: a listening socket that accepts players and completes their
// handshake, handing each one to the script as a user once it is done.
#include "base/clock.h"
#include "engine/call.h"
#include "net/commands.h"
#include "net/registry.h"

namespace qrt {

namespace {

// Connections waiting for their hello, per server. Beyond this the rest
// stay in the platform's backlog: a crowd of peers that connect and never
// speak must not grow the game without bound.
constexpr size_t kMaxPending = 32;

Socket listenOn(int32_t port) {
  Socket s = Socket::stream();
  if (!s.valid()) return s;
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  any.sin_port = htons(static_cast<u_short>(port));
  if (bind(s.get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0 || listen(s.get(), 5) != 0)
    s.close();
  return s;
}

// Takes the connections waiting in the backlog; false when accepting
// itself has failed.
bool acceptWaiting(NetworkServer& s) {
  while (s.pending.size() < kMaxPending) {
    Socket peer(accept(s.listener.get(), nullptr, nullptr));
    if (!peer.valid()) {
      const int error = WSAGetLastError();
      if (error == WSAEWOULDBLOCK) return true;
      // A peer that gave up before it was taken ends only its own connection.
      if (error == WSAECONNRESET) continue;
      return false;
    }
    if (!peer.prepare()) continue;
    s.pending.push_back({std::move(peer), {}, clockMs()});
  }
  return true;
}

}  // namespace

int32_t cmdPSrvMake(Call& c) {
  NetworkRegistry* r = registryWithWinsock(c);
  if (!r) return kNetStop;
  const int32_t port = c.i(0), flag = c.i(2);
  if (!validPort(port)) return c.fail(660, kNetStop);
  const wire::Token token = connectionToken(c.s(1));
  if (!validFlag(flag)) return c.fail(660, kNetStop);
  Socket listener = listenOn(port);
  if (!listener.valid()) return 0;
  NetworkServer* s = r->servers.make();
  if (!s) return c.fail(620, kNetStop);
  s->listener = std::move(listener);
  s->token = token;
  s->reserved = flag;
  s->pending.reserve(kMaxPending);
  return Call::handleResult(s->handle);
}

// Accepts what is waiting, then looks at the handshakes in progress,
// newest first, and hands out the first one that completes.
int32_t cmdPSrvGetUser(Call& c) {
  NetworkServer* s = serverArgument(c, 0);
  if (!s) return c.fail(660, kNetStop);
  if (!s->listener.valid()) return -1;
  if (!acceptWaiting(*s)) {
    s->listener.close();
    return -1;
  }
  for (size_t k = s->pending.size(); k-- > 0;) {
    PendingPeer& peer = s->pending[k];
    const Io hello = readHello(peer.socket, peer.hello, s->token);
    if (hello == Io::kNotYet && !timedOut(peer.since)) continue;
    if (hello == Io::kDone && sendHello(peer.socket, s->token) == Io::kDone) {
      NetworkUser* u = addUser(*networkRegistry(), std::move(peer.socket), s->token, Link::kEstablished);
      if (!u) return c.fail(620, kNetStop);
      s->pending.erase(s->pending.begin() + static_cast<ptrdiff_t>(k));
      return Call::handleResult(u->handle);
    }
    s->pending.erase(s->pending.begin() + static_cast<ptrdiff_t>(k));
  }
  return 0;
}

}  // namespace qrt
