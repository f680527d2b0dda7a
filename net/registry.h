// The network family's record and the records scripts hold: servers, users
// (every connection, on either side) and downloads.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <vector>

#include "base/registry.h"
#include "base/win_handle.h"
#include "net/network.h"
#include "net/socket.h"
#include "net/wire.h"

namespace qrt {

class Call;

// The result that ends the program for most network commands.
constexpr int32_t kNetStop = 32767;
// Waits fail once more than this has passed since the user's time stamp.
constexpr uint32_t kTimeoutMs = 60000;

// What P@SRVMAKE and P@USERMAKE accept.
inline bool validPort(int32_t port) { return port >= 2 && port <= 65534; }
inline bool validFlag(int32_t flag) { return flag == 0 || flag == 1; }

enum class Link : int32_t { kConnecting = 1, kHandshake = 2, kEstablished = 3 };

// One connection. Its socket is invalid once the connection has failed or
// been closed; the record itself lives until P@CLOSE.
struct NetworkUser : HandleRecord {
  Socket socket;
  wire::Token token{};
  int32_t reserved = 0;
  Link state = Link::kConnecting;
  uint32_t stamp = 0;        // the one time stamp every wait of this user measures from
  HelloBlock hello;          // the server's answer, while connecting
  wire::Inbox inbox;
  wire::Outbox outbox;
};

// A connection accepted by a server whose hello has not come yet. It gets
// a user record (and a handle) only once the handshake is done, so a peer
// that never completes it costs no more than its socket.
struct PendingPeer {
  Socket socket;
  HelloBlock hello;
  uint32_t since = 0;
};

struct NetworkServer : HandleRecord {
  Socket listener;           // invalid once accepting has failed
  wire::Token token{};
  int32_t reserved = 0;
  std::vector<PendingPeer> pending;   // oldest first
};

inline void closeInternetHandle(HINTERNET h) { InternetCloseHandle(h); }
// A handle of WinINet, closed once.
using InternetHandle = PlatformHandle<HINTERNET, noHandle, closeInternetHandle>;

struct Download : HandleRecord {
  InternetHandle request;
};

// Winsock, cleaned up when the record goes if it was started.
struct WinsockUse {
  bool started = false;
  WinsockUse() = default;
  WinsockUse(const WinsockUse&) = delete;
  WinsockUse& operator=(const WinsockUse&) = delete;
  ~WinsockUse() {
    if (started) WSACleanup();
  }
};

// Members go in reverse order: users, servers, downloads and the internet
// handle are closed first, Winsock last.
struct NetworkRegistry {
  WinsockUse winsock;
  InternetHandle internet;   // opened by the first P@INETOPEN
  HandleRegistry<Download, kind::kDownload> downloads;
  HandleRegistry<NetworkServer, kind::kNetworkServer> servers;
  HandleRegistry<NetworkUser, kind::kNetworkUser> users;
};

// The record, with Winsock 2.2 started (once for the record's life);
// nullptr after box 620 (no record) or 630 (no Winsock).
NetworkRegistry* registryWithWinsock(Call& c);

// The connection token of a key text: the block cipher's decryption of
// eight zero bytes under the key (an unset key counts as empty).
wire::Token connectionToken(const char* keyText);

// The live record named by argument n, or nullptr.
NetworkUser* userArgument(Call& c, int n);
NetworkServer* serverArgument(Call& c, int n);

// A new user on the socket, its time stamp now; nullptr when there is no
// memory for it.
NetworkUser* addUser(NetworkRegistry& r, Socket socket, const wire::Token& token, Link state);

// Closes the user's connection for good; the record stays, answering -1.
inline int32_t connectionLost(NetworkUser& u) {
  u.socket.close();
  return -1;
}

// More than the time-out has passed since the stamp (clockMs).
bool timedOut(uint32_t stamp);

}  // namespace qrt
