// Animation of X-file models: the sets chosen, looped and cross-faded by
// the animation commands, and advanced once per visit of the draw walk.
// Two tracks: the current one plays the chosen set, the other holds the
// previous set frozen while it fades out.
#include <cstring>

#include "engine/call.h"
#include "scene3d/commands.h"
#include "scene3d/model.h"
#include "scene3d/scene.h"

namespace qrt {

namespace {

int32_t setCount(const SceneFrame& f) { return f.model ? static_cast<int32_t>(f.model->sets.size()) : 0; }

// The checks both set commands share; the fade time with 0 read as 0.1.
bool checkChoice(Call& c, SceneFrame& f, double& fade) {
  const int32_t position = c.i(1), loop = c.i(2);
  if (position < 0 || position >= setCount(f) || (loop != 0 && loop != 1)) return false;
  fade = c.f(3) == 0.0f ? 0.1 : c.f(3);
  return true;
}

// The pose a track's set gives a frame, if it moves it.
bool trackPose(const Model& m, const anim::Track& t, const ModelFrame* target, anim::Pose& pose) {
  if (!t.enabled || t.set < 0 || t.weight <= 0) return false;
  const size_t set = static_cast<size_t>(t.set);
  for (size_t j = 0; j < m.sets[set].timelines.size(); ++j) {
    if (m.targets[set][j] != target) continue;
    pose = anim::sample(m.sets[set].timelines[j], m.sets[set], t.position);
    return true;
  }
  return false;
}

// Every frame the enabled tracks move takes their poses mixed by the
// tracks' weights.
void applyPose(Model& m) {
  ++m.poseRound;
  for (int k = 0; k < 2; ++k) {
    const anim::Track& t = m.player.track[k];
    if (!t.enabled || t.set < 0) continue;
    const size_t set = static_cast<size_t>(t.set);
    const anim::Track& other = m.player.track[1 - k];
    for (size_t j = 0; j < m.targets[set].size(); ++j) {
      ModelFrame* target = m.targets[set][j];
      if (!target || target->poseRound == m.poseRound) continue;
      target->poseRound = m.poseRound;
      // In track order, as the weights mix them.
      anim::Pose own, theirs, pose;
      const bool mine = t.weight > 0;
      if (mine) own = anim::sample(m.sets[set].timelines[j], m.sets[set], t.position);
      const bool others = trackPose(m, other, target, theirs);
      if (mine && others) {
        const anim::Pose& first = k == 0 ? own : theirs;
        const anim::Pose& second = k == 0 ? theirs : own;
        const double w1 = k == 0 ? t.weight : other.weight, w2 = k == 0 ? other.weight : t.weight;
        pose = anim::mix(first, second, static_cast<float>(w2 / (w1 + w2)));
      } else if (mine || others) {
        pose = mine ? own : theirs;
      } else {
        continue;
      }
      const anim::Mat4 matrix = anim::toMatrix(pose);
      std::memcpy(&target->TransformationMatrix, matrix.m, sizeof matrix.m);
    }
  }
}

}  // namespace

void bindAnimation(Model& m, const std::vector<uint8_t>& file) {
  m.sets.clear();
  m.targets.clear();
  if (!anim::readAnimationSets(file.data(), file.size(), m.sets)) m.sets.clear();
  for (const anim::AnimationSet& set : m.sets) {
    std::vector<ModelFrame*> targets;
    for (const anim::Timeline& t : set.timelines)
      targets.push_back(static_cast<ModelFrame*>(D3DXFrameFind(m.root, t.frame.c_str())));
    m.targets.push_back(std::move(targets));
  }
  m.player = anim::Player{};   // both tracks off: the model shows its bind pose
}

void advanceAnimation(SceneFrame& f, double frameStep) {
  if (!f.model || f.model->sets.empty()) return;
  Model& m = *f.model;
  AnimationState& a = f.animation;
  anim::Player& p = m.player;
  const double dt = a.step != -1.0 ? a.step : frameStep;
  if (!(dt > 0)) return;
  a.fadeWeight -= a.fadeTime > 0 ? dt / a.fadeTime : a.fadeWeight;
  if (a.fadeWeight < 0) a.fadeWeight = 0;
  anim::Track& current = p.track[a.currentTrack];
  anim::Track& other = p.track[1 - a.currentTrack];
  // The old set fades out whether the new one loops or not: held at its
  // full weight it would stay in the pose for good.
  other.weight = a.fadeWeight;
  if (a.loop == 1) {
    const double t = p.time() + dt;
    if (t >= a.period) {
      const double u = t - a.period;
      p.resetTime();
      current.position = u;
      p.advance(u);
      ++a.playCount;
    } else {
      p.advance(dt);
    }
  } else {
    if (a.playCount != 0) return;   // the set has ended
    const double t = p.time() + dt;
    if (t >= a.period) {
      // Stopped near its end on the track that plays it.
      const double u = a.period - 0.001 < 0 ? 0 : a.period - 0.001;
      current.position = u;
      p.advance(u);
      a.playCount = 1;
    } else {
      p.advance(dt);
    }
  }
  applyPose(m);
}

// What starting a set ends with, on either command: when it ends on the
// player's clock, no plays yet, the old set's weight and its fade, the pose.
static void startSet(Model& m, AnimationState& a, double period, double fadeWeight, double fade) {
  a.period = period;
  a.playCount = 0;
  a.fadeWeight = fadeWeight;
  a.fadeTime = fade;
  applyPose(m);
}

int32_t cmdG3FrmSetAni(Call& c) {
  SceneFrame* f = frameArg(c);
  double fade = 0;
  if (!f) return kFailed;
  if (!checkChoice(c, *f, fade)) return c.fail(660);
  Model& m = *f->model;
  AnimationState& a = f->animation;
  a.loop = static_cast<uint8_t>(c.i(2));
  a.currentTrack = 0;
  m.player.track[0] = anim::Track{c.i(1), true, 0.0, 1.0, 1.0};
  m.player.track[1] = anim::Track{m.player.track[1].set, false, 0.0, 0.0, 0.0};
  m.player.resetTime();
  m.player.advance(0.0);
  startSet(m, a, m.sets[static_cast<size_t>(c.i(1))].period(), 0.0, fade);
  return kDone;
}

int32_t cmdG3FrmSetAniChg(Call& c) {
  SceneFrame* f = frameArg(c);
  double fade = 0;
  if (!f) return kFailed;
  if (!checkChoice(c, *f, fade)) return c.fail(660);
  Model& m = *f->model;
  AnimationState& a = f->animation;
  a.loop = static_cast<uint8_t>(c.i(2));
  const int32_t old = a.currentTrack, fresh = old == 0 ? 1 : 0;
  a.currentTrack = fresh;
  anim::Track& n = m.player.track[fresh];
  anim::Track& o = m.player.track[old];
  n.set = c.i(1);
  n.enabled = o.enabled = true;
  n.speed = 1.0;
  o.speed = 0.0;   // the old set freezes in its pose
  n.weight = o.weight = 1.0;
  m.player.resetTime();
  n.position = 0.0;
  m.player.advance(0.0);
  startSet(m, a, m.sets[static_cast<size_t>(c.i(1))].period() + m.player.time(), 1.0, fade);
  return kDone;
}

int32_t cmdG3FrmSetAniEnd(Call& c) {
  SceneFrame* f = frameArg(c);
  if (!f) return kFailed;
  if (f->model) f->model->player.track[0].enabled = f->model->player.track[1].enabled = false;
  return kDone;
}

int32_t cmdG3FrmAddAniTime(Call& c) {
  SceneFrame* f = frameArg(c);
  if (!f) return kFailed;
  f->animation.step = c.f(1);
  return kDone;
}

int32_t cmdG3FrmGetAniNum(Call& c) {
  SceneFrame* f = frameArg(c);
  if (!f) return -1;
  const char* name = c.s(1);
  for (int32_t k = 0; k < setCount(*f); ++k)
    if (f->model->sets[static_cast<size_t>(k)].name == name) return k;
  return -1;
}

int32_t cmdG3FrmGetAniAct(Call& c) {
  SceneFrame* f = frameArg(c, -1);
  if (!f) return -1;
  return f->animation.playCount;
}

}  // namespace qrt
