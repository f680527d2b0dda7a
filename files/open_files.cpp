// The files family: its record and its commands. Files a script still
// holds when the program ends are flushed and closed with the record.
#include "engine/family.h"
#include "files/commands.h"
#include "files/files.h"

namespace qrt {

OpenFiles* openFiles() { return PlainRecord<OpenFiles>::current; }

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

Family filesFamily() {
  return {"files", PlainRecord<OpenFiles>::create, PlainRecord<OpenFiles>::release, nullptr, nullptr,
          filesCommands()};
}

}  // namespace qrt
