// The system family: its record and its commands.
#include "system/ime_record.h"

#include <new>

#include "engine/family.h"
#include "system/ime_commands.h"

namespace qrt {

namespace {

SystemRecord* g_system = nullptr;

void createSystem() {
  if (!g_system) g_system = new (std::nothrow) SystemRecord();
}

void releaseSystem() {
  delete g_system;
  g_system = nullptr;
}

std::span<const CommandBinding> systemCommands() {
  static constexpr CommandBinding kBindings[] = {
      {commandId("S@IMESETMODE"), cmdSImeSetMode},
      {commandId("S@IMEGETMODE"), cmdSImeGetMode},
      {commandId("S@IMEGETSTR"), cmdSImeGetStr},
      {commandId("S@IMEGETSTATE"), cmdSImeGetState},
      {commandId("S@IMEGETRESULT"), cmdSImeGetResult},
      {commandId("S@IMEGETLIST"), cmdSImeGetList},
      {commandId("S@IMESETSELECT"), cmdSImeSetSelect},
      {commandId("S@IMESETEDITMODE"), cmdSImeSetEditMode},
      {commandId("S@IMEGETEDITSTR"), cmdSImeGetEditStr},
      {commandId("S@IMEGETEDITSTATE"), cmdSImeGetEditState},
      {commandId("S@IMEGETEDITRESULT"), cmdSImeGetEditResult},
      {commandId("S@IMEGETEDITCOLUMN"), cmdSImeGetEditColumn},
      {commandId("S@KANJICHK"), cmdSKanjiChk},
      {commandId("S@IMESETEDITLEN"), cmdSImeSetEditLen},
  };
  return kBindings;
}

}  // namespace

SystemRecord* systemRecord() { return g_system; }

Family systemFamily() { return {"system", createSystem, releaseSystem, nullptr, nullptr, systemCommands()}; }

}  // namespace qrt
