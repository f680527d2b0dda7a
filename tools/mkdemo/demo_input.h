// The demo's controls: the part of each frame that reads the keyboard and
// the mouse and moves the player's sprite.
//
//   Player p = declarePlayer(m, 320 - 16, 240 - 16);   // once, before the loop
//   ...per frame:
//   movePlayer(m, p, {.width = 640, .height = 480, .spriteSize = 32});
//   ...draw the sprite at p.x, p.y
//
// Arrow keys move the sprite four pixels a frame; while the left mouse
// button is held the sprite follows the cursor (mouse mode 2: positions on
// the logical screen, whatever the window's size). The sprite stays on the
// screen.
#pragma once

#include "image/image_builder.h"

namespace qrt::demo {

struct Player {
  int x, y;              // sprite's top left, in logical pixels
  int keys[4];           // DIK_LEFT, DIK_RIGHT, DIK_UP, DIK_DOWN
  int held[4];           // I@KEYBTN of each, this frame
  int mouseMode, axisX, axisY, leftButton;
  int mouseX, mouseY, pressed;
};

struct Playfield {
  int width, height;     // logical screen
  int spriteSize;
  int speed = 4;
};

// Frame slots and their start values.
Player declarePlayer(img::Routine& m, int startX, int startY);

// The frame's input step: I@KEYGET, four I@KEYBTN, I@MSGET 2, I@MSPOS,
// I@MSBTN, then the move in native code.
void movePlayer(img::Routine& m, const Player& p, const Playfield& field);

}  // namespace qrt::demo
