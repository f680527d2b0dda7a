// The G@CHRCOPY family: six commands, one copy core. Each copy is one
// immediate-mode quad drawn at once, with the render states it needs saved
// and restored around it.
#include "gfx2d/command_args.h"
#include "gfx2d/commands.h"
#include "gfx2d/copy_quad.h"

namespace qrt {

using namespace gfx;

namespace {

// Reused by every copy: no allocation per sprite.
CopyVertex g_corners[4];

struct SavedState {
  D3DRENDERSTATETYPE state;
  DWORD value;
};
struct SavedStage {
  D3DTEXTURESTAGESTATETYPE state;
  DWORD value;
};

void drawCopy(DisplayState& d, SurfaceRecord& source, SurfaceRecord& target) {
  IDirect3DDevice9* dev = d.device.Get();
  const bool blended = source.blend || source.modulation != 0xFFFFFFFF;

  DWORD alphaBlend = FALSE;
  dev->GetRenderState(D3DRS_ALPHABLENDENABLE, &alphaBlend);
  SavedState states[] = {{D3DRS_SRCBLEND, 0}, {D3DRS_DESTBLEND, 0}};
  SavedStage stages[] = {{D3DTSS_ALPHAOP, 0},   {D3DTSS_COLORARG1, 0}, {D3DTSS_COLORARG2, 0},
                         {D3DTSS_ALPHAARG1, 0}, {D3DTSS_ALPHAARG2, 0}};
  // Without the blend flag the texture's alpha does not count: the
  // modulation alpha stands in for both alpha arguments.
  const int stageCount = source.blend ? 3 : 5;
  if (blended) {
    for (SavedState& s : states) dev->GetRenderState(s.state, &s.value);
    for (int i = 0; i < stageCount; ++i) dev->GetTextureStageState(0, stages[i].state, &stages[i].value);
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    if (!source.blend) {
      dev->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
      dev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    }
  } else {
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  }
  dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  dev->SetRenderState(D3DRS_LIGHTING, FALSE);

  dev->SetFVF(kCopyVertexFormat);
  dev->SetTexture(0, source.texture->texture.Get());
  if (selectRenderTarget(d, &target)) {
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, g_corners, sizeof(CopyVertex));
    selectBackBuffer(d);
  }

  dev->SetRenderState(D3DRS_ALPHABLENDENABLE, alphaBlend);
  if (blended) {
    for (const SavedState& s : states) dev->SetRenderState(s.state, s.value);
    for (int i = 0; i < stageCount; ++i) dev->SetTextureStageState(0, stages[i].state, stages[i].value);
  }
}

struct Variant {
  int id;
  Placement placement;
  bool centre;
  bool depth;
};

int32_t copyCore(EngineState& e, const Variant& v) {
  DisplayState* d = display();
  int n = 0;
  SurfaceRecord* source = findSurface(d, e.params.arg[n++]);
  SurfaceRecord* target = findSurface(d, e.params.arg[n++]);
  CopyRequest q;
  q.placement = v.placement;
  if (v.centre) {
    q.centreX = argInt(e, n++);
    q.centreY = argInt(e, n++);
  }
  if (v.depth) q.depth = argReal(e, n++);
  q.mirror = argInt(e, n++);
  q.scale = argReal(e, n++);
  q.angle = argReal(e, n++);

  if (!source || !target || source->origin == kOriginScreen || !source->texture) {
    return fail(kErrBadParameter, v.id);
  }
  const TextureRecord& t = *source->texture;
  q.src[0] = source->left, q.src[1] = source->top, q.src[2] = source->right, q.src[3] = source->bottom;
  q.dst[0] = target->left, q.dst[1] = target->top, q.dst[2] = target->right, q.dst[3] = target->bottom;
  q.surfaceWidth = source->width;
  q.surfaceHeight = source->height;
  q.imageWidth = t.imageWidth;
  q.imageHeight = t.imageHeight;
  q.textureWidth = t.surfaceWidth;
  q.textureHeight = t.surfaceHeight;
  q.diffuse = source->modulation;

  switch (buildCopyQuad(q, g_corners)) {
    case CopyQuad::Outside: return kDone;
    case CopyQuad::BadMirror: return fail(kErrBadParameter, v.id);
    case CopyQuad::Draw: break;
  }
  // A texture dropped with a lost device and not yet rebuilt draws nothing.
  if (t.texture) drawCopy(*d, *source, *target);
  return kDone;
}

}  // namespace

int32_t cmdGChrCopy(EngineState& e) { return copyCore(e, {kChrCopy, Placement::Fitted, false, false}); }
int32_t cmdGChrCopyF(EngineState& e) { return copyCore(e, {kChrCopyF, Placement::Fixed, false, false}); }
int32_t cmdGChrCopyC(EngineState& e) { return copyCore(e, {kChrCopyC, Placement::Centred, true, false}); }
int32_t cmdGChrCopy2(EngineState& e) { return copyCore(e, {kChrCopy2, Placement::Fitted, false, true}); }
int32_t cmdGChrCopyF2(EngineState& e) { return copyCore(e, {kChrCopyF2, Placement::Fixed, false, true}); }
int32_t cmdGChrCopyC2(EngineState& e) { return copyCore(e, {kChrCopyC2, Placement::Centred, true, true}); }

}  // namespace qrt
