// Keyframe animation of X-file models, our own on every platform so that a
// game animates the same everywhere: the animation sets read from an X
// file's text, sampled at a time, blended over two tracks, and the player
// that keeps the tracks' times.
//
// Nothing here touches the platform: matrices are rows of four floats used
// with row vectors (a point is the row on the left), as the scene's own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qrt::anim {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};
struct Quat {
  float x = 0, y = 0, z = 0, w = 1;
};
struct Mat4 {
  float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

template <typename Value>
struct Key {
  double time;   // in ticks
  Value value;
};

// The keys of one frame in one set.
struct Timeline {
  std::string frame;
  std::vector<Key<Quat>> rotation;
  std::vector<Key<Vec3>> scale;
  std::vector<Key<Vec3>> position;
  std::vector<Key<Mat4>> matrix;   // when present, the frame's whole transform
};

struct AnimationSet {
  std::string name;
  std::vector<Timeline> timelines;
  double ticksPerSecond = 4800;    // what the file declares; the format's default otherwise
  double periodTicks = 0;          // the last key's time
  double period() const { return ticksPerSecond > 0 ? periodTicks / ticksPerSecond : 0; }
};

// The animation sets of an X file in text form, in the order the file
// gives them. A file in another form, or without animation, gives none;
// text that breaks off or lies (counts beyond the data) gives false, and
// nothing read from it is kept. Bounded in depth and counts: the bytes are
// outside input.
bool readAnimationSets(const uint8_t* data, size_t size, std::vector<AnimationSet>& out);

// A frame's pose: scale, rotation, translation, or a whole matrix.
struct Pose {
  Vec3 scale{1, 1, 1};
  Quat rotation;
  Vec3 position;
  bool isMatrix = false;
  Mat4 matrix;
};

// The pose of a timeline `seconds` into its set, wrapping at the period as
// a looping set does.
Pose sample(const Timeline& t, const AnimationSet& set, double seconds);
// `a` and `b` mixed, `t` of the way to b (0..1): lerped, rotations slerped.
Pose mix(const Pose& a, const Pose& b, float t);
// S x R x T, or the matrix.
Mat4 toMatrix(const Pose& p);

Quat slerp(const Quat& a, const Quat& b, float t);

// Two tracks playing sets, with a global clock, as the animation commands
// drive them.
struct Track {
  int set = -1;
  bool enabled = false;
  double position = 0;   // seconds into the set
  double speed = 1;
  double weight = 1;
};

class Player {
 public:
  Track track[2];
  double time() const { return time_; }
  void resetTime() { time_ = 0; }
  // The clock moves on; each enabled track moves with it at its speed.
  void advance(double seconds) {
    time_ += seconds;
    for (Track& t : track)
      if (t.enabled) t.position += seconds * t.speed;
  }

 private:
  double time_ = 0;
};

}  // namespace qrt::anim
