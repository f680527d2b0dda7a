// The G3@ commands and the handlers that serve them.
#include "scene3d/commands.h"

#include "engine/family.h"

namespace qrt {

std::span<const CommandBinding> sceneCommands() {
  static constexpr CommandBinding kBindings[] = {
      {commandId("G3@ADD"), cmdG3Add},
      {commandId("G3@DELETE"), cmdG3Delete},
      {commandId("G3@RELEASE"), cmdG3Release},
      {commandId("G3@FRMSETPOS"), cmdG3FrmSetPos},
      {commandId("G3@FRMSETPOSREL"), cmdG3FrmSetPosRel},
      {commandId("G3@FRMSETPOSAUTO"), cmdG3FrmSetPosAuto},
      {commandId("G3@FRMSETROT"), cmdG3FrmSetRot},
      {commandId("G3@FRMSETROTREL"), cmdG3FrmSetRotRel},
      {commandId("G3@FRMSETROTAUTO"), cmdG3FrmSetRotAuto},
      {commandId("G3@FRMSETSCALE"), cmdG3FrmSetScale},
      {commandId("G3@FRMSETBILL"), cmdG3FrmSetBill},
      {commandId("G3@FRMSETENABLE"), cmdG3FrmSetEnable},
      {commandId("G3@FRMSETCULL"), cmdG3FrmSetCull},
      {commandId("G3@FRMSETSHADE"), cmdG3FrmSetShade},
      {commandId("G3@FRMSETFILTER"), cmdG3FrmSetFilter},
      {commandId("G3@FRMSETLIGHTD"), cmdG3FrmSetLightD},
      {commandId("G3@FRMSETLIGHTS"), cmdG3FrmSetLightS},
      {commandId("G3@FRMSETTEXENABLE"), cmdG3FrmSetTexEnable},
      {commandId("G3@FRMSETBLEND"), cmdG3FrmSetBlend},
      {commandId("G3@FRMSETAMBIENT"), cmdG3FrmSetAmbient},
      {commandId("G3@FRMSETFSAA"), cmdG3FrmSetFsaa},
      {commandId("G3@FRMSETVERTEX"), cmdG3FrmSetVertex},
      {commandId("G3@FRMSETFOGMODE"), cmdG3FrmSetFogMode},
      {commandId("G3@FRMSETFOGCOLOR"), cmdG3FrmSetFogColor},
      {commandId("G3@FRMSETFOGSTART"), cmdG3FrmSetFogStart},
      {commandId("G3@FRMSETFOGEND"), cmdG3FrmSetFogEnd},
      {commandId("G3@FRMSETFOGDENSITY"), cmdG3FrmSetFogDensity},
      {commandId("G3@RENDER"), cmdG3Render},
      {commandId("G3@DEVSETVIEWPORT"), cmdG3DevSetViewport},
      {commandId("G3@CAMERASETEYE"), cmdG3CameraSetEye},
      {commandId("G3@CAMERASETLOOK"), cmdG3CameraSetLook},
      {commandId("G3@CAMERASETUP"), cmdG3CameraSetUp},
      {commandId("G3@CAMERASETFOV"), cmdG3CameraSetFov},
      {commandId("G3@CAMERASETPRO"), cmdG3CameraSetPro},
      {commandId("G3@LIGHTMAKE"), cmdG3LightMake},
      {commandId("G3@LIGHTSETENABLE"), cmdG3LightSetEnable},
      {commandId("G3@LIGHTSETCOLOR"), cmdG3LightSetColor},
      {commandId("G3@LIGHTSETDIR"), cmdG3LightSetDir},
      {commandId("G3@LIGHTSETPOS"), cmdG3LightSetPos},
      {commandId("G3@LIGHTSETRANGE"), cmdG3LightSetRange},
      {commandId("G3@LIGHTSETUMBRA"), cmdG3LightSetUmbra},
      {commandId("G3@LIGHTSETAT"), cmdG3LightSetAt},
      {commandId("G3@FRMMAKESPHERE"), cmdG3FrmMakeSphere},
      {commandId("G3@FRMMAKETEAPOT"), cmdG3FrmMakeTeapot},
      {commandId("G3@FRMMAKEBOX"), cmdG3FrmMakeBox},
      {commandId("G3@FRMMAKECYLINDER"), cmdG3FrmMakeCylinder},
      {commandId("G3@FRMMAKETORUS"), cmdG3FrmMakeTorus},
      {commandId("G3@FRMMAKETEXT"), cmdG3FrmMakeText},
      {commandId("G3@FRMMAKEBOARD"), cmdG3FrmMakeBoard},
      {commandId("G3@FRMFONT"), cmdG3FrmFont},
      {commandId("G3@FRMSETMCOLOR"), cmdG3FrmSetMColor},
      {commandId("G3@FRMLOAD"), cmdG3FrmLoad},
  };
  return kBindings;
}

}  // namespace qrt
