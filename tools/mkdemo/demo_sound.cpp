#include "tools/mkdemo/demo_sound.h"

#include <cmath>
#include <random>
#include <vector>

#include "tools/media/sound_files.h"

namespace qrt::demo {

namespace {

using namespace img;

const media::PcmFormat kFormat{.channels = 1, .bits = 16, .rate = 22050};
constexpr double kTau = 6.28318530717958647692;
constexpr int kTouchDistance = 26;   // between centres, on either axis

// A short rising chirp.
std::vector<float> blip() {
  std::vector<float> s(kFormat.rate / 12);
  double phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / s.size();
    phase += kTau * (880 + 660 * t) / kFormat.rate;
    s[i] = static_cast<float>(0.5 * std::sin(phase) * (1 - t));
  }
  return s;
}

// A burst of noise over a falling thump.
std::vector<float> crash() {
  std::vector<float> s(kFormat.rate / 3);
  std::minstd_rand noise(7);
  std::uniform_real_distribution<double> spread(-1, 1);
  double phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kFormat.rate;
    phase += kTau * (140 - 200 * t) / kFormat.rate;
    s[i] = static_cast<float>(std::exp(-9 * t) * (0.45 * spread(noise) + 0.5 * std::sin(phase)));
  }
  return s;
}

// Eight seconds of arpeggios over a bass line, in four chords.
std::vector<float> tune() {
  const int chords[4][3] = {{60, 64, 67}, {57, 60, 64}, {53, 57, 60}, {55, 59, 62}};
  const double step = 0.125;   // seconds a note
  std::vector<float> s(static_cast<size_t>(8 * kFormat.rate));
  auto hz = [](int key) { return 440.0 * std::pow(2.0, (key - 69) / 12.0); };
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kFormat.rate;
    const int n = static_cast<int>(t / step), chord = n / 16 % 4;
    const int key = chords[chord][n % 3] + 12 * (n % 6 / 3);
    const double inNote = t - n * step;
    const double lead = std::sin(kTau * hz(key) * t) * std::exp(-10 * inNote);
    const double bass = std::sin(kTau * hz(chords[chord][0] - 24) * t);
    s[i] = static_cast<float>(0.3 * lead + 0.2 * bass);
  }
  return s;
}

}  // namespace

void writeDemoSounds(const std::filesystem::path& folder) {
  writeFile(folder / "demo_blip.wav", media::waveFile(kFormat, media::pcmFrom(kFormat, blip())));
  writeFile(folder / "demo_crash.wav", media::waveFile(kFormat, media::pcmFrom(kFormat, crash())));
  writeFile(folder / "demo_tune.wav", media::waveFile(kFormat, media::pcmFrom(kFormat, tune())));
}

Sounds loadSounds(Routine& m) {
  Sounds s{};
  s.blip = m.slot();
  s.crash = m.slot();
  s.tune = m.slot();
  for (int& w : s.wasHeld) w = m.slot();
  s.touching = m.slot();
  s.wasTouching = m.slot();
  s.volume = m.slot();
  s.pan = m.slot();
  s.left = m.slot();
  s.zero = m.slot();
  m.native([&](X86& x) {
    for (int w : s.wasHeld) x.storeImm(w, 0);
    x.storeImm(s.touching, 0);
    x.storeImm(s.wasTouching, 0);
    x.storeImm(s.zero, 0);
    x.storeImm(s.volume, 7000);   // the tune a little under the effects
    x.next();
  });
  m.command("W@LOAD", s.blip, {m.constant("demo_blip.wav")});
  m.command("W@LOAD", s.crash, {m.constant("demo_crash.wav")});
  m.command("M@LOAD", s.tune, {m.constant("demo_tune.wav")});
  m.command("M@VOL", 0, {s.tune, s.volume});
  m.command("M@PLAY", 0, {s.tune});
  return s;
}

void startTouches(X86& x, const Sounds& s) { x.storeImm(s.touching, 0); }

void noteTouch(X86& x, const Sounds& s, const Player& p, int ballX, int ballY) {
  Label apart = x.label();
  auto near = [&](int ball, int player) {
    // |ball - (player + 16)| < distance
    x.load(EAX, ball);
    x.subSlot(EAX, player);
    x.subImm(EAX, 16);
    x.cmpImm(EAX, kTouchDistance);
    x.jcc(Cond::GE, apart);
    x.cmpImm(EAX, -kTouchDistance);
    x.jcc(Cond::LE, apart);
  };
  near(ballX, p.x);
  near(ballY, p.y);
  x.storeImm(s.touching, 1);
  x.bind(apart);
}

void playSounds(Routine& m, const Sounds& s, const Player& p) {
  Label noBlip = m.label(), noCrash = m.label(), tunePlays = m.label();
  // The blip: an arrow key that is down now and was not last frame.
  m.native([&](X86& x) {
    x.movImm(ECX, 0);
    for (int i = 0; i < 4; ++i) {
      Label same = x.label();
      x.load(EAX, p.held[i]);
      x.cmpImm(EAX, 0);
      x.jcc(Cond::E, same);
      x.load(EDX, s.wasHeld[i]);
      x.cmpImm(EDX, 0);
      x.jcc(Cond::NE, same);
      x.movImm(ECX, 1);
      x.bind(same);
      x.store(s.wasHeld[i], EAX);
    }
    Label none = x.label();
    x.cmpImm(ECX, 0);
    x.jcc(Cond::E, none);
    x.next();
    x.bind(none);
    x.next(noBlip);
  });
  m.command("W@PLAY", 0, {s.blip, s.zero});
  m.bind(noBlip);

  // The crash: the rocket on a ball, and not last frame; panned from -3040
  // at the left edge to 3040 at the right.
  m.native([&](X86& x) {
    Label none = x.label();
    x.load(EAX, s.touching);
    x.load(ECX, s.wasTouching);
    x.store(s.wasTouching, EAX);
    x.cmpImm(EAX, 0);
    x.jcc(Cond::E, none);
    x.cmpImm(ECX, 0);
    x.jcc(Cond::NE, none);
    x.load(EAX, p.x);
    x.subImm(EAX, 304);
    x.imulImm(EAX, 10);
    x.store(s.pan, EAX);
    x.next();
    x.bind(none);
    x.next(noCrash);
  });
  m.command("W@PAN", 0, {s.crash, s.pan});
  m.command("W@PLAY", 0, {s.crash, s.zero});
  m.bind(noCrash);

  // The tune again from its start once nothing of it is left.
  m.command("M@RTIME", s.left, {s.tune});
  m.native([&](X86& x) {
    Label left = x.label();
    x.load(EAX, s.left);
    x.cmpImm(EAX, 0);
    x.jcc(Cond::NE, left);
    x.next();
    x.bind(left);
    x.next(tunePlays);
  });
  m.command("M@PLAY", 0, {s.tune});
  m.bind(tunePlays);
}

}  // namespace qrt::demo
