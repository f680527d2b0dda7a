// The demo's sounds, played: the tune runs from the start, a crash sounds
// (panned) when the rocket is on a ball, and a blip when an arrow key goes
// down, once per press.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/cp932.h"
#include "tests/input/input_driver.h"
#include "tests/sound/sound_support.h"
#include "tools/mkdemo/demo_sound.h"

using namespace qrt::test;
using namespace qrt::img;

namespace {

TEST(DemoSound, TuneCrashAndBlip) {
  SoundFolder dir("demo");
  const std::filesystem::path folder(qrt::widen932(dir.path("").c_str()));
  qrt::demo::writeDemoSounds(folder);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder);   // the demo names its files relative to its folder

  // One ball, right on the rocket's start: the first frame is a touch.
  Script s;
  const qrt::demo::Player p = qrt::demo::declarePlayer(s.main(), 100, 200);
  const qrt::demo::Sounds sounds = qrt::demo::loadSounds(s.main());
  const int ballX = s.main().slot(), ballY = s.main().slot();
  Label frame = s.here();
  qrt::demo::movePlayer(s.main(), p, {.width = 640, .height = 480, .spriteSize = 32});
  s.main().native([&](X86& x) {
    x.storeImm(ballX, 116);
    x.storeImm(ballY, 216);
    qrt::demo::startTouches(x, sounds);
    qrt::demo::noteTouch(x, sounds, p, ballX, ballY);
    x.next();
  });
  qrt::demo::playSounds(s.main(), sounds, p);
  s.wait();
  s.jump(frame);
  Game game(s);
  activateMainWindow();

  ASSERT_TRUE(game.step());
  ASSERT_TRUE(game.boxes().empty()) << game.boxes()[0].text;
  qrt::Music* tune = musicOf(game.slot(sounds.tune));
  IDirectSoundBuffer* crash = soundBuffer(game.slot(sounds.crash));
  IDirectSoundBuffer* blip = soundBuffer(game.slot(sounds.blip));
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
