// The demo's sounds: a blip when an arrow key goes down, a crash when the
// rocket runs into a ball (panned to where it happens), and a tune in the
// background that starts again whenever it has played to its end.
//
//   writeDemoSounds(folder);                         // mkdemo: the files
//   Sounds s = loadSounds(m);                        // once, before the loop
//   ...per frame, in the ball loop's native block:
//   startTouches(x, s);   (before the first ball)
//   noteTouch(x, s, player, ballX, ballY);
//   ...after the balls:
//   playSounds(m, s, player);
#pragma once
#include <filesystem>

#include "image/image_builder.h"
#include "tools/mkdemo/demo_input.h"

namespace qrt::demo {

struct Sounds {
  int blip, crash, tune;            // handles
  int wasHeld[4];                   // the arrow keys last frame
  int touching, wasTouching;        // the rocket on a ball, this frame and last
  int volume, pan, left, zero;      // scratch and constants
};

// demo_blip.wav, demo_crash.wav and demo_tune.wav into `folder`.
void writeDemoSounds(const std::filesystem::path& folder);

// W@LOAD, M@LOAD and M@PLAY of the three files.
Sounds loadSounds(img::Routine& m);

// The rocket's centre is its top left + 16; a ball's centre is given.
void startTouches(img::X86& x, const Sounds& s);
void noteTouch(img::X86& x, const Sounds& s, const Player& p, int ballX, int ballY);

// The frame's sounds: the blip on a new key, the crash on a new touch, the
// tune again once M@RTIME says it is over.
void playSounds(img::Routine& m, const Sounds& s, const Player& p);

}  // namespace qrt::demo
