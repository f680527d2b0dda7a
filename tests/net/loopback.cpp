#include "tests/net/loopback.h"

#include <ws2tcpip.h>

#include <stdexcept>

namespace qrt::test {

namespace {

constexpr ULONGLONG kPatienceMs = 10000;

sockaddr_in loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<u_short>(port));
  return a;
}

void nonBlocking(SOCKET s) {
  u_long on = 1;
  ioctlsocket(s, FIONBIO, &on);
}

// Waits until the socket can be read (or written), pumping the game in
// between; false once the patience is spent.
bool ready(SOCKET s, bool forWriting, const Pump& pump, ULONGLONG deadline) {
  for (;;) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait{0, pump ? 0 : 20000};
    const int n = forWriting ? select(0, nullptr, &set, nullptr, &wait) : select(0, &set, nullptr, nullptr, &wait);
    if (n != 0) return n > 0;
    if (GetTickCount64() > deadline) return false;
    if (pump) pump();
  }
}

SOCKET listening(int port, int backlog) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = loopback(port);
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, backlog) != 0)
    throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port));
  return s;
}

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
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = loopback(0);
  int size = sizeof a;
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
  closesocket(s);
  return ntohs(a.sin_port);
}

Peer::Peer(SOCKET s) : s_(s) {
  if (valid()) nonBlocking(s_);
}

Peer::Peer(Peer&& other) noexcept : s_(other.s_) { other.s_ = INVALID_SOCKET; }

Peer& Peer::operator=(Peer&& other) noexcept {
  if (this != &other) {
    close();
    s_ = other.s_;
    other.s_ = INVALID_SOCKET;
  }
  return *this;
}

Peer Peer::connectTo(int port) {
  useWinsock();
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = loopback(port);
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    closesocket(s);
    return Peer();
  }
  return Peer(s);
}

void Peer::close() {
  if (valid()) closesocket(s_);
  s_ = INVALID_SOCKET;
}

void Peer::reset() {
  linger abortive{1, 0};
  setsockopt(s_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive);
  close();
}

bool Peer::send(const Bytes& bytes, const Pump& pump) {
  return send(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), pump);
}

bool Peer::send(std::string_view bytes, const Pump& pump) {
  const ULONGLONG deadline = GetTickCount64() + kPatienceMs;
  size_t done = 0;
  while (done < bytes.size()) {
    const int n = ::send(s_, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (WSAGetLastError() != WSAEWOULDBLOCK || !ready(s_, true, pump, deadline)) {
      return false;
    }
  }
  return true;
}

bool Peer::read(size_t count, Bytes& out, const Pump& pump) {
  const ULONGLONG deadline = GetTickCount64() + kPatienceMs;
  const size_t target = out.size() + count;
  while (out.size() < target) {
    char buffer[65536];
    const size_t want = target - out.size() < sizeof buffer ? target - out.size() : sizeof buffer;
    const int n = recv(s_, buffer, static_cast<int>(want), 0);
    if (n > 0) {
      out.insert(out.end(), buffer, buffer + n);
    } else if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK || !ready(s_, false, pump, deadline)) {
      return false;
    }
  }
  return true;
}

size_t Peer::readAvailable(Bytes& out) {
  size_t total = 0;
  char buffer[65536];
  for (int n; (n = recv(s_, buffer, sizeof buffer, 0)) > 0; total += static_cast<size_t>(n))
    out.insert(out.end(), buffer, buffer + n);
  return total;
}

size_t Peer::drain(Bytes& out, int quietMs) {
  size_t total = readAvailable(out);
  for (;;) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s_, &set);
    timeval wait{0, quietMs * 1000};
    if (select(0, &set, nullptr, nullptr, &wait) <= 0) return total;
    const size_t got = readAvailable(out);
    if (got == 0) return total;
    total += got;
  }
}

bool Peer::closedByOtherSide(const Pump& pump) {
  const ULONGLONG deadline = GetTickCount64() + kPatienceMs;
  for (;;) {
    char buffer[4096];
    const int n = recv(s_, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) return true;
    if (n < 0 && !ready(s_, false, pump, deadline)) return false;
  }
}

Listener::Listener(int port) {
  useWinsock();
  s_ = listening(port, 16);
}

Listener::~Listener() { closesocket(s_); }

Peer Listener::accept(const Pump& pump) {
  if (!ready(s_, false, pump, GetTickCount64() + kPatienceMs)) return Peer();
  return Peer(::accept(s_, nullptr, nullptr));
}

bool answerHello(Peer& p, const wire::Token& token, const Pump& pump) {
  Bytes theirs;
  if (!p.read(wire::kHelloSize, theirs, pump) || !wire::isHello(theirs.data(), token)) return false;
  Bytes ours(wire::kHelloSize);
  wire::writeHello(ours.data(), 0, token);
  return p.send(ours, pump);
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

HttpServer::HttpServer(std::function<Response(const std::string&)> respond) : respond_(std::move(respond)) {
  useWinsock();
  port_ = freePort();
  listener_ = listening(port_, 8);
  thread_ = std::thread([this] { serve(); });
}

void HttpServer::stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  Peer wake = Peer::connectTo(port_);
  thread_.join();
  closesocket(listener_);
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
    SOCKET c = ::accept(listener_, nullptr, nullptr);
    if (c == INVALID_SOCKET || stopping_) {
      closesocket(c);
      return;
    }
    std::string head;
    char buffer[4096];
    for (int n; head.find("\r\n\r\n") == std::string::npos && (n = recv(c, buffer, sizeof buffer, 0)) > 0;)
      head.append(buffer, static_cast<size_t>(n));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(head);
    }
    const size_t start = head.find(' ') + 1;
    const Response r = respond_(head.substr(start, head.find(' ', start) - start));
    for (size_t done = 0; done < r.bytes.size();) {
      const int n = ::send(c, r.bytes.data() + done, static_cast<int>(r.bytes.size() - done), 0);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    if (r.hold) {
      DWORD patience = kPatienceMs;
      setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&patience), sizeof patience);
      const int n = recv(c, buffer, sizeof buffer, 0);
      if (n == 0 || (n < 0 && WSAGetLastError() != WSAETIMEDOUT)) ++heldClosed_;
    } else {
      shutdown(c, SD_SEND);
    }
    closesocket(c);
  }
}

}  // namespace qrt::test
