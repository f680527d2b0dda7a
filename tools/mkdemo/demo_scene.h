// The demo's 3D scene behind the sprites: lit, fogged primitives turning
// on their own steps, a small X-file model written beside the image, 3D
// text and a half-transparent board.
//
//   declareScene(m, text("demo_model.x"));   // once, after G@SETUP
//   ...per frame, after clearing the screen:
//   renderScene(m);
#pragma once
#include <string>

#include "tools/imagebuilder/image_builder.h"

namespace qrt::demo {

// Makes the lights, the fog and the frames and adds them to the scene;
// `modelName` is a string constant naming the X file.
void declareScene(img::Routine& m, int modelName);

// G3@RENDER of the whole scene onto the screen.
void renderScene(img::Routine& m);

// The text of the model's X file: a little house, walls and a roof on a
// frame of their own, each with its material.
std::string demoModel();

}  // namespace qrt::demo
