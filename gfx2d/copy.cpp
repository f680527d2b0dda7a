// The G@CHRCOPY family: six commands, one copy core. Each copy is one
// immediate-mode quad drawn at once, with the render states it needs saved
// and restored around it.
#include "engine/call.h"
#include "gfx2d/commands.h"
#include "gfx2d/copy_quad.h"
#include "gfx2d/display.h"

namespace qrt {

namespace {

// Reused by every copy: no allocation per sprite.
CopyVertex g_corners[4];

// Every state a copy depends on is set for each copy, through the owner of
// render states: only what differs from the copy before reaches the device.
void drawCopy(DisplayState& d, SurfaceRecord& source, SurfaceRecord& target) {
  IDirect3DDevice9* dev = d.device.Get();
  RenderStates& rs = d.states;
  const bool blended = source.blend || source.modulation != 0xFFFFFFFF;

  rs.begin2d();
  rs.set(D3DRS_ALPHABLENDENABLE, blended ? TRUE : FALSE);
  rs.setStage(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  rs.setStage(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  rs.setStage(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  if (blended) {
    rs.set(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    rs.set(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    rs.setStage(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    // Without the blend flag the texture's alpha does not count: the
    // modulation alpha stands in for both alpha arguments.
    rs.setStage(0, D3DTSS_ALPHAARG1, source.blend ? D3DTA_TEXTURE : D3DTA_DIFFUSE);
    rs.setStage(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  }

  dev->SetFVF(kCopyVertexFormat);
  dev->SetTexture(0, source.texture->texture.Get());
  if (selectRenderTarget(d, &target)) {
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, g_corners, sizeof(CopyVertex));
    selectBackBuffer(d);
  }
}

struct Variant {
  Placement placement;
  bool centre;
  bool depth;
};

int32_t copyCore(Call& c, const Variant& v) {
  DisplayState* d = display();
  int n = 0;
  SurfaceRecord* source = findSurface(d, c.handle(n++));
  SurfaceRecord* target = findSurface(d, c.handle(n++));
  CopyRequest q;
  q.placement = v.placement;
  if (v.centre) {
    q.centreX = c.i(n++);
    q.centreY = c.i(n++);
  }
  if (v.depth) q.depth = c.f(n++);
  q.mirror = c.i(n++);
  q.scale = c.f(n++);
  q.angle = c.f(n++);

  if (!source || !target || source->origin == kOriginScreen || !source->texture) {
    return c.fail(660);
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
    case CopyQuad::BadMirror: return c.fail(660);
    case CopyQuad::Draw: break;
  }
  // A texture dropped with a lost device and not yet rebuilt draws nothing.
  if (t.texture) drawCopy(*d, *source, *target);
  return kDone;
}

}  // namespace

int32_t cmdGChrCopy(Call& c) { return copyCore(c, {Placement::Fitted, false, false}); }
int32_t cmdGChrCopyF(Call& c) { return copyCore(c, {Placement::Fixed, false, false}); }
int32_t cmdGChrCopyC(Call& c) { return copyCore(c, {Placement::Centred, true, false}); }
int32_t cmdGChrCopy2(Call& c) { return copyCore(c, {Placement::Fitted, false, true}); }
int32_t cmdGChrCopyF2(Call& c) { return copyCore(c, {Placement::Fixed, false, true}); }
int32_t cmdGChrCopyC2(Call& c) { return copyCore(c, {Placement::Centred, true, true}); }

}  // namespace qrt
