#include "tests/net/loopback.h"

#include <stdexcept>

#include "tests/support/pace.h"

namespace qrt::test {

namespace {

// Ten seconds on a native machine.
const ULONGLONG kPatienceMs = static_cast<ULONGLONG>(paced(10000));

sockaddr_in loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<u_short>(port));
  return a;
}

// Waits until the socket can be read (or written), pumping the game in
// between; false once the patience is spent.
bool ready(SOCKET s, bool forWriting, const Pump& pump, ULONGLONG deadline) {
  for (;;) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait{0, pump ? 0 : 20000};
    const int n = select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, &wait);
    if (n != 0) return n > 0;
    if (GetTickCount64() > deadline) return false;
    if (pump) pump();
  }
}

bool wouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }

}  // namespace

void useWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("no Winsock");
}

int freePort() {
  useWinsock();
  Socket s = Socket::stream();
  sockaddr_in a = loopback(0);
  int size = sizeof a;
  bind(s.get(), reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(s.get(), reinterpret_cast<sockaddr*>(&a), &size);
  return ntohs(a.sin_port);
}

Peer Peer::connectTo(int port) {
  useWinsock();
  Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  const sockaddr_in a = loopback(port);
  if (connect(s.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || !s.prepare()) return Peer();
  return Peer(std::move(s));
}

bool Peer::send(std::string_view bytes, const Pump& pump) {
  const ULONGLONG deadline = GetTickCount64() + kPatienceMs;
  for (size_t done = 0; done < bytes.size();) {
    const int n = ::send(get(), bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
    if (n > 0) done += static_cast<size_t>(n);
    else if (!wouldBlock() || !ready(get(), true, pump, deadline)) return false;
  }
  return true;
}

bool Peer::read(size_t count, Bytes& out, const Pump& pump) {
  const ULONGLONG deadline = GetTickCount64() + kPatienceMs;
  const size_t target = out.size() + count;
  const size_t start = out.size();
  out.resize(target);
  for (size_t got = start; got < target;) {
    const int n = recv(get(), reinterpret_cast<char*>(out.data() + got), static_cast<int>(target - got), 0);
    if (n > 0) {
      got += static_cast<size_t>(n);
    } else if (n == 0 || !wouldBlock() || !ready(get(), false, pump, deadline)) {
      out.resize(got);
      return false;
    }
  }
  return true;
}

size_t Peer::readAvailable(Bytes& out, int quietMs) {
  size_t total = 0;
  char buffer[65536];
  do {
    for (int n; (n = recv(get(), buffer, sizeof buffer, 0)) > 0; total += static_cast<size_t>(n))
      out.insert(out.end(), buffer, buffer + n);
  } while (quietMs > 0 && ready(get(), false, {}, GetTickCount64() + static_cast<ULONGLONG>(quietMs)));
  return total;
}

bool Peer::closedByOtherSide(const Pump& pump) {
  const ULONGLONG deadline = GetTickCount64() + kPatienceMs;
  for (char buffer[4096];;) {
    const int n = recv(get(), buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && !wouldBlock())) return true;
    if (n < 0 && !ready(get(), false, pump, deadline)) return false;
  }
}

Listener::Listener(int port) {
  useWinsock();
  s_ = Socket::stream();
  const sockaddr_in a = loopback(port);
  if (bind(s_.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || listen(s_.get(), 16) != 0)
    throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port));
}

Peer Listener::accept(const Pump& pump) {
  if (!ready(s_.get(), false, pump, GetTickCount64() + kPatienceMs)) return Peer();
  Socket s(::accept(s_.get(), nullptr, nullptr));
  return s.valid() && s.prepare() ? Peer(std::move(s)) : Peer();
}

bool answerHello(Peer& p, const wire::Token& token, const Pump& pump) {
  Bytes theirs, ours(wire::kHelloSize);
  wire::writeHello(ours.data(), 0, token);
  return p.read(wire::kHelloSize, theirs, pump) && wire::isHello(theirs.data(), token) && p.send(ours, pump);
}

bool greet(Peer& p, const wire::Token& token, const Pump& pump) {
  Bytes ours(wire::kHelloSize), theirs;
  wire::writeHello(ours.data(), 0, token);
  return p.send(ours, pump) && p.read(wire::kHelloSize, theirs, pump) && wire::isHello(theirs.data(), token);
}

Bytes maskedMessage(std::initializer_list<uint32_t> words, std::string_view strings, const wire::Token& token) {
  Bytes b;
  for (uint32_t w : words)
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(w >> (8 * k)));
  b.insert(b.end(), strings.begin(), strings.end());
  if (b.size() > 4) wire::mask(b.data() + 4, b.size() - 4, token);
  return b;
}

HttpServer::HttpServer(std::function<Response(const std::string&)> respond)
    : respond_(std::move(respond)), port_(freePort()), listener_(port_), thread_([this] { serve(); }) {}

void HttpServer::stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  Peer wake = Peer::connectTo(port_);
  thread_.join();
}

std::vector<std::string> HttpServer::requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::string HttpServer::response(int status, std::string_view body) {
  return "HTTP/1.0 " + std::to_string(status) + " Status\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + std::string(body);
}

void HttpServer::serve() {
  while (!stopping_) {
    Peer c = listener_.accept();
    if (!c.valid() || stopping_) continue;
    Bytes in;
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos && c.read(1, in)) {
      c.readAvailable(in);
      head.assign(in.begin(), in.end());
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(head);
    }
    const size_t start = head.find(' ') + 1;
    const Response r = respond_(head.substr(start, head.find(' ', start) - start));
    c.send(r.bytes);
    if (r.hold && c.closedByOtherSide()) ++heldClosed_;
    if (!r.hold) shutdown(c.get(), SD_SEND);
  }
}

}  // namespace qrt::test
