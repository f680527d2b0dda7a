// The geometry of a surface copy: from the two surfaces' rectangles and the
// copy's arguments to the four screen-space corners of one textured quad.
// Kept apart from the device so that the arithmetic can be checked alone.
#pragma once
#include <cstdint>

namespace qrt {

// Pre-transformed vertex: D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1.
struct CopyVertex {
  float x, y, z, rhw;
  uint32_t diffuse;
  float u, v;
};
static_assert(sizeof(CopyVertex) == 28, "copy vertex is 28 bytes");
constexpr uint32_t kCopyVertexFormat = 0x144;

enum class Placement { Fitted, Fixed, Centred };

struct CopyRequest {
  Placement placement = Placement::Fitted;
  int32_t src[4] = {};            // source surface's rectangle: left, top, right, bottom
  int32_t dst[4] = {};            // destination surface's rectangle
  int32_t surfaceWidth = 0;       // source surface's width and height
  int32_t surfaceHeight = 0;
  int32_t imageWidth = 0;         // source texture's image size ...
  int32_t imageHeight = 0;
  int32_t textureWidth = 0;       // ... and the size of its level-0 surface
  int32_t textureHeight = 0;
  int32_t mirror = 0;             // bit 2 left-right, bit 1 upside down
  float scale = 1.0f;
  float angle = 0.0f;             // degrees, clockwise on the screen
  int32_t centreX = 0, centreY = 0;
  float depth = 0.0f;
  uint32_t diffuse = 0xFFFFFFFF;
};

enum class CopyQuad {
  Draw,          // the corners are ready
  Outside,       // the source rectangle leaves the surface: nothing to draw
  BadMirror,     // mirror code outside 0..3
};

// Corners in the order top-left, top-right, bottom-left, bottom-right of the
// unrotated quad, ready for a two-triangle strip.
CopyQuad buildCopyQuad(const CopyRequest& request, CopyVertex corners[4]);

}  // namespace qrt
