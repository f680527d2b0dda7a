// What the last G3@RENDER left to ask about: a frame's place on the screen
// and in the world, whether a ray meets a model, and a board's texture as a
// character surface. Nothing is computed again here.
#include <cmath>
#include <cstring>

#include "engine/call.h"
#include "scene3d/commands.h"
#include "scene3d/model.h"
#include "scene3d/ray.h"
#include "scene3d/scene.h"

namespace qrt {

namespace {

// The frame's origin as the last render projected it: x, y, z and w of
// world x view x projection x viewport.
D3DXVECTOR4 projected(const SceneFrame& f) {
  const DisplayState& d = *display();
  const Camera& cam = scene()->camera;
  const ViewportState& v = d.viewport;
  const auto w = static_cast<uint32_t>(v.width), h = static_cast<uint32_t>(v.height);
  D3DXMATRIX vp(w * 0.5f, 0, 0, 0,                                   //
                0, -(h * 0.5f), 0, 0,                                //
                0, 0, v.maxZ - v.minZ, 0,                            //
                static_cast<float>((w >> 1) + static_cast<uint32_t>(v.x)),
                static_cast<float>((h >> 1) + static_cast<uint32_t>(v.y)), v.minZ, 1.0f);
  D3DXMATRIX p;
  D3DXMatrixMultiply(&p, &f.world, &cam.view);
  D3DXMatrixMultiply(&p, &p, &cam.projection);
  D3DXMatrixMultiply(&p, &p, &vp);
  return D3DXVECTOR4(p._41, p._42, p._43, p._44);
}

// Truncated toward zero into 32 bits; what no integer holds is 0.
int32_t truncated(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return 0;
  return static_cast<int32_t>(v);
}

// The corners of the mesh's faces, three points a face, as it holds them.
bool readFaces(ID3DXMesh* mesh, std::vector<RayPoint>& corners) {
  corners.clear();
  const DWORD faces = mesh->GetNumFaces(), vertices = mesh->GetNumVertices();
  const DWORD stride = mesh->GetNumBytesPerVertex();
  const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
  void* vb = nullptr;
  void* ib = nullptr;
  if (FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &vb))) return false;
  if (FAILED(mesh->LockIndexBuffer(D3DLOCK_READONLY, &ib))) {
    mesh->UnlockVertexBuffer();
    return false;
  }
  corners.reserve(static_cast<size_t>(faces) * 3);
  for (DWORD f = 0; f < faces; ++f) {
    DWORD k[3];
    for (int j = 0; j < 3; ++j)
      k[j] = wide ? static_cast<const uint32_t*>(ib)[f * 3 + j] : static_cast<const uint16_t*>(ib)[f * 3 + j];
    if (k[0] >= vertices || k[1] >= vertices || k[2] >= vertices) continue;
    for (DWORD i : k) {
      RayPoint p;
      std::memcpy(&p, static_cast<const uint8_t*>(vb) + static_cast<size_t>(i) * stride, sizeof p);
      corners.push_back(p);
    }
  }
  mesh->UnlockIndexBuffer();
  mesh->UnlockVertexBuffer();
  return true;
}

// The nearest face the ray meets, in the mesh's own units.
bool facesHit(const std::vector<RayPoint>& c, const RayPoint& origin, const RayPoint& direction, float& distance) {
  bool hit = false;
  for (size_t i = 0; i + 3 <= c.size(); i += 3) {
    float d = 0;
    if (rayMeetsTriangle(origin, direction, c[i], c[i + 1], c[i + 2], d) && (!hit || d < distance)) {
      distance = d;
      hit = true;
    }
  }
  return hit;
}

// Model frames in drawing order: the frame's first container, its sibling
// chain, then its children. The first mesh met wins, not the nearest.
bool modelHit(D3DXFRAME* frame, const D3DXVECTOR3& p1, const D3DXVECTOR3& p2, SceneFrame& f) {
  for (; frame; frame = frame->pFrameSibling) {
    auto* mf = static_cast<ModelFrame*>(frame);
    D3DXMESHCONTAINER* c = mf->pMeshContainer;
    if (c && c->MeshData.pMesh) {
      D3DXMATRIX inverse;
      if (D3DXMatrixInverse(&inverse, nullptr, &mf->combined)) {
        D3DXVECTOR3 a, b, d;
        D3DXVec3TransformCoord(&a, &p1, &inverse);
        D3DXVec3TransformCoord(&b, &p2, &inverse);
        const D3DXVECTOR3 along = b - a;
        D3DXVec3Normalize(&d, &along);
        // A skinned mesh moves with every draw: its faces are read afresh.
        auto& mc = static_cast<ModelContainer&>(*c);
        if (mc.skinned || mc.faceCorners.empty()) readFaces(static_cast<ID3DXMesh*>(c->MeshData.pMesh), mc.faceCorners);
        float distance = 0;
        const bool hit = facesHit(mc.faceCorners, RayPoint{a.x, a.y, a.z}, RayPoint{d.x, d.y, d.z}, distance);
        if (hit) {
          f.rayDistance = distance;
          return true;
        }
      }
    }
    if (modelHit(mf->pFrameFirstChild, p1, p2, f)) return true;
  }
  return false;
}

}  // namespace

int32_t cmdG3FrmGetRay(Call& c) {
  SceneFrame* f = frameArg(c, 32767);
  if (!f) return 32767;
  // Only models are tested: primitives, text and boards never hit.
  if (f->mesh || !f->model || !f->model->root) return 0;
  const D3DXVECTOR3 p1(c.f(1), c.f(2), c.f(3)), p2(c.f(4), c.f(5), c.f(6));
  return modelHit(f->model->root, p1, p2, *f) ? 1 : 0;
}

int32_t cmdG3FrmGetRayData(Call& c) {
  SceneFrame* f = frameArg(c, 32767);
  if (!f) return 32767;
  return Call::real(f->rayDistance);
}

int32_t cmdG3FrmGetDataX(Call& c) {
  SceneFrame* f = frameArg(c, 0);
  if (!f) return 0;
  const D3DXVECTOR4 p = projected(*f);
  return truncated(static_cast<double>(p.x) / p.w);
}

int32_t cmdG3FrmGetDataY(Call& c) {
  SceneFrame* f = frameArg(c, 0);
  if (!f) return 0;
  const D3DXVECTOR4 p = projected(*f);
  return truncated(static_cast<double>(p.y) / p.w);
}

// The depth before the division by w, as an integer read unsigned: a point
// behind the eye gives a number above 2^31.
int32_t cmdG3FrmGetDataZ(Call& c) {
  SceneFrame* f = frameArg(c, 0);
  if (!f) return Call::real(0.0f);
  const uint32_t depth = static_cast<uint32_t>(truncated(projected(*f).z));
  return Call::real(static_cast<double>(depth));
}

int32_t cmdG3FrmGetDataMX(Call& c) {
  SceneFrame* f = frameArg(c, 0);
  return f ? Call::real(f->world._41) : Call::real(0.0f);
}

int32_t cmdG3FrmGetDataMY(Call& c) {
  SceneFrame* f = frameArg(c, 0);
  return f ? Call::real(f->world._42) : Call::real(0.0f);
}

int32_t cmdG3FrmGetDataMZ(Call& c) {
  SceneFrame* f = frameArg(c, 0);
  return f ? Call::real(f->world._43) : Call::real(0.0f);
}

// A character surface on the board's texture: what 2D commands draw into it
// shows on the board.
int32_t cmdG3FrmGetChr(Call& c) {
  DisplayState* d = display();
  SceneFrame* f = frameArg(c, 0);
  if (!f) return kFailed;
  TextureRecord* t = f->texture;
  if (!t || !d) return c.fail(660);
  ++t->useCount;   // shared with the board
  return surfaceOnTexture(c, *d, t, t->imageWidth, t->imageHeight, t->colourDepth, kOriginMade, 0);
}

}  // namespace qrt
