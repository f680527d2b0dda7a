// The files family: its record and its commands. Files a script still
// holds when the program ends are flushed and closed with the record.
#include <new>

#include "engine/family.h"
#include "files/commands.h"
#include "files/files.h"

namespace qrt {

namespace {

OpenFiles* g_files = nullptr;

void createFiles() {
  if (!g_files) g_files = new (std::nothrow) OpenFiles();
}

void releaseFiles() {
  delete g_files;
  g_files = nullptr;
}

}  // namespace

OpenFiles* openFiles() { return g_files; }

std::span<const CommandBinding> filesCommands() {
  static constexpr CommandBinding kBindings[] = {
      {commandId("CHDIR"), cmdChDir},
      {commandId("CHDRIVE"), cmdChDrive},
      {commandId("F@OPEN"), cmdFOpen},
      {commandId("F@CLOSE"), cmdFClose},
      {commandId("F@READ"), cmdFRead},
      {commandId("F@WRITE"), cmdFWrite},
      {commandId("F@RENAME"), cmdFRename},
      {commandId("F@DELETE"), cmdFDelete},
      {commandId("F@LENG"), cmdFLeng},
      {commandId("F@WRITES"), cmdFWriteS},
      {commandId("F@READS"), cmdFReadS},
      {commandId("F@FILECOPY"), cmdFFileCopy},
      {commandId("F@DIRMAKE"), cmdFDirMake},
      {commandId("F@DIRREL"), cmdFDirRel},
  };
  return kBindings;
}

Family filesFamily() { return {"files", createFiles, releaseFiles, nullptr, nullptr, filesCommands()}; }

}  // namespace qrt
