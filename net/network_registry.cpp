// The network family's record: made empty at start-up, Winsock started by
// the first server or user, everything closed at shutdown (the record's
// destructor).
#include "net/registry.h"

#include "base/clock.h"
#include "engine/call.h"
#include "engine/family.h"
#include "files/cipher.h"
#include "net/commands.h"

namespace qrt {

using NetworkRecord = PlainRecord<NetworkRegistry>;

NetworkRegistry* networkRegistry() { return NetworkRecord::current; }

NetworkRegistry* registryWithWinsock(Call& c) {
  NetworkRegistry* r = NetworkRecord::current;
  if (!r) {
    c.fail(620);
    return nullptr;
  }
  if (!r->winsock.started) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
      c.fail(630);
      return nullptr;
    }
    r->winsock.started = true;
  }
  return r;
}

wire::Token connectionToken(const char* keyText) {
  wire::Token t{};
  desDecrypt(t.data(), t.size(), keyText);
  return t;
}

NetworkUser* userArgument(Call& c, int n) {
  NetworkRegistry* r = NetworkRecord::current;
  return r ? r->users.find(c.handle(n)) : nullptr;
}

NetworkServer* serverArgument(Call& c, int n) {
  NetworkRegistry* r = NetworkRecord::current;
  return r ? r->servers.find(c.handle(n)) : nullptr;
}

NetworkUser* addUser(NetworkRegistry& r, Socket socket, const wire::Token& token, Link state) {
  NetworkUser* u = r.users.make();
  if (!u) return nullptr;
  u->socket = std::move(socket);
  u->token = token;
  u->state = state;
  u->stamp = clockMs();
  return u;
}

bool timedOut(uint32_t stamp) { return clockMs() - stamp > kTimeoutMs; }

// Users accepted through a server outlive it; the connections it still
// had in their handshake go with it, since no script holds them.
int32_t cmdPClose(Call& c) {
  NetworkRegistry* r = NetworkRecord::current;
  if (NetworkUser* u = userArgument(c, 0)) {
    r->users.release(u);
    return kDone;
  }
  if (NetworkServer* s = serverArgument(c, 0)) {
    r->servers.release(s);
    return kDone;
  }
  return c.fail(660, kNetStop);
}

std::span<const CommandBinding> networkCommands() {
  static constexpr CommandBinding kBindings[] = {
      {commandId("P@SRVMAKE"), cmdPSrvMake},
      {commandId("P@SRVGETUSER"), cmdPSrvGetUser},
      {commandId("P@USERMAKE"), cmdPUserMake},
      {commandId("P@USERGETSTATE"), cmdPUserGetState},
      {commandId("P@PUSHINT"), cmdPPushInt},
      {commandId("P@POPINT"), cmdPPopInt},
      {commandId("P@PUSHSTR"), cmdPPushStr},
      {commandId("P@POPSTR"), cmdPPopStr},
      {commandId("P@RECVINT"), cmdPRecvInt},
      {commandId("P@RECVSTR"), cmdPRecvStr},
      {commandId("P@SEND"), cmdPSend},
      {commandId("P@RECV"), cmdPRecv},
      {commandId("P@CLOSE"), cmdPClose},
      {commandId("P@SRVGETUSERIP"), cmdPSrvGetUserIp},
      {commandId("P@INETOPEN"), cmdPInetOpen},
      {commandId("P@INETRECV"), cmdPInetRecv},
      {commandId("P@INETCLOSE"), cmdPInetClose},
  };
  return kBindings;
}

Family networkFamily() {
  return {"network", NetworkRecord::create, NetworkRecord::release, nullptr, nullptr, networkCommands()};
}

}  // namespace qrt
