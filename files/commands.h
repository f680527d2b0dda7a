// Handlers of the F@ commands and of CHDIR and CHDRIVE: file handles
// (file_commands.cpp) and whole files and folders (path_commands.cpp).
#pragma once
#include <cstdint>
#include <span>

namespace qrt {

class Call;
struct CommandBinding;

// The family's handlers by command, for the host to bind.
std::span<const CommandBinding> filesCommands();

int32_t cmdFOpen(Call& c);
int32_t cmdFClose(Call& c);
int32_t cmdFRead(Call& c);
int32_t cmdFWrite(Call& c);
int32_t cmdFRename(Call& c);
int32_t cmdFDelete(Call& c);
int32_t cmdFLeng(Call& c);
int32_t cmdFWriteS(Call& c);
int32_t cmdFReadS(Call& c);
int32_t cmdFFileCopy(Call& c);
int32_t cmdFDirMake(Call& c);
int32_t cmdFDirRel(Call& c);
int32_t cmdChDir(Call& c);
int32_t cmdChDrive(Call& c);

}  // namespace qrt
