// The network family's record: made empty at start-up, Winsock started by
// the first server or user, everything closed at shutdown.
#include "net/registry.h"

#include <new>

#include "base/clock.h"
#include "engine/call.h"
#include "engine/family.h"
#include "files/cipher.h"
#include "net/commands.h"

namespace qrt {

namespace {

NetworkRegistry* g_network = nullptr;

void createNetwork() {
  if (!g_network) g_network = new (std::nothrow) NetworkRegistry();
}

void releaseNetwork() {
  delete g_network;
  g_network = nullptr;
}

}  // namespace

NetworkRegistry::~NetworkRegistry() {
  users.releaseAll();
  servers.releaseAll();
  downloads.releaseAll();
  internet.reset();
  if (winsockStarted) WSACleanup();
}

NetworkRegistry* networkRegistry() { return g_network; }

bool startWinsock(Call& c, NetworkRegistry& r) {
  if (r.winsockStarted) return true;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    c.fail(630);
    return false;
  }
  r.winsockStarted = true;
  return true;
}

wire::Token connectionToken(const char* keyText) {
  wire::Token t{};
  desDecrypt(t.data(), t.size(), keyText ? keyText : "");
  return t;
}

NetworkUser* userArgument(Call& c, int n) { return g_network ? g_network->users.find(c.handle(n)) : nullptr; }

NetworkServer* serverArgument(Call& c, int n) {
  return g_network ? g_network->servers.find(c.handle(n)) : nullptr;
}

bool timedOut(uint32_t stamp) { return clockMs() - stamp > kTimeoutMs; }

// Users accepted through a server outlive it; the connections it still
// had in their handshake go with it, since no script holds them.
int32_t cmdPClose(Call& c) {
  NetworkRegistry* r = g_network;
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

Family networkFamily() { return {"network", createNetwork, releaseNetwork, nullptr, nullptr, networkCommands()}; }

}  // namespace qrt
