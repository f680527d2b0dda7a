// The copy geometry by itself: the exact quad edges and texture
// coordinates that the pixel tests can only see rounded to whole pixels.
#include <gtest/gtest.h>

#include "gfx2d/copy_quad.h"

namespace qrt {
namespace {

CopyRequest request32(Placement placement) {
  CopyRequest q;
  q.placement = placement;
  q.src[0] = 0, q.src[1] = 0, q.src[2] = 31, q.src[3] = 31;
  q.dst[0] = 100, q.dst[1] = 50, q.dst[2] = 0, q.dst[3] = 0;
  q.surfaceWidth = q.surfaceHeight = 32;
  q.imageWidth = q.imageHeight = 32;
  q.textureWidth = q.textureHeight = 32;
  return q;
}

TEST(CopyQuad, FixedCopyEdgesCarryHalfPixelOffsetsOnTheLeftAndTopOnly) {
  CopyVertex v[4];
  ASSERT_EQ(buildCopyQuad(request32(Placement::Fixed), v), CopyQuad::Draw);
  EXPECT_FLOAT_EQ(v[0].x, 99.5f);
  EXPECT_FLOAT_EQ(v[0].y, 49.5f);
  EXPECT_FLOAT_EQ(v[1].x, 132.0f);
  EXPECT_FLOAT_EQ(v[1].y, 49.5f);
  EXPECT_FLOAT_EQ(v[2].x, 99.5f);
  EXPECT_FLOAT_EQ(v[2].y, 82.0f);
  EXPECT_FLOAT_EQ(v[3].x, 132.0f);
  EXPECT_FLOAT_EQ(v[3].y, 82.0f);
  for (const CopyVertex& c : v) {
    EXPECT_EQ(c.rhw, 1.0f);
    EXPECT_EQ(c.z, 0.0f);
    EXPECT_EQ(c.diffuse, 0xFFFFFFFFu);
  }
}

TEST(CopyQuad, TextureCoordinatesStopAtTheImageInsideAPaddedTexture) {
  CopyRequest q = request32(Placement::Fixed);
  q.src[0] = 4, q.src[2] = 19, q.src[1] = 0, q.src[3] = 9;
  q.surfaceWidth = q.imageWidth = 20;
  q.surfaceHeight = q.imageHeight = 10;
  q.textureWidth = 32;
  q.textureHeight = 16;
  CopyVertex v[4];
  ASSERT_EQ(buildCopyQuad(q, v), CopyQuad::Draw);
  EXPECT_FLOAT_EQ(v[0].u, 4.0f / 32);
  EXPECT_FLOAT_EQ(v[1].u, 20.0f / 32);
  EXPECT_FLOAT_EQ(v[0].v, 0.0f);
  EXPECT_FLOAT_EQ(v[2].v, 10.0f / 16);
}

TEST(CopyQuad, CentredCopiesStayCentredWhateverTheScaleAndDepth) {
  for (float scale : {1.0f, 2.0f, 0.5f}) {
    CopyRequest q = request32(Placement::Centred);
    q.centreX = 200, q.centreY = 100;
    q.scale = scale;
    q.depth = 0.25f;
    CopyVertex v[4];
    ASSERT_EQ(buildCopyQuad(q, v), CopyQuad::Draw);
    // dL = 200 - 15: the quad's middle sits half a pixel right of the centre
    // before the quarter-pixel shift of the offsets.
    EXPECT_FLOAT_EQ((v[0].x + v[3].x) / 2, 185.0f + 16.0f - 0.25f) << scale;
    EXPECT_FLOAT_EQ(v[3].x - v[0].x, 32.0f * scale + 0.5f) << scale;
    EXPECT_EQ(v[2].z, 0.25f);
  }
}

TEST(CopyQuad, MirrorCodeTogglesOnlyWithinZeroToThree) {
  CopyRequest q = request32(Placement::Fitted);
  q.src[0] = 31, q.src[2] = 0;   // reversed: toggles bit 2
  q.dst[2] = 131, q.dst[3] = 81;
  q.mirror = 2;                   // ... back to no mirror
  CopyVertex v[4];
  ASSERT_EQ(buildCopyQuad(q, v), CopyQuad::Draw);
  EXPECT_LT(v[0].u, v[1].u);
  q.mirror = 6;                   // not toggled: stays bad
  EXPECT_EQ(buildCopyQuad(q, v), CopyQuad::BadMirror);
  q.mirror = 1;
  q.src[0] = 0, q.src[2] = 31;
  ASSERT_EQ(buildCopyQuad(q, v), CopyQuad::Draw);
  EXPECT_GT(v[0].v, v[2].v);
  q.src[2] = 32;
  EXPECT_EQ(buildCopyQuad(q, v), CopyQuad::Outside);
}

}  // namespace
}  // namespace qrt
