// Handlers of the S@ system commands (ids 142..162): window state, the
// message box, system information, the registry, the command line, the
// instance check, the background mode, sleeping and port output. The IME
// commands are in ime_commands.h.
#pragma once
#include <cstdint>
#include <span>

namespace qrt {

class Call;
struct CommandBinding;

// The family's handlers by command, for the host to bind.
std::span<const CommandBinding> systemCommands();

// window_commands.cpp
int32_t cmdSMsg(Call& c);
int32_t cmdSTitleSet(Call& c);
int32_t cmdSWinOpen(Call& c);
int32_t cmdSWinClose(Call& c);
int32_t cmdSWinCloseChk(Call& c);
int32_t cmdSWinZoomChk(Call& c);
int32_t cmdSWinActChk(Call& c);
int32_t cmdSBackground(Call& c);
int32_t cmdSSleep(Call& c);

// machine_commands.cpp
int32_t cmdSRegSet(Call& c);
int32_t cmdSWinExit(Call& c);
int32_t cmdSWinVerGet(Call& c);
int32_t cmdSUserNameGet(Call& c);
int32_t cmdSComNameGet(Call& c);
int32_t cmdSWinDirGet(Call& c);
int32_t cmdSWinSysDirGet(Call& c);
int32_t cmdSParam(Call& c);
int32_t cmdSSysParm(Call& c);
int32_t cmdSSysActChk(Call& c);
int32_t cmdSSysActLook(Call& c);
int32_t cmdSOutP(Call& c);

}  // namespace qrt
