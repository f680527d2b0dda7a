#include "gfx2d/copy_quad.h"

#include <cmath>
#include <utility>

namespace qrt {

namespace {

constexpr float kRadiansPerDegree = 0.017453292f;

void normalise(int32_t& low, int32_t& high, int32_t& mirror, int32_t bit) {
  if (low > high) {
    std::swap(low, high);
    if (mirror >= 0 && mirror <= 3) mirror ^= bit;
  }
}

}  // namespace

CopyQuad buildCopyQuad(const CopyRequest& q, CopyVertex v[4]) {
  const float s = q.scale <= 0.0f ? 1.0f : q.scale;
  int32_t sL = q.src[0], sT = q.src[1], sR = q.src[2], sB = q.src[3];
  int32_t dL = q.dst[0], dT = q.dst[1], dR = q.dst[2], dB = q.dst[3];
  const int32_t cw = q.surfaceWidth, ch = q.surfaceHeight;
  if (sL < 0 || sL > cw - 1 || sR < 0 || sR > cw - 1 || sT < 0 || sT > ch - 1 || sB < 0 || sB > ch - 1) {
    return CopyQuad::Outside;
  }
  if (q.placement == Placement::Centred) {
    dL = q.centreX - (sR - sL) / 2;
    dT = q.centreY - (sB - sT) / 2;
  }
  if (q.placement != Placement::Fitted) {
    dR = dL + (sR - sL);
    dB = dT + (sB - sT);
  }
  int32_t m = q.mirror;
  normalise(sL, sR, m, 2);
  normalise(sT, sB, m, 1);
  normalise(dL, dR, m, 2);
  normalise(dT, dB, m, 1);
  if (m < 0 || m > 3) return CopyQuad::BadMirror;

  const float W = static_cast<float>(dR + 1 - dL);
  const float H = static_cast<float>(dB + 1 - dT);
  const float uScale = static_cast<float>(q.imageWidth) / static_cast<float>(q.textureWidth);
  const float vScale = static_cast<float>(q.imageHeight) / static_cast<float>(q.textureHeight);
  const float uL = static_cast<float>(sL) / static_cast<float>(cw) * uScale;
  const float uR = static_cast<float>(sR + 1) / static_cast<float>(cw) * uScale;
  const float vT = static_cast<float>(sT) / static_cast<float>(ch) * vScale;
  const float vB = static_cast<float>(sB + 1) / static_cast<float>(ch) * vScale;

  const float theta = q.angle * kRadiansPerDegree;
  const float c = std::cos(theta), sn = std::sin(theta);
  const bool centred = q.placement == Placement::Centred;
  const float pivotX = centred ? W / 2 : s * W / 2;
  const float pivotY = centred ? H / 2 : s * H / 2;

  struct Corner {
    float x, y, u, v, offsetX, offsetY;
  };
  // Half-pixel offsets on the left and top edges only.
  const float fL = static_cast<float>(dL), fT = static_cast<float>(dT);
  const Corner corners[4] = {
      {0, 0, uL, vT, fL - 0.5f, fT - 0.5f},
      {W, 0, uR, vT, fL, fT - 0.5f},
      {0, H, uL, vB, fL - 0.5f, fT},
      {W, H, uR, vB, fL, fT},
  };
  for (int i = 0; i < 4; ++i) {
    const Corner& k = corners[i];
    // Scale about the quad's centre, then turn, then put it on the pivot.
    const float px = (k.x - W / 2) * s, py = (k.y - H / 2) * s;
    v[i].x = px * c - py * sn + pivotX + k.offsetX;
    v[i].y = px * sn + py * c + pivotY + k.offsetY;
    v[i].z = q.depth;
    v[i].rhw = 1.0f;
    v[i].diffuse = q.diffuse;
    v[i].u = k.u;
    v[i].v = k.v;
  }
  if (m & 1) {
    std::swap(v[0].v, v[2].v);
    std::swap(v[1].v, v[3].v);
  }
  if (m & 2) {
    std::swap(v[0].u, v[1].u);
    std::swap(v[2].u, v[3].u);
  }
  return CopyQuad::Draw;
}

}  // namespace qrt
