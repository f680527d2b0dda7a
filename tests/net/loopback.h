// Raw peers on 127.0.0.1 for the network tests and benchmarks: plain
// Winsock sockets driven by hand, and a small HTTP server on a thread of
// its own. Only the loopback address is ever used.
//
// A game runs in the test's own thread, so every wait takes a `pump` (one
// game step) and calls it between tries; every wait ends by itself.
#pragma once
#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/wire.h"

namespace qrt::test {

using Pump = std::function<void()>;
using Bytes = std::vector<uint8_t>;

// Starts Winsock for the test's own sockets (once per program).
void useWinsock();
// A port of 127.0.0.1 that nothing listens on right now.
int freePort();

class Peer {
 public:
  Peer() = default;
  explicit Peer(SOCKET s);
  ~Peer() { close(); }
  Peer(Peer&& other) noexcept;
  Peer& operator=(Peer&& other) noexcept;

  // Connects to 127.0.0.1:port; invalid when nothing answers.
  static Peer connectTo(int port);

  bool valid() const { return s_ != INVALID_SOCKET; }
  SOCKET get() const { return s_; }
  void close();
  // Closes with a reset instead of an orderly close.
  void reset();

  // Sends all of it; false when the connection fails first.
  bool send(const Bytes& bytes, const Pump& pump = {});
  bool send(std::string_view bytes, const Pump& pump = {});
  // Exactly `count` bytes, appended; false when the connection ends or
  // nothing comes for ten seconds.
  bool read(size_t count, Bytes& out, const Pump& pump = {});
  // What has arrived by now, appended, without waiting.
  size_t readAvailable(Bytes& out);
  // Everything until nothing more arrives for `quietMs`.
  size_t drain(Bytes& out, int quietMs);
  // Whether the other side closes (or resets) the connection within ten
  // seconds, anything it still sends being read and dropped.
  bool closedByOtherSide(const Pump& pump = {});

 private:
  SOCKET s_ = INVALID_SOCKET;
};

class Listener {
 public:
  explicit Listener(int port);
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;
  // The next connection, waited for while pumping; invalid after ten seconds.
  Peer accept(const Pump& pump = {});

 private:
  SOCKET s_ = INVALID_SOCKET;
};

// A game's side of the handshake, done by hand: reads the game's hello,
// answers with this side's (or sends first, for a peer that connects).
bool answerHello(Peer& p, const wire::Token& token, const Pump& pump);
bool greet(Peer& p, const wire::Token& token, const Pump& pump);

// A message as it goes on the wire: the words (L, n, m, the integers) and
// the string bytes, everything after L masked. L is taken as given, so
// that a test can lie about it.
Bytes maskedMessage(std::initializer_list<uint32_t> words, std::string_view strings, const wire::Token& token);

// Serves HTTP/1.0 on 127.0.0.1 from its own thread, one request at a time,
// each answered by `respond` with the whole response. A response marked
// `hold` keeps its connection open afterwards until the client closes it.
class HttpServer {
 public:
  struct Response {
    std::string bytes;
    bool hold = false;
  };
  explicit HttpServer(std::function<Response(const std::string& path)> respond);
  ~HttpServer() { stop(); }
  // Ends the server once the request in hand is done.
  void stop();
  int port() const { return port_; }
  std::vector<std::string> requests();   // each request's head, in order
  int heldClosed() const { return heldClosed_; }

  static std::string response(int status, std::string_view body);

 private:
  void serve();

  std::function<Response(const std::string&)> respond_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> heldClosed_{0};
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace qrt::test
