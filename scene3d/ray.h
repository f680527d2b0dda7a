// Where a ray meets a triangle: a pure test over three corners, shared by
// picking and by anything that checks it alone.
#pragma once

namespace qrt {

struct RayPoint {
  float x, y, z;
};

// Whether the ray from `origin` along `direction` (both sides of a
// triangle count) meets the triangle, and at which distance along the
// direction (in its units) when it does, in front of the origin only.
inline bool rayMeetsTriangle(const RayPoint& origin, const RayPoint& direction, const RayPoint& a,
                             const RayPoint& b, const RayPoint& c, float& distance) {
  const RayPoint e1{b.x - a.x, b.y - a.y, b.z - a.z}, e2{c.x - a.x, c.y - a.y, c.z - a.z};
  const RayPoint p{direction.y * e2.z - direction.z * e2.y, direction.z * e2.x - direction.x * e2.z,
                   direction.x * e2.y - direction.y * e2.x};
  const float det = e1.x * p.x + e1.y * p.y + e1.z * p.z;
  if (det > -1e-8f && det < 1e-8f) return false;   // parallel to the plane
  const float inverse = 1.0f / det;
  const RayPoint t{origin.x - a.x, origin.y - a.y, origin.z - a.z};
  const float u = (t.x * p.x + t.y * p.y + t.z * p.z) * inverse;
  if (u < 0.0f || u > 1.0f) return false;
  const RayPoint q{t.y * e1.z - t.z * e1.y, t.z * e1.x - t.x * e1.z, t.x * e1.y - t.y * e1.x};
  const float v = (direction.x * q.x + direction.y * q.y + direction.z * q.z) * inverse;
  if (v < 0.0f || u + v > 1.0f) return false;
  const float d = (e2.x * q.x + e2.y * q.y + e2.z * q.z) * inverse;
  if (d < 0.0f) return false;
  distance = d;
  return true;
}

}  // namespace qrt
