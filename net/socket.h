// Non-blocking TCP sockets as the network commands use them: every call
// returns at once, and "not yet" is an answer of its own, never an error.
#pragma once
#include <winsock2.h>

#include <cstdint>

#include "base/win_handle.h"
#include "net/wire.h"

namespace qrt {

inline SOCKET noSocket() { return INVALID_SOCKET; }
inline void closeSocket(SOCKET s) { closesocket(s); }

// Owns one socket and closes it once.
class Socket : public PlatformHandle<SOCKET, noSocket, closeSocket> {
 public:
  using PlatformHandle::PlatformHandle;

  bool valid() const { return static_cast<bool>(*this); }
  void close() { reset(); }

  // A new IPv4 TCP socket, prepared; invalid when none can be had.
  static Socket stream();
  // Never blocks, and sends each message as soon as it is given.
  bool prepare();
};

// What one send or receive did.
enum class Io { kDone, kNotYet, kClosed, kFailed };
struct IoResult {
  Io status;
  uint32_t bytes;   // moved, when kDone
};
IoResult sendSome(const Socket& s, const uint8_t* bytes, uint32_t count);
IoResult receiveSome(const Socket& s, uint8_t* bytes, uint32_t count);

// Whether a connection being made has been made: kDone, kNotYet, or
// kFailed (refused, unreachable, or the poll itself failed).
Io connectionMade(const Socket& s);

// The hello block as it arrives, possibly in pieces.
struct HelloBlock {
  uint8_t bytes[wire::kHelloSize] = {};
  uint32_t got = 0;
};
// Reads what is missing of a peer's hello: kDone once all of it is in and
// it carries the token, kNotYet while it is incomplete, kFailed for a
// wrong block, a closed connection or an error.
Io readHello(const Socket& s, HelloBlock& hello, const wire::Token& token);
// Sends this side's hello in one piece; kNotYet when the socket cannot
// take it now.
Io sendHello(const Socket& s, const wire::Token& token);

}  // namespace qrt
