// CD audio: what a game sees on a machine without a drive (every command
// fails by its result and the game goes on), and the track arithmetic and
// position parts that a disc would be played and read with.
#include <gtest/gtest.h>

#include "sound/cd_audio.h"
#include "tests/support/script.h"

using namespace qrt::test;
using qrt::cdPositionPart;
using qrt::cdTrackRange;

namespace {

TEST(CdAudio, WithoutADriveEveryCommandFailsAndTheGameGoesOn) {
  Script s;
  const int zero = s.integer(0), one = s.integer(1), three = s.integer(3);
  s.run("MM@CDOPEN");
  s.run("MM@CDCLOSE");
  const int play = s.call("MM@CDPLAY", {one, three});
  const int playAll = s.call("MM@CDPLAY", {zero, zero});
  const int play2 = s.call("MM@CDPLAY2", {one, zero, s.integer(30), zero});
  const int tracks = s.call("MM@CDGET", {one, zero});
  const int seconds = s.call("MM@CDGET", {three, one});
  // Without a device nothing is asked: the item is not looked at.
  const int badItem = s.call("MM@CDGET", {s.integer(5), zero});
  s.run("MM@CDPAUSE", {zero});
  s.run("MM@CDPAUSE", {one});
  const int stop = s.call("MM@CDSTOP");
  const int end = s.marker();
  Game game(s);
  game.runToEnd();
  EXPECT_TRUE(game.boxes().empty());
  EXPECT_EQ(game.slot(end), 1u);
  EXPECT_EQ(game.integer(play), 0);
  EXPECT_EQ(game.integer(playAll), 0);
  EXPECT_EQ(game.integer(play2), 0);
  EXPECT_EQ(game.integer(tracks), -1);
  EXPECT_EQ(game.integer(seconds), -1);
  EXPECT_EQ(game.integer(badItem), -1);
  EXPECT_EQ(game.integer(stop), 0);
  EXPECT_EQ(qrt::cdState()->device, 0u);
  EXPECT_FALSE(qrt::cdState()->playing);
}

constexpr uint32_t track(int t) { return static_cast<uint32_t>(t); }   // TMSF t:00:00:00

TEST(CdAudio, TrackRanges) {
  // 0: the whole disc from track 1, whatever the last track says.
  EXPECT_EQ(cdTrackRange(0, 5, 0).from, track(1));
  EXPECT_FALSE(cdTrackRange(0, 5, 0).to);
  // Last below first is raised to first: track 3 alone.
  EXPECT_EQ(cdTrackRange(3, 1, 8).from, track(3));
  EXPECT_EQ(cdTrackRange(3, 1, 8).to, track(4));
  EXPECT_EQ(cdTrackRange(2, 5, 8).to, track(6));
  // The last track, or beyond it: to the end of the disc.
  EXPECT_FALSE(cdTrackRange(2, 8, 8).to);
  EXPECT_FALSE(cdTrackRange(2, 20, 8).to);
  // Track numbers are one byte.
  EXPECT_EQ(cdTrackRange(257, 258, 300).from, track(1));
  EXPECT_EQ(cdTrackRange(257, 258, 300).to, track(3));
}

TEST(CdAudio, PositionParts) {
  const uint32_t tmsf = 0x3C1E0502;   // track 2, 5 minutes, 30 seconds, frame 60
  EXPECT_EQ(cdPositionPart(3, 0, tmsf), 5);
  EXPECT_EQ(cdPositionPart(3, 1, tmsf), 30);
  EXPECT_EQ(cdPositionPart(3, 2, tmsf), 60);
  const uint32_t hms = 0x00213B01;    // 1 hour, 59 minutes, 33 seconds
  EXPECT_EQ(cdPositionPart(4, 0, hms), 1);
  EXPECT_EQ(cdPositionPart(4, 1, hms), 59);
  EXPECT_EQ(cdPositionPart(4, 2, hms), 33);
  EXPECT_FALSE(cdPositionPart(3, 3, tmsf));
  EXPECT_FALSE(cdPositionPart(4, -1, hms));
}

}  // namespace
