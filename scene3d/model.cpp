// X-file models: G3@FRMLOAD, the allocator the platform's loader calls
// back, and drawing with combined matrices and software skinning.
//
// The loader is C code calling into us: no C++ exception may leave a
// callback, so each one catches and answers E_OUTOFMEMORY.
#include "scene3d/model.h"

#include <cstring>
#include <new>

#include "base/cp932.h"
#include "base/whole_file.h"
#include "engine/call.h"
#include "scene3d/commands.h"
#include "scene3d/scene.h"

namespace qrt {

namespace {

constexpr uint32_t kModelFileCap = 64u << 20;
constexpr size_t kMaxTextureName = 251;
constexpr const char* kNoName = "<no name>";

const char* nameOr(const char* name) { return name && *name ? name : kNoName; }

// Whether the vertices start with a plain position and, when `normals`,
// a normal right after it: the only layout the blending below rewrites.
bool blendable(DWORD fvf) { return (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZ; }

void setUpSkin(ModelContainer& mc, ID3DXSkinInfo* skin, ID3DXMesh* mesh, IDirect3DDevice9* device) {
  mc.bones = skin->GetNumBones();
  const DWORD fvf = mesh->GetFVF();
  const DWORD vertices = mesh->GetNumVertices();
  if (!blendable(fvf)) return;
  if (FAILED(mesh->CloneMeshFVF(D3DXMESH_MANAGED, fvf, device, reinterpret_cast<ID3DXMesh**>(&mc.MeshData.pMesh))))
    return;
  mc.source = mesh;
  mc.offsets.resize(mc.bones);
  mc.boneFrames.assign(mc.bones, nullptr);
  mc.blend.resize(mc.bones);
  std::vector<uint32_t> count(vertices + 1, 0);
  std::vector<DWORD> at;
  std::vector<float> weights;
  for (DWORD b = 0; b < mc.bones; ++b) {
    if (const D3DXMATRIX* offset = skin->GetBoneOffsetMatrix(b))
      mc.offsets[b] = *offset;
    else
      D3DXMatrixIdentity(&mc.offsets[b]);
    const DWORD n = skin->GetNumBoneInfluences(b);
    at.resize(n);
    weights.resize(n);
    if (n && FAILED(skin->GetBoneInfluence(b, at.data(), weights.data()))) return;
    for (DWORD k = 0; k < n; ++k)
      if (at[k] < vertices) ++count[at[k]];   // influences of vertices the mesh lacks are dropped
  }
  mc.firstInfluence.assign(vertices + 1, 0);
  for (DWORD v = 0; v < vertices; ++v) mc.firstInfluence[v + 1] = mc.firstInfluence[v] + count[v];
  mc.influences.resize(mc.firstInfluence[vertices]);
  std::vector<uint32_t> fill(mc.firstInfluence.begin(), mc.firstInfluence.end() - 1);
  for (DWORD b = 0; b < mc.bones; ++b) {
    const DWORD n = skin->GetNumBoneInfluences(b);
    at.resize(n);
    weights.resize(n);
    if (n) skin->GetBoneInfluence(b, at.data(), weights.data());
    for (DWORD k = 0; k < n; ++k)
      if (at[k] < vertices) mc.influences[fill[at[k]]++] = {b, weights[k]};
  }
}

// A mesh with normals: the loader's own (one more reference), or a copy
// with normals computed.
ID3DXMesh* withNormals(ID3DXMesh* mesh) {
  if (mesh->GetFVF() & D3DFVF_NORMAL) {
    mesh->AddRef();
    return mesh;
  }
  IDirect3DDevice9* device = nullptr;
  mesh->GetDevice(&device);
  ID3DXMesh* copy = nullptr;
  const HRESULT hr = mesh->CloneMeshFVF(mesh->GetOptions(), mesh->GetFVF() | D3DFVF_NORMAL, device, &copy);
  if (device) device->Release();
  if (FAILED(hr)) return nullptr;
  D3DXComputeNormals(copy, nullptr);
  return copy;
}

// Points each bone of every skinned container at its frame's combined
// matrix; a container with a bone no frame answers to is drawn unskinned.
void findBones(D3DXFRAME* root, D3DXFRAME* frame) {
  for (; frame; frame = frame->pFrameSibling) {
    for (D3DXMESHCONTAINER* c = frame->pMeshContainer; c; c = c->pNextMeshContainer) {
      auto& mc = static_cast<ModelContainer&>(*c);
      if (!mc.source || !mc.pSkinInfo) continue;
      mc.skinned = true;
      for (DWORD b = 0; b < mc.bones; ++b) {
        auto* bone = static_cast<ModelFrame*>(D3DXFrameFind(root, mc.pSkinInfo->GetBoneName(b)));
        if (!bone) {
          mc.skinned = false;
          break;
        }
        mc.boneFrames[b] = &bone->combined;
      }
    }
    findBones(root, frame->pFrameFirstChild);
  }
}

void combine(D3DXFRAME* frame, const D3DXMATRIX& parent) {
  for (; frame; frame = frame->pFrameSibling) {
    auto* f = static_cast<ModelFrame*>(frame);
    D3DXMatrixMultiply(&f->combined, &f->TransformationMatrix, &parent);
    combine(f->pFrameFirstChild, f->combined);
  }
}

void setMaterial(IDirect3DDevice9* dev, const ModelContainer& mc, DWORD i) {
  dev->SetMaterial(&mc.materialList[i].MatD3D);
  TextureRecord* t = mc.textures[i];
  dev->SetTexture(0, t && t->texture ? t->texture.Get() : nullptr);
}

// The bind pose blended by the bones' matrices, written into the drawn mesh.
bool blendVertices(ModelContainer& mc) {
  for (DWORD b = 0; b < mc.bones; ++b) D3DXMatrixMultiply(&mc.blend[b], &mc.offsets[b], mc.boneFrames[b]);
  auto* out = static_cast<ID3DXMesh*>(mc.MeshData.pMesh);
  const DWORD fvf = mc.source->GetFVF();
  const DWORD stride = D3DXGetFVFVertexSize(fvf);
  const bool normals = (fvf & D3DFVF_NORMAL) != 0;
  const DWORD vertices = mc.source->GetNumVertices();
  void* from = nullptr;
  void* to = nullptr;
  if (FAILED(mc.source->LockVertexBuffer(D3DLOCK_READONLY, &from))) return false;
  if (FAILED(out->LockVertexBuffer(0, &to))) {
    mc.source->UnlockVertexBuffer();
    return false;
  }
  for (DWORD v = 0; v < vertices && v + 1 < mc.firstInfluence.size(); ++v) {
    const auto* in = static_cast<const uint8_t*>(from) + v * stride;
    auto* o = static_cast<uint8_t*>(to) + v * stride;
    D3DXVECTOR3 p, n{0, 0, 0};
    std::memcpy(&p, in, sizeof p);
    if (normals) std::memcpy(&n, in + sizeof p, sizeof n);
    D3DXVECTOR3 bp{0, 0, 0}, bn{0, 0, 0};
    const uint32_t begin = mc.firstInfluence[v], end = mc.firstInfluence[v + 1];
    if (begin == end) continue;   // held by no bone: the bind pose as it is
    for (uint32_t k = begin; k < end; ++k) {
      const ModelContainer::Influence& inf = mc.influences[k];
      D3DXVECTOR3 tp, tn;
      D3DXVec3TransformCoord(&tp, &p, &mc.blend[inf.bone]);
      D3DXVec3TransformNormal(&tn, &n, &mc.blend[inf.bone]);
      bp += tp * inf.weight;
      bn += tn * inf.weight;
    }
    std::memcpy(o, &bp, sizeof bp);
    if (normals) {
      D3DXVec3Normalize(&bn, &bn);
      std::memcpy(o + sizeof bp, &bn, sizeof bn);
    }
  }
  out->UnlockVertexBuffer();
  mc.source->UnlockVertexBuffer();
  return true;
}

void drawContainers(DisplayState& d, D3DXFRAME* frame) {
  IDirect3DDevice9* dev = d.device.Get();
  for (; frame; frame = frame->pFrameSibling) {
    auto* f = static_cast<ModelFrame*>(frame);
    for (D3DXMESHCONTAINER* c = f->pMeshContainer; c; c = c->pNextMeshContainer) {
      auto& mc = static_cast<ModelContainer&>(*c);
      auto* mesh = static_cast<ID3DXMesh*>(mc.MeshData.pMesh);
      if (!mesh) continue;
      D3DXMATRIX world = f->combined;
      if (mc.skinned && blendVertices(mc)) {
        D3DXMatrixIdentity(&world);   // the bones' matrices already place it
      } else if (mc.source) {
        mesh = mc.source.Get();
      }
      dev->SetTransform(D3DTS_WORLD, &world);
      for (DWORD i = 0; i < mc.NumMaterials; ++i) {
        setMaterial(dev, mc, i);
        mesh->DrawSubset(i);
      }
    }
    drawContainers(d, f->pFrameFirstChild);
  }
  dev->SetTexture(0, nullptr);
}

}  // namespace

// --- the allocator ---------------------------------------------------------------

HRESULT MY_HIERARCHY::CreateFrame(const char* name, D3DXFRAME** newFrame) {
  *newFrame = nullptr;
  try {
    auto* f = new (std::nothrow) ModelFrame();
    if (!f) return E_OUTOFMEMORY;
    f->name = nameOr(name);
    f->Name = f->name.data();
    D3DXMatrixIdentity(&f->TransformationMatrix);
    D3DXMatrixIdentity(&f->combined);
    *newFrame = f;
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT MY_HIERARCHY::CreateMeshContainer(const char* name, const D3DXMESHDATA* meshData,
                                          const D3DXMATERIAL* materials, const D3DXEFFECTINSTANCE*,
                                          DWORD materialCount, const DWORD* adjacency, ID3DXSkinInfo* skin,
                                          D3DXMESHCONTAINER** newContainer) {
  *newContainer = nullptr;
  if (!meshData || meshData->Type != D3DXMESHTYPE_MESH || !meshData->pMesh) return E_FAIL;
  auto* mc = new (std::nothrow) ModelContainer();
  if (!mc) return E_OUTOFMEMORY;
  try {
    mc->name = nameOr(name);
    mc->Name = mc->name.data();
    mc->MeshData.Type = D3DXMESHTYPE_MESH;
    ID3DXMesh* mesh = withNormals(meshData->pMesh);
    if (!mesh) {
      DestroyMeshContainer(mc);
      return E_FAIL;
    }
    const DWORD n = materialCount > 0 ? materialCount : 1;
    mc->materialList.resize(n);
    mc->textureFiles.resize(n);
    mc->textures.assign(n, nullptr);
    if (materials && materialCount > 0) {
      for (DWORD i = 0; i < n; ++i) {
        mc->materialList[i] = materials[i];
        mc->materialList[i].MatD3D.Ambient = materials[i].MatD3D.Diffuse;
        mc->materialList[i].pTextureFilename = nullptr;
        const char* file = materials[i].pTextureFilename;
        if (!file || !*file || strnlen(file, kMaxTextureName + 1) > kMaxTextureName) continue;
        // A texture that cannot be loaded is left out: the model draws untextured.
        mc->textures[i] = loadImageTexture(display_, file, "");
        if (mc->textures[i]) {
          mc->textureFiles[i] = file;
          mc->materialList[i].pTextureFilename = mc->textureFiles[i].data();
        }
      }
    } else {
      D3DXMATERIAL& m = mc->materialList[0];
      m = D3DXMATERIAL{};
      m.MatD3D.Diffuse = m.MatD3D.Specular = D3DCOLORVALUE{1, 1, 1, 0};
    }
    mc->pMaterials = mc->materialList.data();
    mc->NumMaterials = n;
    if (adjacency) mc->adjacencyList.assign(adjacency, adjacency + 3 * mesh->GetNumFaces());
    mc->pAdjacency = mc->adjacencyList.empty() ? nullptr : mc->adjacencyList.data();
    // The loader hands some platforms' unskinned meshes a skin of no bones:
    // that is no skin.
    if (skin && skin->GetNumBones() > 0) {
      skin->AddRef();
      mc->pSkinInfo = skin;
      setUpSkin(*mc, skin, mesh, display_.device.Get());
    }
    if (!mc->MeshData.pMesh) {
      mc->MeshData.pMesh = mesh;
    } else {
      mesh->Release();   // kept as mc->source
    }
    *newContainer = mc;
    return S_OK;
  } catch (...) {
    DestroyMeshContainer(mc);
    return E_OUTOFMEMORY;
  }
}

HRESULT MY_HIERARCHY::DestroyFrame(D3DXFRAME* frame) {
  delete static_cast<ModelFrame*>(frame);
  return S_OK;
}

HRESULT MY_HIERARCHY::DestroyMeshContainer(D3DXMESHCONTAINER* container) {
  auto* mc = static_cast<ModelContainer*>(container);
  for (TextureRecord* t : mc->textures)
    if (t) releaseTextureUse(display_, t);
  if (mc->pSkinInfo) mc->pSkinInfo->Release();
  if (mc->MeshData.pMesh) mc->MeshData.pMesh->Release();
  delete mc;
  return S_OK;
}

Model::~Model() {
  if (root) D3DXFrameDestroy(root, &allocator);
}

// --- drawing -----------------------------------------------------------------------

void drawModel(DisplayState& d, Model& m, const D3DXMATRIX& world) {
  if (!m.root) return;
  d.states.set(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
  combine(m.root, world);
  drawContainers(d, m.root);
}

// --- G3@FRMLOAD -------------------------------------------------------------------

int32_t cmdG3FrmLoad(Call& c) {
  DisplayState* d = display();
  Scene3dState* s = scene();
  if (c.unset(0)) return c.fail(660);
  if (!d || !s) return c.fail(620);
  SceneFrame* f = makeFrame(c, *s);
  if (!f) return kFailed;
  f->model.reset(new (std::nothrow) Model(*d));
  if (!f->model) {
    releaseFrame(*d, *s, f);
    return c.fail(620);
  }
  // Read through the whole-file reader: the name is cp932 whatever the
  // machine's code page, and the file's size is capped.
  std::vector<uint8_t> bytes;
  if (readWholeFile(widen932(c.s(0)).c_str(), kModelFileCap, bytes) != WholeFile::kRead || bytes.empty() ||
      FAILED(D3DXLoadMeshHierarchyFromXInMemory(bytes.data(), static_cast<DWORD>(bytes.size()), D3DXMESH_MANAGED,
                                                d->device.Get(), &f->model->allocator, nullptr, &f->model->root,
                                                nullptr))) {   // our own player runs the animation
    f->model->root = nullptr;
    releaseFrame(*d, *s, f);
    return c.fail(680);
  }
  findBones(f->model->root, f->model->root);
  bindAnimation(*f->model, bytes);
  return Call::handleResult(f->handle);
}

}  // namespace qrt
