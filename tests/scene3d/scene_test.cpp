// The 3D scene as a player sees it: frames in the tree drawn where the
// camera projects them, in their material's colour, lit, culled, blended
// and fogged as their properties say.
#include <gtest/gtest.h>

#include <functional>

#include "tests/scene3d/scene_support.h"

namespace qrt::test {
namespace {

uint32_t red(uint32_t c) { return c >> 16 & 0xFF; }
uint32_t green(uint32_t c) { return c >> 8 & 0xFF; }

TEST(Scene, ALitBoxAtTheOriginIsDrawnInTheMiddleInItsColour) {
  SceneScript s;
  s.redBox();
  s.light();
  s.clear();
  s.render();
  s.wait();
  Game game(s);
  const Pixels p = renderedScreen(game);
  EXPECT_GT(red(p.rgb(80, 60)), 0x80u);
  EXPECT_LT(green(p.rgb(80, 60)), 0x40u);
  // Its front face 2 units high at 7 in front of a 45 degree camera.
  const std::vector<int> b = p.boxOf(p.rgb(80, 60));
  EXPECT_NEAR(b[3] - b[1] + 1, 120 * 2 / (2 * 7 * 0.41421356), 2);
  EXPECT_EQ(p.rgb(2, 2), kBackground);
}

// Only what hangs below the root moves and draws; enable -1 takes the
// parent's value, 1 shows a frame below a hidden parent; steps are per
// render call.
TEST(Scene, TheTreeDecidesWhatMovesAndShows) {
  SceneScript s;
  const int parent = s.box(1.0f), hidden = s.box(1.0f), shown = s.box(1.0f), loose = s.box(1.0f);
  s.add(parent);
  s.add(hidden, parent);
  s.add(shown, parent);
  s.run("G3@FRMSETENABLE", {parent, s.integer(0)});
  s.run("G3@FRMSETENABLE", {shown, s.integer(1)});
  s.position(hidden, -3, 0, 0);
  s.position(shown, 3, 0, 0);
  s.run("G3@FRMSETROTAUTO", {shown, s.real(0), s.real(1), s.real(0)});
  s.run("G3@FRMSETPOSAUTO", {loose, s.real(1), s.real(0), s.real(0)});
  s.light();
  s.clear();
  s.render();
  s.render();
  s.wait();
  Game game(s);
  const Pixels p = renderedScreen(game);
  int left = 0, middle = 0, right = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) {
      if (p.rgb(x, y) == kBackground) continue;
      (x < 60 ? left : x < 100 ? middle : right)++;
    }
  EXPECT_EQ(left, 0);
  EXPECT_EQ(middle, 0);
  EXPECT_GT(right, 50);
  EXPECT_FLOAT_EQ(frameRecord(game, shown).rotation.y, 2.0f);
  EXPECT_FLOAT_EQ(frameRecord(game, loose).position.x, 0.0f);
}

// The board is one square facing the camera: culling clockwise faces hides
// it, wireframe and points draw a fraction of it.
TEST(Scene, CullAndFillModes) {
  struct Case {
    int cull, shade;
  };
  const Case cases[] = {{2, 0}, {1, 0}, {0, 0}, {2, 3}, {2, 2}};
  int lit[5];
  for (int i = 0; i < 5; ++i) {
    SceneScript s;
    const int board = s.call("G3@FRMMAKEBOARD", {s.integer(32), s.integer(32)});
    s.add(board);
    s.run("G3@FRMSETCULL", {board, s.integer(cases[i].cull)});
    s.run("G3@FRMSETSHADE", {board, s.integer(cases[i].shade)});
    s.run("G3@FRMSETLIGHTD", {board, s.integer(0)});
    s.run("G3@FRMSETTEXENABLE", {board, s.integer(0), s.integer(0)});
    s.clear();
    s.render();
    s.wait();
    Game game(s);
    lit[i] = litPixels(renderedScreen(game));
  }
  EXPECT_GT(lit[0], 100);
  EXPECT_EQ(lit[1], 0);
  EXPECT_EQ(lit[2], lit[0]);
  EXPECT_GT(lit[3], 0);
  EXPECT_LT(lit[3], lit[0] / 2);
  EXPECT_LT(lit[4], lit[3]);
}

// ONE, ONE adds the box to what is behind it; the root's ONE, ZERO covers.
TEST(Scene, BlendPairsMixWithWhatIsBehind) {
  uint32_t centre[2];
  for (int add = 0; add < 2; ++add) {
    SceneScript s;
    const int box = s.redBox();
    if (add) s.run("G3@FRMSETBLEND", {box, s.integer(1), s.integer(1)});
    s.light();
    s.clear();
    s.render();
    s.wait();
    Game game(s);
    centre[add] = renderedScreen(game).rgb(80, 60);
  }
  // Green is the material's emissive alone, plus the background's added.
  EXPECT_LT(green(centre[0]), 0x20u);
  EXPECT_NEAR(static_cast<int>(green(centre[1]) - green(centre[0])), 0x20, 3);
}

// Linear fog from 5 to 30 turns a far box toward the fog colour, whether
// as pixel fog (mode 3) or vertex fog (mode 6); the near one stays red.
TEST(Scene, FogTurnsFarFramesToItsColour) {
  for (int mode : {3, 6}) {
    SCOPED_TRACE(mode);
    SceneScript s;
    const int nearBox = s.box(1.0f), farBox = s.box(4.0f);
    s.colour(nearBox, 1, 0, 0);
    s.colour(farBox, 1, 0, 0);
    s.position(nearBox, -1.5f, 0, -3);
    s.position(farBox, 6, 0, 22);
    s.add(nearBox);
    s.add(farBox);
    s.run("G3@FRMSETFOGMODE", {s.integer(0), s.integer(mode)});
    s.run("G3@FRMSETFOGCOLOR", {s.integer(0), s.real(0), s.real(1), s.real(0), s.real(1)});
    s.run("G3@FRMSETFOGSTART", {s.integer(0), s.real(5)});
    s.run("G3@FRMSETFOGEND", {s.integer(0), s.real(30)});
    s.light();
    s.clear();
    s.render();
    s.wait();
    Game game(s);
    const Pixels p = renderedScreen(game);
    const uint32_t n = p.rgb(42, 60), f = p.rgb(112, 60);
    EXPECT_GT(red(n), 0x80u);
    EXPECT_LT(green(n), 0x30u);
    EXPECT_GT(green(f), red(f));
  }
}

// Lit from behind, a box's front face gets only ambient light; a
// directional pair's weaker opposite light reaches it.
TEST(Scene, ADirectionalPairLightsBothSides) {
  uint32_t front[2];
  for (int type : {3, 4}) {
    SceneScript s;
    s.redBox();
    const int l = s.light(type);
    s.run("G3@LIGHTSETDIR", {l, s.real(0), s.real(0), s.real(-1)});
    s.clear();
    s.render();
    s.wait();
    Game game(s);
    front[type - 3] = red(renderedScreen(game).rgb(80, 60));
  }
  EXPECT_GT(front[1], front[0] + 0x20);
}

// A released light's device index goes to the next light (the device
// keeps every index it was given), and that light is switched on afresh
// although the index was last switched off.
TEST(Scene, ALightMadeAfterAReleaseTakesItsIndexAndLights) {
  SceneScript s;
  s.redBox();
  const int first = s.call("G3@LIGHTMAKE", {s.integer(3), s.real(1), s.real(1), s.real(1)});
  s.run("G3@LIGHTSETDIR", {first, s.real(0), s.real(0), s.real(1)});
  s.add(first);
  s.render();
  s.run("G3@RELEASE", {first});
  s.render();
  const int second = s.light();
  s.clear();
  s.render();
  s.wait();
  Game game(s);
  const Pixels p = renderedScreen(game);
  EXPECT_GT(red(p.rgb(80, 60)), 0x80u);
  Light* l = findLight(*scene(), game.slot(second));
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->index, 0u);
}

// Only eight lights are ever on: the newest eight directional ones. A light
// of mode 3 lights its own frame, not its siblings; a light never added
// lights nothing.
TEST(Scene, LightSelectionKeepsToEightAndToItsScope) {
  {
    SceneScript s;
    const int a = s.box(1.0f), b = s.box(1.0f);
    s.colour(a, 1, 0, 0);
    s.colour(b, 1, 0, 0);
    s.position(a, -2, 0, 0);
    s.position(b, 2, 0, 0);
    s.add(a);
    s.add(b);
    const int own = s.call("G3@LIGHTMAKE", {s.integer(1), s.real(1), s.real(1), s.real(1)});
    s.run("G3@LIGHTSETPOS", {own, s.real(0), s.real(0), s.real(-3)});
    s.run("G3@LIGHTSETENABLE", {own, s.integer(3)});
    s.add(own, a);
    const int never = s.call("G3@LIGHTMAKE", {s.integer(3), s.real(1), s.real(1), s.real(1)});
    s.run("G3@LIGHTSETDIR", {never, s.real(0), s.real(0), s.real(1)});
    s.clear();
    s.render();
    s.wait();
    Game game(s);
    const Pixels p = renderedScreen(game);
    EXPECT_GT(red(p.rgb(41, 60)), red(p.rgb(118, 60)) + 0x30);
  }
  // Ten directional lights on the root: after the walk the newest eight
  // are on.
  SceneScript s;
  const int box = s.box(1.0f);
  s.add(box);
  for (int i = 0; i < 10; ++i) s.light();
  s.clear();
  s.render();
  s.wait();
  Game game(s);
  renderedScreen(game);
  IDirect3DDevice9* dev = displayState().device.Get();
  int on = 0;
  for (DWORD i = 0; i < 12; ++i) {
    BOOL enabled = FALSE;
    dev->GetLightEnable(i, &enabled);
    if (enabled) ++on;
    if (i < 2) {
      EXPECT_FALSE(enabled) << "light " << i << " is among the oldest";
    }
  }
  EXPECT_EQ(on, 8);
}

// A subtree rendered onto a character surface: the frame and its children,
// not its siblings, and nothing on the screen.
TEST(Scene, ASubtreeRendersOntoACharacterSurface) {
  SceneScript s;
  const int target = s.call("G@CHRMAKE", {s.integer(64), s.integer(64), s.integer(0)});
  s.run("G@CHRCLEAR", {target, s.integer(32), s.integer(32), s.integer(32)});
  const int drawn = s.box(2.0f), child = s.box(1.0f), sibling = s.box(2.0f);
  s.colour(drawn, 1, 0, 0);
  s.colour(child, 0, 0, 1);
  s.colour(sibling, 0, 1, 0);
  s.position(child, 0, 2, 0);
  s.add(drawn);
  s.add(child, drawn);
  s.add(sibling);
  s.light();
  s.clear();
  s.render(drawn, target);
  s.wait();
  Game game(s);
  const Pixels screen = renderedScreen(game);
  EXPECT_EQ(litPixels(screen), 0);
  const Pixels p = surfacePixels(game.slot(target));
  int reds = 0, blues = 0, greens = 0;
  for (uint32_t c : p.argb) {
    reds += red(c) > 0x80 && green(c) < 0x40;
    blues += (c & 0xFF) > 0x80 && red(c) < 0x40;
    greens += green(c) > 0x80 && red(c) < 0x40;
  }
  EXPECT_GT(reds, 50);
  EXPECT_GT(blues, 10);
  EXPECT_EQ(greens, 0);
}

// A board turned edge-on all but vanishes; as a billboard it faces the
// camera whatever its rotation. Its size follows its pixels: 64 x 48 units.
TEST(Scene, BoardsHaveTheirPixelSizeAndBillboardsFaceTheCamera) {
  int lit[2];
  std::vector<int> extent;
  for (int bill = 0; bill < 2; ++bill) {
    SceneScript s;
    const int board = s.call("G3@FRMMAKEBOARD", {s.integer(40), s.integer(30)});
    s.add(board);
    s.run("G3@FRMSETROT", {board, s.real(0), s.real(90), s.real(0)});
    s.run("G3@FRMSETBILL", {board, s.integer(bill)});
    s.run("G3@FRMSETLIGHTD", {board, s.integer(0)});
    s.run("G3@FRMSETTEXENABLE", {board, s.integer(0), s.integer(0)});
    s.clear();
    s.render();
    s.wait();
    Game game(s);
    const Pixels p = renderedScreen(game);
    lit[bill] = litPixels(p);
    if (bill) extent = p.boxOf(p.rgb(80, 60));
    EXPECT_FLOAT_EQ(frameRecord(game, board).boardScaleX, 0.04f);
    EXPECT_FLOAT_EQ(frameRecord(game, board).boardScaleY, 0.03f);
  }
  EXPECT_LT(lit[0], 20);
  // 4 x 3 units at 8: a quarter of the height high, in its own proportions.
  const int w = extent[2] - extent[0] + 1, h = extent[3] - extent[1] + 1;
  EXPECT_NEAR(h, 120 * 3 / (2 * 8 * 0.41421356), 3);
  EXPECT_NEAR(static_cast<double>(w) / h, 4.0 / 3.0, 0.1);
}

TEST(Scene, TextAndPrimitivesAreDrawn) {
  SceneScript s;
  const int text = s.call("G3@FRMMAKETEXT", {s.text("A"), s.real(0.01f), s.real(0.5f)});
  const int sphere = s.call("G3@FRMMAKESPHERE", {s.real(1), s.integer(12), s.integer(8)});
  const int torus = s.call("G3@FRMMAKETORUS", {s.real(0.2f), s.real(0.6f), s.integer(8), s.integer(12)});
  const int cylinder =
      s.call("G3@FRMMAKECYLINDER", {s.real(0.5f), s.real(0.5f), s.real(1), s.integer(8), s.integer(2)});
  const int teapot = s.call("G3@FRMMAKETEAPOT");
  const int frames[] = {text, sphere, torus, cylinder, teapot};
  for (int i = 0; i < 5; ++i) {
    s.position(frames[i], -4.0f + 2.0f * i, 0, 0);
    s.add(frames[i]);
  }
  s.light();
  s.clear();
  s.render();
  s.wait();
  Game game(s);
  const Pixels p = renderedScreen(game);
  for (int i = 0; i < 5; ++i) {
    int n = 0;
    const int centre = 80 + (-4 + 2 * i) * 80 / 27;   // about 80 + x * 2.96 pixels at 8 units
    for (int y = 40; y < 80; ++y)
      for (int x = centre - 4; x <= centre + 4; ++x) n += p.rgb(x, y) != kBackground;
    EXPECT_GT(n, 5) << "frame " << i;
  }
}

// A device reset (a lost device coming back) keeps the scene: meshes,
// lights and the camera are as before.
TEST(Scene, ADeviceResetKeepsTheScene) {
  SceneScript s;
  s.redBox();
  s.light();
  for (int i = 0; i < 2; ++i) {
    s.clear();
    s.render();
    s.wait();
  }
  Game game(s);
  const uint32_t before = renderedScreen(game).rgb(80, 60);
  ASSERT_TRUE(recoverDevice(displayState()));
  game.step();
  EXPECT_EQ(screenPixels().rgb(80, 60), before);
}

// 2D copies and the scene in one frame, in either order, each look as they
// do alone: neither leaves states the other draws with.
TEST(Scene, SpritesAndTheSceneDoNotDisturbEachOther) {
  auto scene = [](SceneScript& s) {
    const int box = s.redBox();
    s.run("G3@FRMSETLIGHTS", {box, s.integer(1)});
    s.run("G3@FRMSETFILTER", {box, s.integer(2)});
    s.run("G3@FRMSETFOGMODE", {box, s.integer(3)});
    s.run("G3@FRMSETFOGEND", {box, s.real(100)});
    s.light();
  };
  auto sprite = [](SceneScript& s) {
    const int chr = s.call("G@CHRMAKE", {s.integer(16), s.integer(16), s.integer(0)});
    s.run("G@CHRCLEAR", {chr, s.integer(0), s.integer(200), s.integer(255)});
    s.run("G@CHRCOLORA", {chr, s.integer(255), s.integer(255), s.integer(255), s.integer(128)});
    return chr;
  };
  std::vector<uint32_t> alone[2], mixed[2];
  for (int order = 0; order < 4; ++order) {
    SceneScript s;
    const bool withScene = order != 1, withSprite = order != 0;
    int chr = 0;
    if (withScene) scene(s);
    if (withSprite) chr = sprite(s);
    s.clear();
    s.run("G@CHRRECT", {s.screen, s.integer(10), s.integer(10), s.integer(0), s.integer(0)});
    const auto copy = [&] { s.run("G@CHRCOPYF", {chr, s.screen, s.integer(0), s.real(1), s.real(0)}); };
    if (order == 3 && withSprite) copy();
    if (withScene) s.render();
    if (order != 3 && withSprite) copy();
    s.wait();
    Game game(s);
    const Pixels p = renderedScreen(game);
    std::vector<uint32_t> spriteArea, sceneArea;
    for (int y = 10; y < 26; ++y)
      for (int x = 10; x < 26; ++x) spriteArea.push_back(p.rgb(x, y));
    for (int y = 50; y < 70; ++y)
      for (int x = 70; x < 90; ++x) sceneArea.push_back(p.rgb(x, y));
    if (order == 0) alone[1] = sceneArea;
    if (order == 1) alone[0] = spriteArea;
    if (order >= 2) {
      EXPECT_EQ(spriteArea, alone[0]) << "sprite, order " << order;
      EXPECT_EQ(sceneArea, alone[1]) << "scene, order " << order;
    }
    (void)mixed;
  }
}

// Releasing a frame that is still in the tree, with a child and a light:
// it is taken out first, and the child stays a live, free frame that keeps
// its own child.
TEST(Scene, ReleasingALinkedFrameLetsGoOfItsChildrenAndLights) {
  SceneScript s;
  const int parent = s.box(1.0f), child = s.box(1.0f), grandchild = s.box(1.0f);
  s.add(parent);
  s.add(child, parent);
  s.add(grandchild, child);
  const int l = s.light();
  s.add(l, parent);
  s.run("G3@RELEASE", {parent});
  s.render();
  s.add(child);   // still a live handle
  s.clear();
  s.render();
  s.wait();
  Game game(s);
  EXPECT_GT(litPixels(renderedScreen(game)), 50);
  EXPECT_EQ(frameRecord(game, child).parent, &scene()->root);
  EXPECT_EQ(frameRecord(game, grandchild).parent, &frameRecord(game, child));
}

// G3@DELETE takes a frame only from the frame it hangs on: named with
// another, nothing changes.
TEST(Scene, DeleteTakesAFrameOnlyFromItsOwnParent) {
  SceneScript s;
  const int a = s.box(1.0f), b = s.box(1.0f), kept = s.box(1.0f), taken = s.box(1.0f), other = s.box(1.0f);
  s.add(a);
  s.add(b);
  s.add(kept, a);
  s.add(taken, a);
  s.add(other, b);
  s.run("G3@DELETE", {kept, b});
  s.run("G3@DELETE", {taken, a});
  Game game(s);
  game.runToEnd();
  EXPECT_EQ(frameRecord(game, kept).parent, &frameRecord(game, a));
  EXPECT_EQ(frameRecord(game, a).firstChild, &frameRecord(game, kept));
  EXPECT_EQ(frameRecord(game, kept).next, nullptr);
  EXPECT_EQ(frameRecord(game, b).firstChild, &frameRecord(game, other));
  EXPECT_EQ(frameRecord(game, taken).parent, nullptr);
  EXPECT_TRUE(game.boxes().empty());
}

// A viewport is used when it fits the target, and ignored when it does not
// (the whole target is drawn on, as without one).
TEST(Scene, AViewportThatFitsNarrowsTheDrawingAndOneThatDoesNotIsIgnored) {
  for (const bool fits : {true, false}) {
    SCOPED_TRACE(fits);
    SceneScript s;
    s.redBox();
    s.light();
    const int last = fits ? 79 : 160;   // the screen is 160 x 120
    s.run("G3@DEVSETVIEWPORT", {s.integer(0), s.integer(0), s.integer(last), s.integer(last * 3 / 4), s.real(0),
                                s.real(1)});
    s.clear();
    s.render();
    s.wait();
    Game game(s);
    const Pixels p = renderedScreen(game);
    EXPECT_EQ(red(p.rgb(40, 30)) > 0x80u, fits);
    EXPECT_EQ(red(p.rgb(80, 60)) > 0x80u, !fits);
  }
}

// Bad handles, ranges and the root's -1, a loop in the tree, an unknown
// light type: 660 naming the command, and the program ends.
TEST(Scene, RefusedArgumentsAre660) {
  struct Case {
    const char* command;
    std::function<std::vector<int>(SceneScript&, int frame)> args;
  };
  const Case cases[] = {
      {"G3@ADD", [](SceneScript& s, int) { return std::vector<int>{s.integer(0x12345), s.integer(0)}; }},
      {"G3@ADD", [](SceneScript& s, int f) { return std::vector<int>{s.integer(0), f}; }},   // the root as an object
      {"G3@FRMSETCULL", [](SceneScript& s, int f) { return std::vector<int>{f, s.integer(3)}; }},
      {"G3@FRMSETCULL", [](SceneScript& s, int) { return std::vector<int>{s.integer(0), s.integer(-1)}; }},
      {"G3@FRMSETBLEND",
       [](SceneScript& s, int) { return std::vector<int>{s.integer(0), s.integer(2), s.integer(-1)}; }},
      {"G3@FRMSETAMBIENT",
       [](SceneScript& s, int) { return std::vector<int>{s.integer(0), s.real(-1), s.real(0), s.real(0)}; }},
      {"G3@LIGHTSETENABLE", [](SceneScript& s, int f) { return std::vector<int>{f, s.integer(1)}; }},  // a frame
      {"G3@RENDER", [](SceneScript& s, int f) { return std::vector<int>{f, f}; }},   // a frame as a surface
      {"G3@LIGHTMAKE",
       [](SceneScript& s, int) { return std::vector<int>{s.integer(5), s.real(1), s.real(1), s.real(1)}; }},
      // Released handles stay dead.
      {"G3@ADD",
       [](SceneScript& s, int f) {
         s.run("G3@RELEASE", {f});
         return std::vector<int>{f, s.integer(0)};
       }},
      {"G3@LIGHTSETENABLE",
       [](SceneScript& s, int) {
         const int l = s.light();
         s.run("G3@RELEASE", {l});
         return std::vector<int>{l, s.integer(1)};
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    SceneScript s;
    const int f = s.box(1.0f);
    s.run(c.command, c.args(s, f));
    const int after = s.marker();
    Game game(s);
    game.runToEnd();
    EXPECT_NE(game.slot(after), 1u);
    ASSERT_EQ(game.boxCodes(), std::vector<int>{660});
    EXPECT_NE(game.boxes()[0].text.find(c.command), std::string::npos);
  }
  // A frame below its own child would close the tree into a loop.
  SceneScript s;
  const int parent = s.box(1.0f), child = s.box(1.0f);
  s.add(parent);
  s.add(child, parent);
  s.run("G3@ADD", {parent, child});
  Game game(s);
  game.runToEnd();
  EXPECT_EQ(game.boxCodes(), std::vector<int>{660});
}

}  // namespace
}  // namespace qrt::test
