// X-file models as a game loads and shows them: the frame hierarchy places
// each mesh, materials colour them, textures cover them (or, missing, are
// left out), and a skinned mesh follows its bones.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/scene3d/scene_support.h"

namespace qrt::test {
namespace {

// The skin templates are not among those the loader knows by itself.
const char kHeader[] = R"(xof 0302txt 0032
template XSkinMeshHeader {
 <3CF169CE-FF7C-44ab-93C0-F78F62D172E2>
 WORD nMaxSkinWeightsPerVertex;
 WORD nMaxSkinWeightsPerFace;
 WORD nBones;
}
template SkinWeights {
 <6F0D123B-BAD2-4167-A0D0-80224F25FABB>
 STRING transformNodeName;
 DWORD nWeights;
 array DWORD vertexIndices[nWeights];
 array FLOAT weights[nWeights];
 Matrix4x4 matrixOffset;
}
)";

// A 2 x 2 square facing the camera, without normals (the loader's mesh gets
// them computed), yellow, with an optional texture and skin.
std::string quad(const std::string& texture, const std::string& skin = "") {
  std::string material = "Material { 1.0;1.0;0.0;1.0;; 5.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;;";
  if (!texture.empty()) material += " TextureFilename { \"" + texture + "\"; }";
  material += " }";
  return "Mesh Quad { 4; -1.0;1.0;0.0;, 1.0;1.0;0.0;, 1.0;-1.0;0.0;, -1.0;-1.0;0.0;;\n"
         " 2; 3;0,1,2;, 3;0,2,3;;\n"
         " MeshTextureCoords { 4; 0.0;0.0;, 1.0;0.0;, 1.0;1.0;, 0.0;1.0;; }\n"
         " MeshMaterialList { 1; 2; 0,0;; " + material + " }\n" + skin + "}\n";
}

std::string frame(const std::string& name, float x, const std::string& inside) {
  return "Frame " + name + " { FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, " +
         std::to_string(x) + ",0.0,0.0,1.0;; }\n" + inside + "}\n";
}

std::string write(const std::string& dir, const std::string& name, const std::string& text) {
  const std::string path = dir + "\\" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// The model loaded, added and rendered; the screen as it looks then.
Pixels showModel(const std::string& path) {
  SceneScript s;
  const int model = s.call("G3@FRMLOAD", {s.text(path)});
  s.add(model);
  s.light();
  s.clear();
  s.render();
  s.wait();
  Game game(s);
  return renderedScreen(game);
}

// Where the model's coloured pixels are, as {left, right} columns.
std::pair<int, int> columns(const Pixels& p, uint32_t (*channel)(uint32_t)) {
  int left = 1000, right = -1;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (channel(p.rgb(x, y)) > 0x80) left = std::min(left, x), right = std::max(right, x);
  return {left, right};
}

uint32_t redOf(uint32_t c) { return c >> 16 & 0xFF; }
uint32_t greenOf(uint32_t c) { return c >> 8 & 0xFF; }

TEST(Model, FramesPlaceMeshesMaterialsColourThemTexturesCoverThem) {
  const std::string dir = scratchFolder("model");
  writeBmp(dir + "\\red.bmp", 8, 8, std::vector<uint32_t>(64, 0xFFFF0000));
  const std::string textured =
      write(dir, "textured.x", kHeader + frame("Root", 0, frame("Child", 2, quad("red.bmp"))));
  const std::string missing =
      write(dir, "missing.x", kHeader + frame("Root", 0, frame("Child", 2, quad("nowhere.bmp"))));
  SetCurrentDirectoryA(dir.c_str());   // texture names resolve against it

  const Pixels red = showModel(textured);
  const auto [left, right] = columns(red, redOf);
  // The child frame puts the square 1..3 units right of the centre.
  EXPECT_GT(left, 85);
  EXPECT_LT(right, 140);
  EXPECT_GT(right - left, 20);
  EXPECT_EQ(columns(red, greenOf).second, -1) << "red texture times yellow material is red";

  const Pixels green = showModel(missing);
  EXPECT_EQ(columns(green, greenOf), columns(red, redOf));
}

// Every vertex bound to the frame "Bone", two units left of the mesh's own
// frame: the square is drawn where the bone is.
TEST(Model, ASkinnedMeshFollowsItsBone) {
  const std::string dir = scratchFolder("skin");
  const std::string skin =
      " XSkinMeshHeader { 1; 1; 1; }\n"
      " SkinWeights { \"Bone\"; 4; 0,1,2,3; 1.0,1.0,1.0,1.0;"
      " 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,0.0,0.0,1.0;; }\n";
  const std::string path = write(dir, "skinned.x", kHeader + frame("Root", 0, frame("Bone", -2, "") + quad("", skin)));
  const Pixels p = showModel(path);
  const auto [left, right] = columns(p, greenOf);
  EXPECT_LT(right, 75);
  EXPECT_GT(right - left, 20);
}

TEST(Model, MissingOrBrokenFilesAre680AndNoNameIs660) {
  const std::string dir = scratchFolder("broken");
  const std::string broken = write(dir, "broken.x", "xof 0302txt 0032\nFrame Root { Mesh { 4; 1.0;");
  for (const std::string& name : {dir + "\\none.x", broken, std::string()}) {
    SceneScript s;
    s.call("G3@FRMLOAD", {name.empty() ? s.noString() : s.text(name)});
    Game game(s);
    game.runToEnd();
    ASSERT_EQ(game.boxCodes(), std::vector<int>{name.empty() ? 660 : 680}) << name;
    EXPECT_NE(game.boxes()[0].text.find("G3@FRMLOAD"), std::string::npos);
  }
}

}  // namespace
}  // namespace qrt::test
