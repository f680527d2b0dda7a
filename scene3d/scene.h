// The 3D scene: a tree of scene frames below one root frame, the lights
// attached to them, the camera, and what the last G3@RENDER computed.
//
// The scene's record hangs off the display state (display()->scene): it is
// made by G@SETUP right after the matrix stack and released with the
// display. Frames and lights a script holds are in two registries; the root
// frame has no handle (0 names it wherever a frame is expected).
#pragma once
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "base/registry.h"
#include "gfx2d/display.h"

namespace qrt {

class Call;
struct Family;
struct Light;
struct Model;

// Inherited integer properties, in the frame record's order. -1 means "the
// parent's value".
enum Property : int { kEnable, kCull, kShade, kFilter, kDiffuse, kSpecular, kTexture, kSrcBlend, kDstBlend,
                      kDither, kAntiAlias, kVertexColour, kPropertyCount };

struct FogGroup {
  int32_t mode = -1;                  // -1 inherit, 0 none, 1..6
  uint32_t colour = 0xFFFFFFFF;
  float start = 0.0f, end = 1000.0f, density = 0.001f;
};

// How a model frame plays its animation sets over two tracks.
struct AnimationState {
  int32_t currentTrack = 0;          // the other track is 1 - currentTrack
  double step = -1.0;                 // seconds per render; -1: the measured frame step
  double period = 0.0;
  uint8_t loop = 0;
  int32_t playCount = 0;
  double fadeWeight = 0.0;            // weight of the other track
  double fadeTime = 0.0;
};

struct SceneFrame : HandleRecord {
  SceneFrame();
  ~SceneFrame();
  SceneFrame(const SceneFrame&) = delete;
  SceneFrame& operator=(const SceneFrame&) = delete;

  // The tree: children doubly linked, the newest first.
  SceneFrame* parent = nullptr;
  SceneFrame* firstChild = nullptr;
  SceneFrame* next = nullptr;
  SceneFrame* previous = nullptr;
  Light* lights = nullptr;            // attached lights, the newest first

  D3DXMATRIX world;                   // written by the transform walk

  // At most one drawable thing: a mesh (with its material, and a texture on
  // boards) or a model loaded from an X file.
  ComPtr<ID3DXMesh> mesh;
  bool hasMaterial = false;
  D3DMATERIAL9 material{};
  TextureRecord* texture = nullptr;   // one use of the board's texture record
  std::unique_ptr<Model> model;

  D3DXVECTOR3 position{0, 0, 0}, positionStep{0, 0, 0};
  D3DXVECTOR3 rotation{0, 0, 0}, rotationStep{0, 0, 0};   // degrees
  D3DXVECTOR3 scale{1, 1, 1};
  float boardScaleX = 1.0f, boardScaleY = 1.0f;
  uint8_t billboard = 0;

  int32_t property[kPropertyCount];   // all -1 at creation
  float ambient[3] = {0, 0, 0};
  float ambientState = -1.0f;         // 1.0 own colour, -1.0 inherit
  FogGroup fog;
  AnimationState animation;
  float rayDistance = 0.0f;

  bool drawable() const { return mesh || model; }
};

// Light types and modes of G3@LIGHTMAKE and G3@LIGHTSETENABLE.
enum LightType : int32_t { kPoint = 1, kSpot = 2, kDirectional = 3, kDirectionalPair = 4 };
// Device light indices a light of the type takes: two for a pair.
constexpr DWORD lightWidth(int32_t type) { return type == kDirectionalPair ? 2 : 1; }

struct Light : HandleRecord {
  Light* nextInFrame = nullptr;       // the attached frame's list
  Light* previousInFrame = nullptr;
  D3DLIGHT9 first{};
  D3DLIGHT9 second{};                 // the weaker opposite light of a pair
  int32_t type = 0;
  DWORD index = 0;                    // device light index; a pair uses index + 1 too
  int32_t mode = 1;                   // 0 never, 1 whole scene, 2 subtree, 3 the frame only
  SceneFrame* frame = nullptr;
  D3DXVECTOR3 offset{0, 0, 0};
  bool active = false;
};

using FrameRegistry = HandleRegistry<SceneFrame, kind::kFrame>;
using LightRegistry = HandleRegistry<Light, kind::kLight>;

struct Camera {
  D3DXVECTOR3 eye{0, 0, -8}, lookAt{0, 0, 0}, up{0, 1, 0};
  float fieldOfView = 45.0f;          // degrees
  float nearPlane = 1.0f, farPlane = 1000.0f;
  bool changed = true;                // G@SETUP sets it
  D3DXMATRIX view, projection;        // as the last render computed them
};

struct Scene3dState {
  Scene3dState();
  ~Scene3dState();

  SceneFrame root;                    // concrete values: inheritance ends here
  FrameRegistry frames;
  LightRegistry lights;               // the light list, the newest first
  std::vector<uint8_t> lightOn;       // what each device light index was last set to
  Camera camera;
  uint32_t lastClock = 0;
  double frameStep = 0.0;             // seconds, measured once per flip

  // The text context of 3D text: a memory device context with its font
  // selected (the font is deleted after the context lets go of it).
  HDC textContext = nullptr;
  HFONT textFont = nullptr;
};

// The scene of the display, or nullptr before G@SETUP (or without one).
Scene3dState* scene();
Family sceneFamily();

// A frame handle (0 = the root) or a light handle, found or nullptr.
SceneFrame* findFrame(Scene3dState& s, uint32_t handle);
// The frame named by argument 0 of a command, or nullptr after box 660
// (the command then returns `failure`).
SceneFrame* frameArg(Call& c, int32_t failure = 0);
Light* findLight(Scene3dState& s, uint32_t handle);

// Makes a free frame (no parent) with the values of a new frame; nullptr
// after box 620 when it cannot be had.
SceneFrame* makeFrame(Call& c, Scene3dState& s);
// Takes a frame out of its parent's list of children (none: nothing).
void detachFrame(SceneFrame& f);
// Unlinks a frame from its parent, its children and its lights from it.
void unlinkFrame(SceneFrame& f);
// G3@RELEASE of a frame: unlinked, its resources given back, its handle dead.
void releaseFrame(DisplayState& d, Scene3dState& s, SceneFrame* f);
void detachLight(Light& l);
// Switches a device light index on or off, unless the device has it so.
void enableLight(Scene3dState& s, IDirect3DDevice9* dev, DWORD index, bool on);
// The same for each index of a light (both of a pair).
void switchLight(Scene3dState& s, IDirect3DDevice9* dev, const Light& l, bool on);
// Sends a light's device values (a pair's second light at index + 1).
void sendLight(IDirect3DDevice9* dev, const Light& l);
// The lowest device light index free for `count` consecutive lights: the
// indices of released lights are used again, since the device keeps every
// index it was ever given.
DWORD freeLightIndex(const Scene3dState& s, DWORD count);

// A script's colour component (nominally 0..1) times 255, truncated toward
// zero, its low 8 bits; a value no integer holds gives 0.
inline uint32_t colourByte(float v) {
  const float scaled = v * 255.0f;
  if (!(scaled > -2147483648.0f && scaled < 2147483648.0f)) return 0;
  return static_cast<uint32_t>(static_cast<int32_t>(scaled)) & 0xFF;
}

// The material every mesh frame starts with.
D3DMATERIAL9 meshMaterial();

// --- rendering (render.cpp) -----------------------------------------------
// Sends the directional lights again, as G3@LIGHTMAKE did (after a reset).
void resendLights(Scene3dState& s, IDirect3DDevice9* device);

// The effective value of an inherited property of a frame.
int32_t effective(const SceneFrame& f, Property p);

}  // namespace qrt
