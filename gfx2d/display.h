// The display state and the records of 2D graphics: character surfaces and
// the texture records they share.
//
// The display state is the one graphics-wide record. The host creates it
// zeroed at start-up and releases it at shutdown; the window-message handler
// keeps its client size current; the 3D scene hangs its own state off it.
// Everything runs on the host's single thread.
#pragma once
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/registry.h"
#include "gfx2d/render_states.h"

namespace qrt {

template <typename T>
using ComPtr = Microsoft::WRL::ComPtr<T>;

class Call;
struct Family;

// Where a character surface came from.
constexpr int32_t kOriginScreen = 1;   // G@SETUP
constexpr int32_t kOriginLoaded = 11;  // G@CHRLOAD
constexpr int32_t kOriginMade = 21;    // G@CHRMAKE, and surfaces taken from 3D frames

struct TextureRecord : HandleRecord {
  ComPtr<IDirect3DTexture9> texture;   // render target, default pool
  ComPtr<IDirect3DSurface9> level0;    // top level: render target and saved pixels
  std::string path;                    // cp932 full path; empty for made textures
  int32_t imageWidth = 0, imageHeight = 0;
  int32_t surfaceWidth = 0, surfaceHeight = 0;
  int32_t colourDepth = 32;
  int32_t useCount = 0;

  // What a lost device needs to build the texture again.
  D3DFORMAT format = D3DFMT_A8R8G8B8;
  UINT levels = 1;
  std::string keyText;                 // cipher key the image was loaded with
  uint32_t colourKey = 0;              // load colour key in force at the load
};

struct SurfaceRecord : HandleRecord {
  int32_t width = 0, height = 0;
  int32_t colourDepth = 0;
  int32_t left = 0, top = 0, right = -1, bottom = -1;   // source rectangle, inclusive
  uint32_t modulation = 0xFFFFFFFF;
  uint8_t blend = 0;
  TextureRecord* texture = nullptr;    // none for the screen surface
  ComPtr<IDirect3DSurface9> depth;     // own D16 depth buffer; none for the screen
  int32_t origin = 0;
};

struct ViewportState {
  int32_t x = 0, y = 0, width = 0, height = 0;
  float minZ = 0.0f, maxZ = 1.0f;
};

// The 3D scene keeps its state in its own record; the display state only
// holds the pointer and calls these at set-up, around a device reset and at
// shutdown (the 3D handle list goes between the surfaces and the remaining
// textures). The 3D family installs them in the display state.
struct Scene3dState;
struct DisplayState;
struct SceneHooks {
  bool (*create)(DisplayState& d) = nullptr;        // root frame and defaults
  void (*release)(DisplayState& d) = nullptr;       // every 3D handle node
  void (*deviceLost)(DisplayState& d) = nullptr;    // drop default-pool resources
  void (*deviceReset)(DisplayState& d) = nullptr;   // build them again
};

using SurfaceRegistry = HandleRegistry<SurfaceRecord, kind::kSurface>;
using TextureRegistry = HandleRegistry<TextureRecord, kind::kTexture>;

struct DisplayState {
  // Live handles: a script's number is looked up here before anything is
  // read through it.
  SurfaceRegistry surfaces;
  TextureRegistry textures;
  Scene3dState* scene = nullptr;       // 3D handle list, root frame, camera, lights
  SceneHooks sceneHooks;

  int32_t width = 0, height = 0;       // logical screen size
  int8_t windowMode = -1;              // -1 not set up, 0 full screen, 1 window
  int32_t colourDepth = 0;
  // Client area size. G@SETUP sets it; in window mode the window-message
  // handler keeps it current, never below 1.
  int32_t clientWidth = 0, clientHeight = 0;
  uint32_t loadColourKey = 0xFF000000;

  ComPtr<IDirect3D9> direct3d;         // present = the display is set up
  D3DPRESENT_PARAMETERS present{};
  ComPtr<IDirect3DDevice9> device;
  RenderStates states;                 // every render and stage state goes through it
  std::vector<D3DDISPLAYMODE> modes;   // in enumeration order
  SurfaceRecord* screen = nullptr;
  ComPtr<IDirect3DSurface9> backBuffer;
  D3DSURFACE_DESC backBufferDesc{};
  ComPtr<IDirect3DSurface9> defaultDepth;
  ViewportState viewport;
  uint8_t vertexFog = 0;
  uint8_t perFrame = 1;                // cleared by G@FLIP, used by G3@RENDER
  ComPtr<ID3DXMatrixStack> matrixStack;
  ComPtr<ID3DXFont> font;
  uint32_t textColour = 0xFFFFFFFF;
  uint8_t inScene = 0;

  // Set while a reset has failed and the default-pool resources are gone;
  // the next G@FLIP tries the recovery again.
  bool resourcesLost = false;
};

// Fonts for 2D and 3D text: "ＭＳ ゴシック" in cp932 bytes, the face when a
// script names none, and the character set of its choice 0 ANSI, 1 default,
// 2 symbol, 3 Shift-JIS (anything else OEM).
inline constexpr char kDefaultFontFace[] = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";
inline constexpr BYTE kShiftJisCharset = SHIFTJIS_CHARSET;
constexpr BYTE fontCharset(int32_t choice) {
  switch (choice) {
    case 0: return ANSI_CHARSET;
    case 1: return DEFAULT_CHARSET;
    case 2: return SYMBOL_CHARSET;
    case 3: return SHIFTJIS_CHARSET;
    default: return OEM_CHARSET;
  }
}

// The display state of the run (the 2D graphics family's record), or
// nullptr when it is absent.
DisplayState* display();
Family displayFamily();

// --- Handles ---------------------------------------------------------------

inline uint32_t handleOf(const HandleRecord* record) { return record->handle; }
// The live surface a script's handle names, or nullptr. Never reads
// through a handle that is not in the registry.
inline SurfaceRecord* findSurface(DisplayState* d, uint32_t handle) {
  return d ? d->surfaces.find(handle) : nullptr;
}
inline TextureRecord* findTexture(DisplayState* d, uint32_t handle) {
  return d ? d->textures.find(handle) : nullptr;
}

// --- Surfaces and texture records (services for 2D and 3D) ----------------

// A new surface record with its defaults, the newest in the registry; the
// caller fills texture, depth, colour depth, origin and blend flag.
SurfaceRecord* createSurfaceRecord(DisplayState& d, int32_t width, int32_t height);
ComPtr<IDirect3DSurface9> createDepthSurface(DisplayState& d, UINT width, UINT height);
// A surface over a use of texture `t` that the caller hands over (G@CHRMAKE,
// G@CHRLOAD, G3@FRMGETCHR), with a depth surface of its own: its handle as
// the command's result, or, with the use given back, the command's failure
// (630 when the depth surface cannot be had).
int32_t surfaceOnTexture(Call& c, DisplayState& d, TextureRecord* t, int32_t width, int32_t height,
                         int32_t colourDepth, int32_t origin, uint8_t blend);
// A new texture record, the newest in the registry, use count 1.
TextureRecord* createTextureRecord(DisplayState& d);
// A drawable texture (render target, default pool, A8R8G8B8) in a new
// texture record; nullptr with `refused` set when the device would not make
// it, without it when the record could not be had.
TextureRecord* makeDrawableTexture(DisplayState& d, int32_t width, int32_t height, bool& refused);
// Drops one user of a texture record; frees it with the last one.
void releaseTextureUse(DisplayState& d, TextureRecord* t);
// G@RELEASE without the handle check.
void releaseSurface(DisplayState& d, SurfaceRecord* s);

// Render-target selection: a textured surface draws into its level-0
// surface with its own depth buffer; the screen surface (or nullptr) into
// the back buffer. False when the target is not there (lost device).
bool selectRenderTarget(DisplayState& d, SurfaceRecord* s);
inline bool selectBackBuffer(DisplayState& d) { return selectRenderTarget(d, nullptr); }

// The pixels behind a surface: level 0 of its texture, or the back buffer.
IDirect3DSurface9* pixelsOf(DisplayState& d, SurfaceRecord* s);

// The whole-file image loader: a shared texture record for the file, or
// nullptr (`why` then says whether the file was no picture or the cipher
// failed). An image already loaded from the same full path gains a user.
enum class ImageLoad { kLoaded, kNotFound, kCipherFailed };
TextureRecord* loadImageTexture(DisplayState& d, const char* fileName, const char* keyText,
                                ImageLoad* why = nullptr);

// Colour depth in bits of an image format as the loader reports it.
int32_t colourDepthOfFormat(D3DFORMAT format);

// --- Device ----------------------------------------------------------------

// Releases everything in the default pool, resets the device with the
// stored present parameters and builds it all again. Handles stay valid;
// made surfaces come back cleared, loaded ones are read from their files.
// False while the device cannot be reset yet.
bool recoverDevice(DisplayState& d);

}  // namespace qrt
