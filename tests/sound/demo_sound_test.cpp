// The demo's sounds (examples/demo/sound.qrs), played: the tune runs from
// the start, a crash sounds (panned) when the rocket is on a ball, and a
// blip when an arrow key goes down, once per press.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/harness.h"
#include "tests/input/input_driver.h"
#include "tests/sound/sound_support.h"
#include "tests/support/compiled_script.h"

using namespace qrt::test;

namespace {

TEST(DemoSound, TuneCrashAndBlip) {
  // One ball, right on the rocket's start: the first frame is a touch.
  const CompiledScript demo = compileScript(R"(
#INCLUDE "player.qrs"
#INCLUDE "sound.qrs"
startPlayer(100, 200)
loadSounds()
LOOP
  movePlayer(640, 480)
  noteTouch(116, 216)
  playSounds()
  S@WAIT
ENDLOOP
)", QRT_DEMO_DIR);
  // The demo names its files relative to its folder.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::path(qrt::e2e::hostFile(QRT_DEMO_DIR)));
  Program game(demo.image);
  activateMainWindow();

  ASSERT_TRUE(game.step());
  ASSERT_TRUE(game.boxes().empty()) << game.boxes()[0].text;
  qrt::Music* tune = musicOf(game.staticSlot(demo.slotOf("tune")));
  IDirectSoundBuffer* crash = soundBuffer(game.staticSlot(demo.slotOf("crash")));
  IDirectSoundBuffer* blip = soundBuffer(game.staticSlot(demo.slotOf("blip")));
  ASSERT_TRUE(tune && crash && blip);
  OAFilterState state = State_Stopped;
  tune->control->GetState(1000, &state);
  EXPECT_EQ(state, State_Running);
  EXPECT_TRUE(playing(crash));
  LONG pan = 0;
  crash->GetPan(&pan);
  EXPECT_EQ(pan, (100 - 304) * 10);
  EXPECT_FALSE(playing(blip));

  pressKey(VK_DOWN);
  ASSERT_TRUE(game.step());
  EXPECT_TRUE(playing(blip));
  ASSERT_TRUE(waitFor([&] { return !playing(blip); }, paced(10000)));
  ASSERT_TRUE(game.step());   // still held: no new press
  EXPECT_FALSE(playing(blip));
  releaseKey(VK_DOWN);
  EXPECT_TRUE(game.boxes().empty());
  std::filesystem::current_path(before);
}

}  // namespace
