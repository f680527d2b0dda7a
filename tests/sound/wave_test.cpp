// Wave sounds as a game uses them: files of every shape loaded by W@LOAD,
// the buffer DirectSound made from them, and what play, pause, stop,
// tempo, volume and pan do to it, read back from DirectSound itself.
#include <gtest/gtest.h>

#include <cmath>

#include <functional>

#include "tests/input/input_driver.h"
#include "tests/sound/sound_support.h"
#include "tests/support/script.h"

using namespace qrt::test;
using namespace qrt::media;

namespace {

const PcmFormat kMono16{.channels = 1, .bits = 16, .rate = 22050};

// The buffer holds exactly `samples`, in the given format.
void expectBuffer(IDirectSoundBuffer* b, const PcmFormat& f, const Bytes& samples, const char* what) {
  SCOPED_TRACE(what);
  ASSERT_NE(b, nullptr);
  WAVEFORMATEX format{};
  ASSERT_HRESULT_SUCCEEDED(b->GetFormat(&format, sizeof format, nullptr));
  EXPECT_EQ(format.nChannels, f.channels);
  EXPECT_EQ(format.wBitsPerSample, f.bits);
  EXPECT_EQ(format.nSamplesPerSec, f.rate);
  DSBCAPS caps{.dwSize = sizeof(DSBCAPS)};
  ASSERT_HRESULT_SUCCEEDED(b->GetCaps(&caps));
  EXPECT_EQ(caps.dwFlags & 0x180E2u, 0x180E2u);
  ASSERT_EQ(caps.dwBufferBytes, samples.size());
  void* held = nullptr;
  DWORD bytes = 0;
  ASSERT_HRESULT_SUCCEEDED(b->Lock(0, 0, &held, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER));
  EXPECT_EQ(Bytes(static_cast<uint8_t*>(held), static_cast<uint8_t*>(held) + bytes), samples);
  b->Unlock(held, bytes, nullptr, 0);
}

TEST(WaveLoad, EveryWellFormedShapeLoadsItsSamples) {
  SoundFolder dir("shapes");
  const PcmFormat mono8{.channels = 1, .bits = 8, .rate = 11025};
  const PcmFormat stereo16{.channels = 2, .bits = 16, .rate = 44100};
  const Bytes s8 = tone(mono8, 999, 300), s16 = tone(stereo16, 500, 440), s = tone(kMono16, 700, 500);
  const Bytes odd = {1, 2, 3, 4, 5, 6, 7};
  Bytes truncated = riffWave({fmtChunk(kMono16), chunk("data", s)});
  truncated.resize(truncated.size() - 101);
  struct Shape {
    const char* what;
    Bytes file;
    PcmFormat format;
    Bytes samples;
  };
  const std::vector<Shape> shapes = {
      {"8-bit mono, an odd data size", waveFile(mono8, s8), mono8, s8},
      {"16-bit stereo", waveFile(stereo16, s16), stereo16, s16},
      {"18-byte fmt", riffWave({fmtChunk(kMono16, true), chunk("data", s)}), kMono16, s},
      {"LIST and fact before data",
       riffWave({fmtChunk(kMono16), chunk("LIST", Bytes(10, 'x')), chunk("fact", {0, 1, 0, 0}), chunk("data", s)}),
       kMono16, s},
      {"odd LIST with its pad byte", riffWave({fmtChunk(kMono16), chunk("LIST", odd), chunk("data", s)}), kMono16, s},
      {"odd LIST without a pad byte", riffWave({fmtChunk(kMono16), chunk("LIST", odd, false), chunk("data", s)}),
       kMono16, s},
      {"data claims more than the file holds", truncated, kMono16, Bytes(s.begin(), s.end() - 102)},
  };
  Script script;
  std::vector<int> handles;
  for (size_t i = 0; i < shapes.size(); ++i)
    handles.push_back(script.call("W@LOAD", {script.text(dir.write("s" + std::to_string(i) + ".wav", shapes[i].file))}));
  // Japanese names reach the file system as they are, whatever the machine's code page.
  const int japanese = script.call("W@LOAD", {script.text(dir.write("\x8c\xf8\x89\xca\x89\xb9.wav", waveFile(kMono16, s)))});
  Game game(script);
  game.runToEnd();
  ASSERT_TRUE(game.boxes().empty()) << game.boxes()[0].text;
  for (size_t i = 0; i < shapes.size(); ++i)
    expectBuffer(soundBuffer(game.slot(handles[i])), shapes[i].format, shapes[i].samples, shapes[i].what);
  expectBuffer(soundBuffer(game.slot(japanese)), kMono16, s, "Japanese name");
}

// Each refused load shows one box naming W@LOAD, leaves nothing behind and
// ends the program.
TEST(WaveLoad, RefusedFilesNameTheCommand) {
  SoundFolder dir("refused");
  const Bytes s = tone(kMono16, 100, 440);
  Bytes riffOnly = {'R', 'I', 'F', 'F'};
  Bytes cutInDataSize = riffWave({fmtChunk(kMono16), chunk("data", s)});
  cutInDataSize.resize(12 + 24 + 6);
  Bytes shortFmt = chunk("fmt ", Bytes(14, 1));
  Bytes compressed = fmtChunk(kMono16);
  compressed[8] = 0x55;   // MPEG layer 3
  Bytes pastTheEnd = chunk("LIST", Bytes(10, 0));
  pastTheEnd[5] = 0x10;   // 4106 bytes claimed
  Bytes notRiff = waveFile(kMono16, s), notWave = notRiff;
  notRiff[3] = 'X';
  notWave[8] = 'A';
  const std::vector<Refusal> refusals = {
      {"not RIFF", notRiff, 710},
      {"not WAVE", notWave, 710},
      {"a chunk before fmt", riffWave({chunk("LIST", {1, 2}), fmtChunk(kMono16), chunk("data", s)}), 710},
      {"no data chunk", riffWave({fmtChunk(kMono16), chunk("LIST", {1, 2})}), 710},
      {"a chunk past the end", riffWave({fmtChunk(kMono16), pastTheEnd, chunk("data", s)}), 710},
      {"fmt shorter than 16 bytes", riffWave({shortFmt, chunk("data", s)}), 710},
      {"only RIFF", riffOnly, 710},
      {"cut in the data size", cutInDataSize, 710},
      {"empty file", Bytes{}, 710},
      {"no samples at all", riffWave({fmtChunk(kMono16), chunk("data", {})}), 630},
      {"no channels", riffWave({fmtChunk({.channels = 0}), chunk("data", s)}), 630},
      {"a compressed format", riffWave({compressed, chunk("data", s)}), 630},
      {"missing file", std::nullopt, 680},
      {"unset name", std::nullopt, 660},
  };
  expectRefused(dir, "W@LOAD", refusals);
}

}  // namespace

namespace {

// The play cursor and state between the steps of one game: every S@WAIT
// hands the state over to the test, which looks at the buffer through
// DirectSound.
TEST(WavePlayback, PlayPauseStopAndRewind) {
  SoundFolder dir("playback");
  const PcmFormat f = kMono16;
  Script s;
  const int zero = s.integer(0), one = s.integer(1);
  const int h = s.call("W@LOAD", {s.text(dir.write("long.wav", toneWave(10.0)))});
  const int shot = s.call("W@LOAD", {s.text(dir.write("shot.wav", toneWave(0.5)))});
  s.wait();
  s.run("W@PLAY", {h, one});   // looping
  s.wait();
  s.run("W@PAUSE", {h});
  s.wait();
  s.run("W@PLAY", {h, zero});  // resumes, now once
  s.wait();
  s.run("W@PLAY", {h, zero});  // restarts
  s.wait();
  s.run("W@PAUSE", {h});
  s.run("W@STOP", {h});
  s.run("W@PLAY", {h, zero});  // from the start: the stop rewound it
  s.wait();
  s.run("W@STOP", {h});
  s.run("W@PLAY", {shot, zero});
  s.wait();
  s.run("W@PLAY", {shot, zero});  // after its end: rewound, plays again
  s.wait();
  Game game(s);
  const DWORD quarter = f.bytesPerSecond() * 10 / 4;

  ASSERT_TRUE(game.step());
  IDirectSoundBuffer* b = soundBuffer(game.slot(h));
  IDirectSoundBuffer* shotBuffer = soundBuffer(game.slot(shot));
  ASSERT_TRUE(b && shotBuffer);
  EXPECT_FALSE(playing(b));
  EXPECT_EQ(playCursor(b), 0u);

  ASSERT_TRUE(game.step());
  DWORD status = 0;
  b->GetStatus(&status);
  EXPECT_EQ(status & (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
  ASSERT_TRUE(waitFor([&] { return playCursor(b) > quarter; }, paced(10000)));

  ASSERT_TRUE(game.step());
  EXPECT_FALSE(playing(b));
  const DWORD paused = playCursor(b);
  EXPECT_GT(paused, quarter);
  drain();
  EXPECT_EQ(playCursor(b), paused);

  ASSERT_TRUE(game.step());
  b->GetStatus(&status);
  EXPECT_EQ(status & (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING), DSBSTATUS_PLAYING);
  EXPECT_GE(playCursor(b), paused);

  ASSERT_TRUE(game.step());
  EXPECT_TRUE(playing(b));
  EXPECT_LT(playCursor(b), paused);
  ASSERT_TRUE(waitFor([&] { return playCursor(b) > quarter; }, paced(10000)));

  ASSERT_TRUE(game.step());
  EXPECT_TRUE(playing(b));
  EXPECT_LT(playCursor(b), quarter);

  ASSERT_TRUE(game.step());
  EXPECT_FALSE(playing(b));
  EXPECT_EQ(playCursor(b), 0u);
  EXPECT_TRUE(playing(shotBuffer));
  ASSERT_TRUE(waitFor([&] { return !playing(shotBuffer); }, paced(10000)));

  ASSERT_TRUE(game.step());
  EXPECT_TRUE(playing(shotBuffer));
  game.runToEnd();
  EXPECT_TRUE(game.boxes().empty());
}

TEST(WavePlayback, TempoVolumeAndPanAreLimited) {
  SoundFolder dir("settings");
  Script s;
  const int h = s.call("W@LOAD", {s.text(dir.write("a.wav", toneWave(0.5)))});
  const int h44 = s.call("W@LOAD", {s.text(dir.write("b.wav", toneWave(0.5, {.rate = 44100})))});
  const int two = s.real(2.0f);
  struct Setting {
    std::function<void()> command;
    DWORD frequency;
    LONG volume, pan;
  };
  const std::vector<Setting> settings = {
      {[&] { s.run("W@TEMPO", {h, two}); }, 44100, 0, 0},
      {[&] { s.run("W@TEMPO", {h, two}); }, 88200, 0, 0},      // of the rate in force
      {[&] { s.run("W@TEMPO", {h, s.real(10.0f)}); }, 100000, 0, 0},
      {[&] { s.run("W@TEMPO", {h, s.real(0.0005f)}); }, 100000, 0, 0},   // 50 Hz: refused, kept
      {[&] { s.run("W@TEMPO", {h, s.real(-1.0f)}); }, 22050, 0, 0},
      {[&] { s.run("W@TEMPO", {h, two}); }, 44100, 0, 0},
      {[&] { s.run("W@TEMPO", {h, s.real(std::nanf(""))}); }, 22050, 0, 0},   // no number: the format's rate
      {[&] { s.run("W@VOL", {h, s.integer(20000)}); }, 22050, 0, 0},
      {[&] { s.run("W@VOL", {h, s.integer(-5)}); }, 22050, -10000, 0},
      {[&] { s.run("W@VOL", {h, s.integer(7500)}); }, 22050, -2500, 0},
      {[&] { s.run("W@PAN", {h, s.integer(12000)}); }, 22050, -2500, 10000},
      {[&] { s.run("W@PAN", {h, s.integer(-20000)}); }, 22050, -2500, -10000},
      {[&] { s.run("W@PAN", {h, s.integer(-300)}); }, 22050, -2500, -300},
  };
  for (const Setting& setting : settings) {
    setting.command();
    s.wait();
  }
  s.run("W@TEMPO", {h44, s.real(10.0f)});
  Game game(s);
  for (size_t i = 0; i < settings.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(game.step());
    IDirectSoundBuffer* b = soundBuffer(game.slot(h));
    DWORD frequency = 0;
    LONG volume = 1, pan = 1;
    b->GetFrequency(&frequency);
    b->GetVolume(&volume);
    b->GetPan(&pan);
    EXPECT_EQ(frequency, settings[i].frequency);
    EXPECT_EQ(volume, settings[i].volume);
    EXPECT_EQ(pan, settings[i].pan);
  }
  game.runToEnd();
  DWORD frequency = 0;
  soundBuffer(game.slot(h44))->GetFrequency(&frequency);
  EXPECT_EQ(frequency, 100000u);
  EXPECT_TRUE(game.boxes().empty());
}

}  // namespace
