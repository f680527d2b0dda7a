// The G@ commands and the handlers that serve them.
#include "gfx2d/commands.h"

#include "engine/family.h"

namespace qrt {

std::span<const CommandBinding> gfx2dCommands() {
  static constexpr CommandBinding kBindings[] = {
      {commandId("G@SETUP"), cmdGSetup},
      {commandId("G@DISPMODEGET"), cmdGDispModeGet},
      {commandId("G@DISPMODECOUNT"), cmdGDispModeCount},
      {commandId("G@WINDOWSET"), cmdGWindowSet},
      {commandId("G@PRINT"), cmdGPrint},
      {commandId("G@FONT"), cmdGFont},
      {commandId("G@COLOR"), cmdGColor},
      {commandId("G@COLORA"), cmdGColorA},
      {commandId("G@FLIP"), cmdGFlip},
      {commandId("G@CHRCLEAR"), cmdGChrClear},
      {commandId("G@CHRLOAD"), cmdGChrLoad},
      {commandId("G@RELEASE"), cmdGRelease},
      {commandId("G@CHRCOPY"), cmdGChrCopy},
      {commandId("G@CHRCOPYF"), cmdGChrCopyF},
      {commandId("G@CHRCOPYC"), cmdGChrCopyC},
      {commandId("G@CHRCOPY2"), cmdGChrCopy2},
      {commandId("G@CHRCOPYF2"), cmdGChrCopyF2},
      {commandId("G@CHRCOPYC2"), cmdGChrCopyC2},
      {commandId("G@CHRRECT"), cmdGChrRect},
      {commandId("G@CHRSAVE"), cmdGChrSave},
      {commandId("G@CHRMAKE"), cmdGChrMake},
      {commandId("G@CHRLOADCKEY"), cmdGChrLoadCKey},
      {commandId("G@CHRCOLORA"), cmdGChrColorA},
  };
  return kBindings;
}

}  // namespace qrt
