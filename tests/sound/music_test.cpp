// Music as a game uses it: WAVE, MP3 and MIDI files loaded into filter
// graphs, their lengths and remaining times, and play, pause and stop, with
// the graph asked where it is. Times are compared as states (at the start,
// further on, at the end), never against the clock.
#include <gtest/gtest.h>

#include "tests/input/input_driver.h"
#include "tests/sound/sound_support.h"
#include "tests/support/script.h"

using namespace qrt::test;
using namespace qrt::media;
using qrt::Music;

namespace {

// Eight bars of a tune, 16 seconds at 120 beats a minute.
Bytes tune() {
  std::vector<Note> notes;
  for (int bar = 0; bar < 8; ++bar)
    for (uint8_t key : {60, 64, 67, 72}) notes.push_back({static_cast<uint8_t>(key + bar % 3), 4});
  return midiFile(notes);
}

TEST(MusicLoad, WaveMp3AndMidiFilesLoadWithTheirLengths) {
  SoundFolder dir("kinds");
  Script s;
  const std::string wave = dir.write("tune.wav", toneWave(3.5));
  const int w = s.call("M@LOAD", {s.text(wave)});
  const int length = s.call("M@LTIME", {w}), left = s.call("M@RTIME", {w});
  // The same file twice: the first graph holds it open.
  const int again = s.call("M@LOAD", {s.text(wave)});
  const int againLength = s.call("M@LTIME", {again});
  const int mp3 = s.call("M@LOAD", {s.text(dir.write("tune.mp3", mp3Silence(100, true)))});
  const int mp3Length = s.call("M@LTIME", {mp3});
  const int midi = s.call("M@LOAD", {s.text(dir.write("tune.mid", tune()))});
  const int midiLength = s.call("M@LTIME", {midi});
  const int japanese = s.call("M@LOAD", {s.text(dir.write("\x8b\xc8.wav", toneWave(1.0)))});   // 曲.wav
  const int japaneseLength = s.call("M@LTIME", {japanese});
  Game game(s);
  game.runToEnd();
  ASSERT_TRUE(game.boxes().empty()) << game.boxes()[0].text;
  EXPECT_EQ(game.integer(length), 350);
  EXPECT_EQ(game.integer(left), 350);
  EXPECT_EQ(game.integer(againLength), 350);
  EXPECT_NE(game.slot(again), game.slot(w));
  EXPECT_NEAR(game.integer(mp3Length), 100 * 1152 * 100 / 44100, 3);
  EXPECT_NEAR(game.integer(midiLength), 1600, 100);
  EXPECT_EQ(game.integer(japaneseLength), 100);
}

}  // namespace

namespace {

TEST(MusicLoad, RefusedFilesNameTheCommand) {
  SoundFolder dir("refused");
  Bytes garbage = riffWave({chunk("junk", Bytes(64, 7))});
  const std::vector<Refusal> refusals = {
      {"MP3 without an ID3 tag", mp3Silence(100, false), 710},
      {"another RIFF file", [] { Bytes b = toneWave(0.1); b[8] = 'A'; return b; }(), 710},
      {"shorter than a signature", Bytes{'I', 'D'}, 710},
      {"a WAVE signature and nothing to play", garbage, 720},
      {"missing file", std::nullopt, 680},
      {"unset name", std::nullopt, 660},
  };
  expectRefused(dir, "M@LOAD", refusals);
}

TEST(MusicPlayback, PlaysToTheEndAndAgain) {
  SoundFolder dir("playback");
  Script s;
  const int m = s.call("M@LOAD", {s.text(dir.write("short.wav", toneWave(0.5)))});
  s.run("M@PLAY", {m});
  s.wait();
  const int leftAtEnd = s.call("M@RTIME", {m});
  s.run("M@PLAY", {m});   // rewinds: it is not paused
  s.wait();
  s.run("M@PAUSE", {m});
  s.wait();
  s.run("M@PLAY", {m});   // resumes
  s.wait();
  s.run("M@STOP", {m});
  const int leftAfterStop = s.call("M@RTIME", {m});
  s.wait();
  Game game(s);
  ASSERT_TRUE(game.step());
  Music* music = musicOf(game.slot(m));
  ASSERT_NE(music, nullptr);
  const LONGLONG length = musicLength(music);
  ASSERT_TRUE(waitFor([&] { return musicPosition(music) >= length; }, paced(10000)));

  ASSERT_TRUE(game.step());
  EXPECT_EQ(game.integer(leftAtEnd), 0);
  ASSERT_TRUE(waitFor([&] { return musicPosition(music) > 0 && musicPosition(music) < length; }, paced(10000)))
      << musicPosition(music) << " of " << length;

  ASSERT_TRUE(game.step());
  const LONGLONG paused = musicPosition(music);
  EXPECT_LT(paused, length);
  OAFilterState state = State_Running;
  music->control->GetState(1000, &state);
  EXPECT_EQ(state, State_Paused);

  ASSERT_TRUE(game.step());
  EXPECT_GE(musicPosition(music), paused);
  ASSERT_TRUE(waitFor([&] { return musicPosition(music) >= length; }, paced(10000)));

  game.runToEnd();
  EXPECT_EQ(game.integer(leftAfterStop), 50);
  EXPECT_TRUE(game.boxes().empty());
}

TEST(MusicPlayback, TempoVolumeAndBalance) {
  SoundFolder dir("settings");
  Script s;
  const int m = s.call("M@LOAD", {s.text(dir.write("a.wav", toneWave(0.5)))});
  struct Setting {
    const char* command;
    int argument;
    double rate;
    long volume, balance;
  };
  const std::vector<Setting> settings = {
      {"M@TEMPO", s.real(0.0f), 1.0, 0, 0},
      {"M@TEMPO", s.real(2.0f), 2.0, 0, 0},
      {"M@VOL", s.integer(-50), 2.0, -10000, 0},
      {"M@VOL", s.integer(20000), 2.0, 0, 0},
      {"M@VOL", s.integer(6000), 2.0, -4000, 0},
      {"M@PAN", s.integer(12000), 2.0, -4000, 10000},
      {"M@PAN", s.integer(-700), 2.0, -4000, -700},
  };
  for (const Setting& setting : settings) {
    s.run(setting.command, {m, setting.argument});
    s.wait();
  }
  Game game(s);
  for (const Setting& setting : settings) {
    SCOPED_TRACE(setting.command);
    ASSERT_TRUE(game.step());
    Music* music = musicOf(game.slot(m));
    double rate = 0;
    long volume = 1, balance = 1;
    music->seeking->GetRate(&rate);
    music->audio->get_Volume(&volume);
    music->audio->get_Balance(&balance);
    // Wine's graph accepts every rate and keeps playing at 1.0.
    EXPECT_TRUE(rate == setting.rate || rate == 1.0) << rate;
    EXPECT_EQ(volume, setting.volume);
    EXPECT_EQ(balance, setting.balance);
  }
  game.runToEnd();
  EXPECT_TRUE(game.boxes().empty());
}

}  // namespace
