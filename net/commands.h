// Handlers of the P@ commands: servers (servers.cpp), users and their
// handshake (users.cpp), messages (messages.cpp), downloads (http.cpp);
// P@CLOSE with the record (network_registry.cpp).
#pragma once
#include <cstdint>
#include <span>

namespace qrt {

class Call;
struct CommandBinding;

std::span<const CommandBinding> networkCommands();

int32_t cmdPSrvMake(Call& c);
int32_t cmdPSrvGetUser(Call& c);
int32_t cmdPUserMake(Call& c);
int32_t cmdPUserGetState(Call& c);
int32_t cmdPPushInt(Call& c);
int32_t cmdPPopInt(Call& c);
int32_t cmdPPushStr(Call& c);
int32_t cmdPPopStr(Call& c);
int32_t cmdPRecvInt(Call& c);
int32_t cmdPRecvStr(Call& c);
int32_t cmdPSend(Call& c);
int32_t cmdPRecv(Call& c);
int32_t cmdPClose(Call& c);
int32_t cmdPSrvGetUserIp(Call& c);
int32_t cmdPInetOpen(Call& c);
int32_t cmdPInetRecv(Call& c);
int32_t cmdPInetClose(Call& c);

}  // namespace qrt
