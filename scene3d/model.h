// Models loaded from X files: the platform's hierarchy loader builds the
// frames and mesh containers through our allocator; we keep their
// materials, textures and skins and draw them.
#pragma once
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfx2d/display.h"
#include "scene3d/keyframes.h"
#include "scene3d/ray.h"

namespace qrt {

struct SceneFrame;

struct ModelFrame : D3DXFRAME {
  D3DXMATRIX combined;                // the frame's matrix in the world, per draw
  std::string name;
  uint32_t poseRound = 0;             // the last animation pose given to it
};

struct ModelContainer : D3DXMESHCONTAINER {
  std::string name;
  std::vector<D3DXMATERIAL> materialList;
  std::vector<std::string> textureFiles;
  std::vector<TextureRecord*> textures;   // one use each, or none, per material
  std::vector<DWORD> adjacencyList;

  // A skinned container is drawn by blending its bind-pose vertices on the
  // processor, the same way on every platform: `source` keeps the bind pose,
  // MeshData.pMesh receives the blended vertices.
  ComPtr<ID3DXMesh> source;
  DWORD bones = 0;
  std::vector<D3DXMATRIX> offsets;          // bone offset matrices
  std::vector<const D3DXMATRIX*> boneFrames;// the combined matrices of the bones' frames
  std::vector<D3DXMATRIX> blend;            // offset x combined, per draw
  std::vector<uint32_t> firstInfluence;     // per vertex, into influences; vertices + 1 of them
  struct Influence {
    uint32_t bone;
    float weight;
  };
  std::vector<Influence> influences;
  bool skinned = false;                     // every bone found, layout understood
  // The corners of every face, three a face, taken from the mesh the first
  // time a ray asks (a skinned mesh changes every draw and is read afresh).
  std::vector<RayPoint> faceCorners;
};

// The allocator the hierarchy loader calls back; it gives texture uses back
// to the display it loaded them from.
class MY_HIERARCHY : public ID3DXAllocateHierarchy {
 public:
  explicit MY_HIERARCHY(DisplayState& d) : display_(d) {}
  STDMETHOD(CreateFrame)(THIS_ const char* name, D3DXFRAME** newFrame) override;
  STDMETHOD(CreateMeshContainer)(THIS_ const char* name, const D3DXMESHDATA* meshData,
                                 const D3DXMATERIAL* materials, const D3DXEFFECTINSTANCE* effects,
                                 DWORD materialCount, const DWORD* adjacency, ID3DXSkinInfo* skin,
                                 D3DXMESHCONTAINER** newContainer) override;
  STDMETHOD(DestroyFrame)(THIS_ D3DXFRAME* frame) override;
  STDMETHOD(DestroyMeshContainer)(THIS_ D3DXMESHCONTAINER* container) override;

 private:
  DisplayState& display_;
};

struct Model {
  explicit Model(DisplayState& d) : allocator(d) {}
  ~Model();
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  MY_HIERARCHY allocator;
  D3DXFRAME* root = nullptr;
  // The animation sets in the file's order, and for each the model frame
  // each of its timelines moves (none when the model has no such frame).
  std::vector<anim::AnimationSet> sets;
  std::vector<std::vector<ModelFrame*>> targets;
  anim::Player player;
  uint32_t poseRound = 0;
};

// Reads the model's animation sets from the file's bytes and binds them to
// its frames; the tracks are left idle.
void bindAnimation(Model& m, const std::vector<uint8_t>& file);

// Draws a model placed by the world matrix W.
void drawModel(DisplayState& d, Model& m, const D3DXMATRIX& world);

// Animation of a frame's model, once per visit of the draw walk.
void advanceAnimation(SceneFrame& f, double frameStep);

}  // namespace qrt
