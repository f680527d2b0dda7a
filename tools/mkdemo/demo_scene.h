// The demo's 3D scene behind the sprites: lit, fogged primitives turning
// on their own steps, a small X-file model written beside the image, 3D
// text and a half-transparent board.
//
//   Scene scene = declareScene(m, text("demo_model.x"));   // once, after G@SETUP
//   ...per frame, after clearing the screen:
//   renderScene(m);
//   ...and after the input is read:
//   updateScene(m, scene, mouseX, mouseY);
//
// The house is animated: it bounces its roof and spins, cross-fading from
// one to the other every few seconds. A right click on it (a ray from the
// eye through the cursor) tints it red, another click takes the tint away.
#pragma once
#include <string>

#include "image/image_builder.h"

namespace qrt::demo {

struct Scene {
  int house;                 // the model's frame
  int frames;                // frames since the start, for the set changes
  int tinted;                // 1 while the house is tinted
  int rightWas;              // the right button in the frame before
  int rightNow, hit, ray[6], set, zero, one, fade, red[3], inherit;
  int nearX, halfPixel, k;   // constants of the cursor's ray
};

// Makes the lights, the fog and the frames and adds them to the scene;
// `modelName` is a string constant naming the X file.
Scene declareScene(img::Routine& m, int modelName);

// The frame's animation change and the right click's picking; `mouseX` and
// `mouseY` hold the cursor on the logical screen (mouse mode 2).
void updateScene(img::Routine& m, const Scene& s, int mouseX, int mouseY);

// G3@RENDER of the whole scene onto the screen.
void renderScene(img::Routine& m);

// The text of the model's X file: a little house, walls and a roof on a
// frame of their own, each with its material, and two animation sets.
std::string demoModel();

}  // namespace qrt::demo
