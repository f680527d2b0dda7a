// The S@ commands and the handlers that serve them.
#include "system/commands.h"

#include "engine/family.h"
#include "system/ime_commands.h"

namespace qrt {

std::span<const CommandBinding> systemCommands() {
  static constexpr CommandBinding kBindings[] = {
      {commandId("S@MSG"), cmdSMsg},
      {commandId("S@REGSET"), cmdSRegSet},
      {commandId("S@TITLESET"), cmdSTitleSet},
      {commandId("S@WINEXIT"), cmdSWinExit},
      {commandId("S@WINVERGET"), cmdSWinVerGet},
      {commandId("S@USERNAMEGET"), cmdSUserNameGet},
      {commandId("S@COMNAMEGET"), cmdSComNameGet},
      {commandId("S@WINDIRGET"), cmdSWinDirGet},
      {commandId("S@WINSYSDIRGET"), cmdSWinSysDirGet},
      {commandId("S@WINOPEN"), cmdSWinOpen},
      {commandId("S@WINCLOSE"), cmdSWinClose},
      {commandId("S@WINCLOSECHK"), cmdSWinCloseChk},
      {commandId("S@WINZOOMCHK"), cmdSWinZoomChk},
      {commandId("S@WINACTCHK"), cmdSWinActChk},
      {commandId("S@PARAM"), cmdSParam},
      {commandId("S@SYSACTCHK"), cmdSSysActChk},
      {commandId("S@SYSACTLOOK"), cmdSSysActLook},
      {commandId("S@BACKGROUND"), cmdSBackground},
      {commandId("S@SYSPARM"), cmdSSysParm},
      {commandId("S@SLEEP"), cmdSSleep},
      {commandId("S@OUTP"), cmdSOutP},
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

}  // namespace qrt
