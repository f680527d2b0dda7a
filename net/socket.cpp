#include "net/socket.h"

#include <climits>

namespace qrt {

namespace {

Io lastError() { return WSAGetLastError() == WSAEWOULDBLOCK ? Io::kNotYet : Io::kFailed; }

int clampedCount(uint32_t count) { return count > INT_MAX ? INT_MAX : static_cast<int>(count); }

}  // namespace

Socket Socket::stream() {
  Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (s.valid() && !s.prepare()) s.close();
  return s;
}

// Games send small messages every frame: the platform must not hold one
// back until the one before it has been acknowledged.
bool Socket::prepare() {
  BOOL noDelay = TRUE;
  setsockopt(get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
  u_long on = 1;
  return ioctlsocket(get(), FIONBIO, &on) == 0;
}

IoResult sendSome(const Socket& s, const uint8_t* bytes, uint32_t count) {
  const int n = send(s.get(), reinterpret_cast<const char*>(bytes), clampedCount(count), 0);
  if (n == SOCKET_ERROR) return {lastError(), 0};
  return {Io::kDone, static_cast<uint32_t>(n)};
}

IoResult receiveSome(const Socket& s, uint8_t* bytes, uint32_t count) {
  const int n = recv(s.get(), reinterpret_cast<char*>(bytes), clampedCount(count), 0);
  if (n == SOCKET_ERROR) return {lastError(), 0};
  // An orderly close: nothing more will ever come, so waiting on is futile.
  if (n == 0) return {Io::kClosed, 0};
  return {Io::kDone, static_cast<uint32_t>(n)};
}

Io connectionMade(const Socket& s) {
  // A refused connection shows in the exception set, never as writable:
  // looking there too reports it now instead of at the time-out.
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s.get(), &writable);
  FD_SET(s.get(), &failed);
  timeval now{0, 0};
  const int n = select(0, nullptr, &writable, &failed, &now);
  if (n == SOCKET_ERROR || FD_ISSET(s.get(), &failed)) return Io::kFailed;
  return FD_ISSET(s.get(), &writable) ? Io::kDone : Io::kNotYet;
}

Io readHello(const Socket& s, HelloBlock& hello, const wire::Token& token) {
  while (hello.got < wire::kHelloSize) {
    const IoResult r = receiveSome(s, hello.bytes + hello.got, wire::kHelloSize - hello.got);
    if (r.status != Io::kDone) return r.status == Io::kNotYet ? Io::kNotYet : Io::kFailed;
    hello.got += r.bytes;
  }
  return wire::isHello(hello.bytes, token) ? Io::kDone : Io::kFailed;
}

Io sendHello(const Socket& s, const wire::Token& token) {
  uint8_t block[wire::kHelloSize];
  wire::writeHello(block, GetTickCount(), token);
  const IoResult r = sendSome(s, block, sizeof block);
  if (r.status == Io::kDone && r.bytes != sizeof block) return Io::kFailed;
  return r.status;
}

}  // namespace qrt
