// Animated models and picking, as a game sees them: poses after fixed
// steps found by rays and pixels, loops counted, a cross-fade half way, a
// set that stops at its end, the frame queries, and 2D drawing on a board.
#include <gtest/gtest.h>

#include <fstream>

#include "scene3d/keyframes.h"
#include "tests/scene3d/scene_support.h"

namespace qrt::test {
namespace {

// Ten ticks a second; "Slide" moves the frame Body from x 0 to 4 and
// "Rise" from y 0 to 4, each in one second.
const char kAnimated[] = R"(xof 0302txt 0032
template AnimTicksPerSecond {
 <9E415A43-7BA6-4a73-8743-B73D47E88476>
 DWORD AnimTicksPerSecond;
}
AnimTicksPerSecond { 10; }
Frame Root {
 Frame Body {
  FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,0.0,0.0,1.0;; }
  Mesh Quad { 4; -1.0;1.0;0.0;, 1.0;1.0;0.0;, 1.0;-1.0;0.0;, -1.0;-1.0;0.0;;
   2; 3;0,1,2;, 3;0,2,3;;
   MeshMaterialList { 1; 2; 0,0;; Material { 1.0;1.0;1.0;1.0;; 5.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; } }
  }
 }
}
AnimationSet Slide {
 Animation { {Body} AnimationKey { 2; 2; 0;3;0.0,0.0,0.0;;, 10;3;4.0,0.0,0.0;;; } }
}
AnimationSet Rise {
 Animation { {Body} AnimationKey { 2; 2; 0;3;0.0,0.0,0.0;;, 10;3;0.0,4.0,0.0;;; } }
}
)";

TEST(Keyframes, SetsAreReadSampledWrappedAndMixed) {
  std::vector<anim::AnimationSet> sets;
  const auto* bytes = reinterpret_cast<const uint8_t*>(kAnimated);
  ASSERT_TRUE(anim::readAnimationSets(bytes, sizeof kAnimated - 1, sets));
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].name, "Slide");
  EXPECT_DOUBLE_EQ(sets[0].period(), 1.0);
  ASSERT_EQ(sets[0].timelines.size(), 1u);
  EXPECT_EQ(sets[0].timelines[0].frame, "Body");
  const anim::Pose half = anim::sample(sets[0].timelines[0], sets[0], 0.5);
  EXPECT_FLOAT_EQ(half.position.x, 2.0f);
  EXPECT_FLOAT_EQ(anim::sample(sets[0].timelines[0], sets[0], 1.25).position.x, 1.0f);   // wrapped
  const anim::Pose up = anim::sample(sets[1].timelines[0], sets[1], 0.5);
  const anim::Pose mixed = anim::mix(half, up, 0.25f);
  EXPECT_FLOAT_EQ(mixed.position.x, 1.5f);
  EXPECT_FLOAT_EQ(mixed.position.y, 0.5f);
  // A quarter turn about y, half way from none: 45 degrees.
  const anim::Quat none, quarter{0, 0.70710678f, 0, 0.70710678f};
  const anim::Mat4 m = anim::toMatrix(anim::Pose{{1, 1, 1}, anim::slerp(none, quarter, 0.5f)});
  EXPECT_NEAR(m.m[0], 0.70710678f, 1e-5);
  EXPECT_NEAR(m.m[2], -0.70710678f, 1e-5);

  // Counts beyond the data or beyond any number, times that are no number,
  // text that breaks off: refused, nothing kept.
  for (const char* bad : {"xof 0302txt 0032\nAnimationSet A { Animation { {B} AnimationKey { 2; 900; 0;3;1;1;1;;; } } }",
                          "xof 0302txt 0032\nAnimationSet A { Animation { {B} AnimationKey { 2; 1; 0;3;1;",
                          "xof 0302txt 0032\nAnimationSet A { Animation { {B} AnimationKey { 2; 1; 0;99;1;1;1;;; } } }",
                          "xof 0302txt 0032\nAnimationSet A { Animation { {B} AnimationKey { 2; 1; 0;1e300;1;1;1;;; } } }",
                          "xof 0302txt 0032\nAnimationSet A { Animation { {B} AnimationKey { 2; 1e300; 0;3;1;1;1;;; } } }",
                          "xof 0302txt 0032\nAnimationSet A { Animation { {B} AnimationKey { 2; 1; 1e999;3;1;1;1;;; } } }"}) {
    EXPECT_FALSE(anim::readAnimationSets(reinterpret_cast<const uint8_t*>(bad), strlen(bad), sets)) << bad;
    EXPECT_TRUE(sets.empty());
  }
  const char binary[] = "xof 0302bin 0032\x01\x02";
  EXPECT_TRUE(anim::readAnimationSets(reinterpret_cast<const uint8_t*>(binary), sizeof binary - 1, sets));
  EXPECT_TRUE(sets.empty());
}

std::string animatedModel() {
  const std::string dir = scratchFolder("animated");
  const std::string path = dir + "\\animated.x";
  std::ofstream(path, std::ios::binary) << kAnimated;
  return path;
}

// Rays along +z through (x, y) against the model: 1 where the unit square
// around its pose is.
struct Probe {
  float x, y;
  int result;
};

int rayAt(SceneScript& s, int model, float x, float y) {
  return s.call("G3@FRMGETRAY", {model, s.real(x), s.real(y), s.real(-20), s.real(x), s.real(y), s.real(20)});
}

// The pose's centre must lie near (cx, cy): inside the square around it,
// outside beyond its edges.
std::vector<Probe> around(SceneScript& s, int model, float cx, float cy) {
  std::vector<Probe> probes;
  for (float dx : {-0.8f, 0.8f}) probes.push_back({cx + dx, cy, rayAt(s, model, cx + dx, cy)});
  for (float dy : {-0.8f, 0.8f}) probes.push_back({cx, cy + dy, rayAt(s, model, cx, cy + dy)});
  for (float dx : {-1.3f, 1.3f}) probes.push_back({cx + dx, cy, -rayAt(s, model, cx + dx, cy)});
  for (float dy : {-1.3f, 1.3f}) probes.push_back({cx, cy + dy, -rayAt(s, model, cx, cy + dy)});
  return probes;
}

void expectAround(Game& game, const std::vector<Probe>& probes, const char* what) {
  for (const Probe& p : probes) {
    const bool inside = p.result > 0;
    EXPECT_EQ(game.integer(inside ? p.result : -p.result), inside ? 1 : 0) << what << " at " << p.x << ", " << p.y;
  }
}

// Each render draws the pose of the advance before it, then advances by
// the fixed step.
TEST(Animation, FixedStepsLoopsAndTheEndOfASet) {
  const std::string path = animatedModel();
  SceneScript s;
  const int model = s.call("G3@FRMLOAD", {s.text(path)});
  s.add(model);
  s.run("G3@FRMSETANI", {model, s.integer(0), s.integer(1), s.real(0)});
  s.run("G3@FRMADDANITIME", {model, s.real(0.5f)});
  s.render();
  s.render();   // draws x = 2
  const auto atTwo = around(s, model, 2, 0);
  const int firstWrap = s.call("G3@FRMGETANIACT", {model});
  s.render();   // wraps: back to x = 0
  s.render();   // draws x = 2 again, and wraps again
  const int secondWrap = s.call("G3@FRMGETANIACT", {model});
  // Not looping: it stops near its end and counts one play.
  s.run("G3@FRMSETANI", {model, s.integer(1), s.integer(0), s.real(0)});
  for (int i = 0; i < 5; ++i) s.render();
  const auto atTop = around(s, model, 0, 4);
  const int played = s.call("G3@FRMGETANIACT", {model});
  const int slide = s.call("G3@FRMGETANINUM", {model, s.text("Slide")});
  const int rise = s.call("G3@FRMGETANINUM", {model, s.text("Rise")});
  const int lower = s.call("G3@FRMGETANINUM", {model, s.text("rise")});
  s.wait();
  Game game(s);
  game.runToEnd();
  EXPECT_TRUE(game.boxes().empty());
  expectAround(game, atTwo, "after two renders");
  expectAround(game, atTop, "at the end of Rise");
  EXPECT_EQ(game.integer(firstWrap), 1);
  EXPECT_EQ(game.integer(secondWrap), 2);
  EXPECT_EQ(game.integer(played), 1);
  EXPECT_EQ(game.integer(slide), 0);
  EXPECT_EQ(game.integer(rise), 1);
  EXPECT_EQ(game.integer(lower), -1);
}

// Half way through a one-second fade the old set (frozen at x = 2) weighs
// 0.5 against the new one's 1 (at y = 2): x 2/3, y 4/3.
TEST(Animation, ACrossFadeMixesTheFrozenOldSetWithTheNewOne) {
  const std::string path = animatedModel();
  SceneScript s;
  const int model = s.call("G3@FRMLOAD", {s.text(path)});
  s.add(model);
  s.run("G3@FRMSETANI", {model, s.integer(0), s.integer(1), s.real(0)});
  s.run("G3@FRMADDANITIME", {model, s.real(0.5f)});
  s.render();   // Slide at 0.5: x = 2
  s.run("G3@FRMSETANICHG", {model, s.integer(1), s.integer(1), s.real(1)});
  s.render();   // fade weight 0.5, Rise at 0.5
  s.render();   // draws that pose
  const auto mixed = around(s, model, 2.0f / 3, 4.0f / 3);
  s.wait();
  Game game(s);
  game.runToEnd();
  EXPECT_TRUE(game.boxes().empty());
  expectAround(game, mixed, "half way through the fade");
}

// Picking against the model at the origin: through the middle it hits at
// the eye's distance, through a corner it misses; a primitive never hits.
// The frame queries read the last render.
TEST(Picking, RaysAndFrameQueriesReadTheLastRender) {
  const std::string path = animatedModel();
  GfxScript s(640, 480);
  const int model = s.call("G3@FRMLOAD", {s.text(path)});
  const int box = s.call("G3@FRMMAKEBOX", {s.real(4), s.real(4), s.real(4)});
  const int behind = s.call("G3@FRMMAKEBOX", {s.real(1), s.real(1), s.real(1)});
  const int zero = s.integer(0);
  for (int f : {model, box, behind}) s.run("G3@ADD", {f, zero});
  s.run("G3@FRMSETPOS", {behind, s.real(3), s.real(-2), s.real(-9)});
  s.run("G3@RENDER", {zero, zero});
  const int middle = s.call("G3@FRMGETRAY", {model, s.real(0), s.real(0), s.real(-8), s.real(0), s.real(0), s.real(0)});
  const int distance = s.call("G3@FRMGETRAYDATA", {model, zero});
  const int corner =
      s.call("G3@FRMGETRAY", {model, s.real(0), s.real(0), s.real(-8), s.real(1.5f), s.real(1.5f), s.real(0)});
  const int primitive =
      s.call("G3@FRMGETRAY", {box, s.real(0), s.real(0), s.real(-8), s.real(0), s.real(0), s.real(0)});
  const int x = s.call("G3@FRMGETDATAX", {zero}), y = s.call("G3@FRMGETDATAY", {zero});
  const int depth = s.call("G3@FRMGETDATAZ", {behind});
  const int worldX = s.call("G3@FRMGETDATAMX", {behind}), worldZ = s.call("G3@FRMGETDATAMZ", {behind});
  const int bad = s.call("G3@FRMGETDATAX", {s.integer(0x12345)});
  const int after = s.marker();
  Game game(s);
  game.runToEnd();
  EXPECT_EQ(game.integer(middle), 1);
  EXPECT_NEAR(game.real(distance), 8.0f, 1e-3);
  EXPECT_EQ(game.integer(corner), 0);
  EXPECT_EQ(game.integer(primitive), 0);
  EXPECT_EQ(game.integer(x), 320);
  EXPECT_EQ(game.integer(y), 240);
  EXPECT_GT(game.real(depth), 2147483648.0f) << "a point behind the eye";
  EXPECT_FLOAT_EQ(game.real(worldX), 3.0f);
  EXPECT_FLOAT_EQ(game.real(worldZ), -9.0f);
  // A bad frame is reported and the game goes on with 0.
  EXPECT_EQ(game.integer(bad), 0);
  EXPECT_EQ(game.integer(after), 1);
  EXPECT_EQ(game.boxCodes(), std::vector<int>{660});
}

// The board's texture as a character surface: cleared red in 2D, it shows
// red in the scene.
TEST(Picking, DrawingOnABoardsSurfaceShowsInTheScene) {
  SceneScript s;
  const int board = s.call("G3@FRMMAKEBOARD", {s.integer(32), s.integer(32)});
  s.add(board);
  s.run("G3@FRMSETLIGHTD", {board, s.integer(0)});
  const int surface = s.call("G3@FRMGETCHR", {board});
  s.run("G@CHRCLEAR", {surface, s.integer(255), s.integer(0), s.integer(0)});
  s.clear();
  s.render();
  s.wait();
  Game game(s);
  const Pixels p = renderedScreen(game);
  EXPECT_EQ(p.rgb(80, 60), 0xFF0000u);
}

// Set positions out of range (any frame without sets has none), loop
// values other than 0 and 1: 660, and the program ends.
TEST(Animation, RefusedChoicesAre660) {
  const std::string path = animatedModel();
  const struct {
    bool model;
    int position, loop;
  } cases[] = {{false, 0, 0}, {true, 2, 0}, {true, -1, 0}, {true, 0, 2}};
  for (const auto& c : cases) {
    SceneScript s;
    const int frame = c.model ? s.call("G3@FRMLOAD", {s.text(path)}) : s.box(1.0f);
    s.run("G3@FRMSETANICHG", {frame, s.integer(c.position), s.integer(c.loop), s.real(0)});
    const int after = s.marker();
    Game game(s);
    game.runToEnd();
    EXPECT_NE(game.integer(after), 1);
    EXPECT_EQ(game.boxCodes(), std::vector<int>{660});
  }
}

}  // namespace
}  // namespace qrt::test
