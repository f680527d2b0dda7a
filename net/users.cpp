// Users made by the script: connecting to a server and the handshake, and
// the peer's address of any user.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "base/cp932.h"
#include "engine/call.h"
#include "net/commands.h"
#include "net/registry.h"

namespace qrt {

namespace {

// A dotted IPv4 address as it is, a name through the platform's (blocking)
// lookup; false when it cannot be resolved.
bool resolve(const char* host, in_addr& address) {
  const unsigned long dotted = inet_addr(host);
  if (dotted != INADDR_NONE) {
    address.s_addr = dotted;
    return true;
  }
  ADDRINFOW hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  ADDRINFOW* found = nullptr;
  if (GetAddrInfoW(widen932(host).c_str(), nullptr, &hints, &found) != 0 || !found) return false;
  address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  FreeAddrInfoW(found);
  return true;
}

// A socket connecting to host:port; invalid when connecting cannot start.
Socket connectTo(in_addr host, int32_t port) {
  Socket s = Socket::stream();
  if (!s.valid()) return s;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr = host;
  to.sin_port = htons(static_cast<u_short>(port));
  if (connect(s.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 && WSAGetLastError() != WSAEWOULDBLOCK)
    s.close();
  return s;
}

// State 1: once the connection is made, the hello goes out.
Io helloSent(NetworkUser& u) {
  const Io made = connectionMade(u.socket);
  return made == Io::kDone ? sendHello(u.socket, u.token) : made;
}

// State 2: the server's answer.
int32_t answerRead(NetworkUser& u) {
  const Io answer = readHello(u.socket, u.hello, u.token);
  if (answer == Io::kDone) {
    u.state = Link::kEstablished;
    return 1;
  }
  if (answer == Io::kFailed || timedOut(u.stamp)) return connectionLost(u);
  return 0;
}

}  // namespace

int32_t cmdPUserMake(Call& c) {
  NetworkRegistry* r = registryWithWinsock(c);
  if (!r) return kNetStop;
  if (c.unset(0)) return c.fail(660, kNetStop);
  in_addr host;
  if (!resolve(c.s(0), host)) return 0;
  const int32_t port = c.i(1), flag = c.i(3);
  if (!validPort(port) || !validFlag(flag)) return c.fail(660, kNetStop);
  const wire::Token token = connectionToken(c.s(2));
  Socket s = connectTo(host, port);
  if (!s.valid()) return 0;
  NetworkUser* u = addUser(*r, std::move(s), token, Link::kConnecting);
  if (!u) return c.fail(620, kNetStop);
  u->reserved = flag;
  return Call::handleResult(u->handle);
}

int32_t cmdPUserGetState(Call& c) {
  NetworkUser* u = userArgument(c, 0);
  if (!u) return c.fail(660, kNetStop);
  if (!u->socket.valid()) return -1;
  if (u->state == Link::kEstablished) return 1;
  if (u->state == Link::kConnecting) {
    const Io sent = helloSent(*u);
    if (sent == Io::kNotYet) return timedOut(u->stamp) ? connectionLost(*u) : 0;
    if (sent != Io::kDone) return connectionLost(*u);   // refused, or closed
    u->state = Link::kHandshake;
  }
  return answerRead(*u);
}

int32_t cmdPSrvGetUserIp(Call& c) {
  NetworkUser* u = userArgument(c, 0);
  if (!u) return c.fail(660, kNetStop);
  sockaddr_in peer{};
  int size = sizeof peer;
  if (!u->socket.valid() || getpeername(u->socket.get(), reinterpret_cast<sockaddr*>(&peer), &size) != 0 ||
      peer.sin_family != AF_INET)
    return -1;
  return static_cast<int32_t>(ntohl(peer.sin_addr.s_addr));
}

}  // namespace qrt
