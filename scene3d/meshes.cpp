// Mesh frames: the platform's primitive meshes, extruded 3D text in a GDI
// font, and boards (a textured square whose texture can be drawn into).
// Each command makes a free frame: it joins the scene with G3@ADD.
#include <string>

#include "base/cp932.h"
#include "engine/call.h"
#include "scene3d/commands.h"
#include "scene3d/scene.h"

namespace qrt {

namespace {

// cp932 bytes of "MS ゴシック", the face 3D text asks for when a script
// names none (the text context made on first use has the 2D default).
constexpr char kNamedDefaultFace[] = "MS \x83\x53\x83\x56\x83\x62\x83\x4e";
constexpr int kBoardResource = 300;
constexpr UINT kMaxTextUnits = 259;   // and the terminator

IDirect3DDevice9* device() {
  DisplayState* d = display();
  return d ? d->device.Get() : nullptr;
}

// A frame for a mesh the platform made: 630 when it made none.
int32_t meshFrame(Call& c, HRESULT made, ComPtr<ID3DXMesh>& mesh) {
  Scene3dState* s = scene();
  if (FAILED(made) || !mesh) return c.fail(630);
  if (!s) return c.fail(620);
  SceneFrame* f = makeFrame(c, *s);
  if (!f) return kFailed;
  f->mesh = std::move(mesh);
  f->hasMaterial = true;
  f->material = meshMaterial();
  return Call::handleResult(f->handle);
}

// Replaces the text context and its font; false when the font cannot be
// made (the new context is kept).
bool makeTextContext(Scene3dState& s, LONG height, LONG width, bool italic, BYTE charset, const char* face) {
  if (s.textContext) DeleteDC(s.textContext);
  if (s.textFont) DeleteObject(s.textFont);
  s.textFont = nullptr;
  s.textContext = CreateCompatibleDC(nullptr);
  LOGFONTW font{};
  font.lfHeight = height;
  font.lfWidth = width;
  font.lfItalic = italic ? 1 : 0;
  font.lfCharSet = charset;
  const std::wstring wideFace = widen932(face);
  wideFace.copy(font.lfFaceName, LF_FACESIZE - 1);
  s.textFont = CreateFontIndirectW(&font);
  if (!s.textFont) return false;
  if (s.textContext) SelectObject(s.textContext, s.textFont);
  return true;
}

}  // namespace

int32_t cmdG3FrmMakeSphere(Call& c) {
  ComPtr<ID3DXMesh> mesh;
  const HRESULT made = D3DXCreateSphere(device(), c.f(0), static_cast<UINT>(c.i(1)), static_cast<UINT>(c.i(2)),
                                        mesh.GetAddressOf(), nullptr);
  return meshFrame(c, made, mesh);
}

int32_t cmdG3FrmMakeTeapot(Call& c) {
  ComPtr<ID3DXMesh> mesh;
  return meshFrame(c, D3DXCreateTeapot(device(), mesh.GetAddressOf(), nullptr), mesh);
}

int32_t cmdG3FrmMakeBox(Call& c) {
  ComPtr<ID3DXMesh> mesh;
  return meshFrame(c, D3DXCreateBox(device(), c.f(0), c.f(1), c.f(2), mesh.GetAddressOf(), nullptr), mesh);
}

int32_t cmdG3FrmMakeCylinder(Call& c) {
  ComPtr<ID3DXMesh> mesh;
  const HRESULT made = D3DXCreateCylinder(device(), c.f(0), c.f(1), c.f(2), static_cast<UINT>(c.i(3)),
                                          static_cast<UINT>(c.i(4)), mesh.GetAddressOf(), nullptr);
  return meshFrame(c, made, mesh);
}

int32_t cmdG3FrmMakeTorus(Call& c) {
  ComPtr<ID3DXMesh> mesh;
  const HRESULT made = D3DXCreateTorus(device(), c.f(0), c.f(1), static_cast<UINT>(c.i(2)),
                                       static_cast<UINT>(c.i(3)), mesh.GetAddressOf(), nullptr);
  return meshFrame(c, made, mesh);
}

int32_t cmdG3FrmFont(Call& c) {
  Scene3dState* s = scene();
  if (!s) return c.fail(660);
  const BYTE charset = fontCharset(c.i(3));
  // A named face is always Tahoma: the name itself is not used.
  const bool named = !c.unset(4);
  if (!makeTextContext(*s, c.i(0), c.i(1), c.i(2) == 1, named ? charset : kShiftJisCharset,
                       named ? "tahoma" : kNamedDefaultFace))
    return c.fail(660);
  return kDone;
}

int32_t cmdG3FrmMakeText(Call& c) {
  Scene3dState* s = scene();
  if (!s) return c.fail(620);
  if (!s->textContext && !makeTextContext(*s, 24, 0, false, kShiftJisCharset, kDefaultFontFace)) return c.fail(660);
  std::wstring text = widen932(c.s(0));
  if (text.size() > kMaxTextUnits) text.resize(kMaxTextUnits);
  ComPtr<ID3DXMesh> mesh;
  const HRESULT made =
      D3DXCreateTextW(device(), s->textContext, text.c_str(), c.f(1), c.f(2), mesh.GetAddressOf(), nullptr, nullptr);
  return meshFrame(c, made, mesh);
}

// A square of 100 units from our own executable's board resource, with a
// drawable texture of width x height pixels: at scale 1 it shows width / 10
// by height / 10 units.
int32_t cmdG3FrmMakeBoard(Call& c) {
  DisplayState* d = display();
  Scene3dState* s = scene();
  if (!d || !s) return c.fail(620);
  const int32_t width = c.i(0), height = c.i(1);
  ComPtr<ID3DXMesh> mesh;
  if (FAILED(D3DXLoadMeshFromXResource(GetModuleHandleW(nullptr), MAKEINTRESOURCEA(kBoardResource), "X",
                                       D3DXMESH_MANAGED, d->device.Get(), nullptr, nullptr, nullptr, nullptr,
                                       mesh.GetAddressOf())))
    return c.fail(680);
  const int32_t handle = meshFrame(c, S_OK, mesh);
  SceneFrame* f = s->frames.find(static_cast<uint32_t>(handle));
  if (!f) return kFailed;
  bool refused = false;
  f->texture = makeDrawableTexture(*d, width, height, refused);
  if (!f->texture) {
    releaseFrame(*d, *s, f);
    return refused ? c.fail(630) : kFailed;
  }
  f->boardScaleX = width / 1000.0f;
  f->boardScaleY = (width / 1000.0f) * (static_cast<float>(height) / static_cast<float>(width));
  return handle;
}

int32_t cmdG3FrmSetMColor(Call& c) {
  SceneFrame* f = frameArg(c);
  if (!f) return kFailed;
  // The root and model frames have no material of their own to colour.
  if (!f->hasMaterial) return kDone;
  const D3DCOLORVALUE colour{c.f(1), c.f(2), c.f(3), c.f(4)};
  f->material.Diffuse = f->material.Ambient = f->material.Specular = colour;
  return kDone;
}

}  // namespace qrt
