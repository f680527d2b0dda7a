#include "tests/scene3d/scene_support.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace qrt::test {

Pixels renderedScreen(Game& game) {
  game.step();
  game.step();
  EXPECT_TRUE(game.boxCodes().empty());
  return screenPixels();
}

SceneFrame& frameRecord(Game& game, int slot) {
  SceneFrame* f = scene() ? scene()->frames.find(game.slot(slot)) : nullptr;
  if (!f) throw std::runtime_error("not a live frame");
  return *f;
}

int litPixels(const Pixels& p) {
  int n = 0;
  for (uint32_t c : p.argb)
    if (!closeTo(c | 0xFF000000, 0xFF000000 | kBackground, 12)) ++n;
  return n;
}

}  // namespace qrt::test
