// The G3@ command handlers of the 3D scene, by the file that holds them.
#pragma once
#include <cstdint>
#include <span>

namespace qrt {

class Call;
struct CommandBinding;

// The family's handlers by command, for the host to bind (commands.cpp).
std::span<const CommandBinding> sceneCommands();

// Tree and lifetime (frames.cpp).
int32_t cmdG3Add(Call& c);
int32_t cmdG3Delete(Call& c);
int32_t cmdG3Release(Call& c);

// Transforms and render properties (properties.cpp).
int32_t cmdG3FrmSetPos(Call& c);
int32_t cmdG3FrmSetPosRel(Call& c);
int32_t cmdG3FrmSetPosAuto(Call& c);
int32_t cmdG3FrmSetRot(Call& c);
int32_t cmdG3FrmSetRotRel(Call& c);
int32_t cmdG3FrmSetRotAuto(Call& c);
int32_t cmdG3FrmSetScale(Call& c);
int32_t cmdG3FrmSetBill(Call& c);
int32_t cmdG3FrmSetEnable(Call& c);
int32_t cmdG3FrmSetCull(Call& c);
int32_t cmdG3FrmSetShade(Call& c);
int32_t cmdG3FrmSetFilter(Call& c);
int32_t cmdG3FrmSetLightD(Call& c);
int32_t cmdG3FrmSetLightS(Call& c);
int32_t cmdG3FrmSetTexEnable(Call& c);
int32_t cmdG3FrmSetBlend(Call& c);
int32_t cmdG3FrmSetAmbient(Call& c);
int32_t cmdG3FrmSetFsaa(Call& c);
int32_t cmdG3FrmSetVertex(Call& c);
int32_t cmdG3FrmSetFogMode(Call& c);
int32_t cmdG3FrmSetFogColor(Call& c);
int32_t cmdG3FrmSetFogStart(Call& c);
int32_t cmdG3FrmSetFogEnd(Call& c);
int32_t cmdG3FrmSetFogDensity(Call& c);

// Rendering and the camera (render.cpp, camera.cpp).
int32_t cmdG3Render(Call& c);
int32_t cmdG3DevSetViewport(Call& c);
int32_t cmdG3CameraSetEye(Call& c);
int32_t cmdG3CameraSetLook(Call& c);
int32_t cmdG3CameraSetUp(Call& c);
int32_t cmdG3CameraSetFov(Call& c);
int32_t cmdG3CameraSetPro(Call& c);

// Lights (lights.cpp).
int32_t cmdG3LightMake(Call& c);
int32_t cmdG3LightSetEnable(Call& c);
int32_t cmdG3LightSetColor(Call& c);
int32_t cmdG3LightSetDir(Call& c);
int32_t cmdG3LightSetPos(Call& c);
int32_t cmdG3LightSetRange(Call& c);
int32_t cmdG3LightSetUmbra(Call& c);
int32_t cmdG3LightSetAt(Call& c);

// Meshes, text and boards (meshes.cpp); X-file models (model.cpp).
int32_t cmdG3FrmMakeSphere(Call& c);
int32_t cmdG3FrmMakeTeapot(Call& c);
int32_t cmdG3FrmMakeBox(Call& c);
int32_t cmdG3FrmMakeCylinder(Call& c);
int32_t cmdG3FrmMakeTorus(Call& c);
int32_t cmdG3FrmMakeText(Call& c);
int32_t cmdG3FrmMakeBoard(Call& c);
int32_t cmdG3FrmFont(Call& c);
int32_t cmdG3FrmSetMColor(Call& c);
int32_t cmdG3FrmLoad(Call& c);

// Animation (animation.cpp).
int32_t cmdG3FrmSetAni(Call& c);
int32_t cmdG3FrmSetAniChg(Call& c);
int32_t cmdG3FrmSetAniEnd(Call& c);
int32_t cmdG3FrmAddAniTime(Call& c);
int32_t cmdG3FrmGetAniNum(Call& c);
int32_t cmdG3FrmGetAniAct(Call& c);

// Picking and frame queries (picking.cpp).
int32_t cmdG3FrmGetRay(Call& c);
int32_t cmdG3FrmGetRayData(Call& c);
int32_t cmdG3FrmGetChr(Call& c);
int32_t cmdG3FrmGetDataX(Call& c);
int32_t cmdG3FrmGetDataY(Call& c);
int32_t cmdG3FrmGetDataZ(Call& c);
int32_t cmdG3FrmGetDataMX(Call& c);
int32_t cmdG3FrmGetDataMY(Call& c);
int32_t cmdG3FrmGetDataMZ(Call& c);

}  // namespace qrt
