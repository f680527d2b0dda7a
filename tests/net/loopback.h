// Raw peers on 127.0.0.1 (never another address) for the network tests
// and benchmark, and a small HTTP server on a thread of its own. A game
// runs in the test's thread, so every wait steps it (`pump`) between tries;
// every wait gives up after ten seconds (stretched by the bed's pace).
#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/socket.h"

namespace qrt::test {

using Pump = std::function<void()>;
using Bytes = std::vector<uint8_t>;

void useWinsock();   // for the test's own sockets, once
int freePort();      // nothing listens on it right now

// One end of a connection, on the game's kind of socket (non-blocking,
// sending at once).
class Peer {
 public:
  Peer() = default;
  explicit Peer(Socket s) : s_(std::move(s)) {}
  static Peer connectTo(int port);   // invalid when nothing answers

  bool valid() const { return s_.valid(); }
  SOCKET get() const { return s_.get(); }
  void close() { s_.close(); }

  bool send(std::string_view bytes, const Pump& pump = {});
  bool send(const Bytes& b, const Pump& pump = {}) { return send({reinterpret_cast<const char*>(b.data()), b.size()}, pump); }
  // Exactly `count` more bytes onto `out`; false if the connection ends first.
  bool read(size_t count, Bytes& out, const Pump& pump = {});
  // What has arrived, onto `out`; with `quietMs`, until nothing more comes
  // for that long.
  size_t readAvailable(Bytes& out, int quietMs = 0);
  // Whether the other side closes or resets the connection, whatever it
  // still sends being dropped.
  bool closedByOtherSide(const Pump& pump = {});

 private:
  Socket s_;
};

class Listener {
 public:
  explicit Listener(int port);
  Peer accept(const Pump& pump = {});

 private:
  Socket s_;
};

// The handshake done by hand: answering a game that connected, or greeting
// a game's server.
bool answerHello(Peer& p, const wire::Token& token, const Pump& pump);
bool greet(Peer& p, const wire::Token& token, const Pump& pump);

// The words (L, n, m, integers) and string bytes of a message as they go
// on the wire, everything after L masked; L as given, so that it can lie.
Bytes maskedMessage(std::initializer_list<uint32_t> words, std::string_view strings, const wire::Token& token);

// HTTP/1.0 on 127.0.0.1, one request at a time, each answered with the
// whole response `respond` gives; one marked `hold` keeps its connection
// until the client lets go.
class HttpServer {
 public:
  struct Response {
    std::string bytes;
    bool hold = false;
  };
  explicit HttpServer(std::function<Response(const std::string& path)> respond);
  ~HttpServer() { stop(); }
  void stop();   // once the request in hand is done
  int port() const { return port_; }
  std::vector<std::string> requests();   // each request's head, in order
  int heldClosed() const { return heldClosed_; }
  static std::string response(int status, std::string_view body);

 private:
  void serve();

  std::function<Response(const std::string&)> respond_;
  int port_ = 0;
  Listener listener_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> heldClosed_{0};
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace qrt::test
