// The animation sets of X files in text form: whatever the text, reading
// stays in it and ends, and every set read can be sampled, mixed and turned
// into matrices at any time without leaving its keys.
#include <cmath>
#include <cstdint>
#include <vector>

#include "scene3d/keyframes.h"

using namespace qrt::anim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<AnimationSet> sets;
  if (!readAnimationSets(data, size, sets)) return 0;
  for (const AnimationSet& set : sets) {
    const double period = set.period();
    for (const Timeline& t : set.timelines) {
      Pose previous;
      for (double s : {0.0, 0.001, period * 0.5, period, period * 3.7, -1.0, 1e12}) {
        Pose p = sample(t, set, s);
        Mat4 m = toMatrix(mix(previous, p, 0.25f));
        volatile float sink = m.m[15];
        (void)sink;
        previous = p;
      }
    }
  }
  return 0;
}
