// Character surfaces as a game uses them: made and cleared, loaded with a
// colour key, shared by full path, saved and loaded back under a key, and
// refused when the handle is not a live surface.
#include <gtest/gtest.h>

#include "files/cipher.h"
#include "tests/gfx2d/gfx_support.h"

namespace qrt::test {
namespace {

// A 4x4 picture: opaque black in the top-left corner, red elsewhere.
std::vector<uint32_t> cornerPicture() {
  std::vector<uint32_t> p(16, 0xFFFF0000);
  p[0] = 0xFF000000;
  return p;
}

TEST(Surfaces, ClearTakesTheLowEightBitsOfEachComponent) {
  GfxScript s;
  int a = s.call("G@CHRMAKE", {s.integer(20), s.integer(10), s.integer(0)});
  int b = s.call("G@CHRMAKE", {s.integer(20), s.integer(10), s.integer(0)});
  s.call("G@CHRCLEAR", {a, s.integer(0x112), s.integer(0x234), s.integer(0x356)});
  s.call("G@CHRCLEAR", {b, s.integer(256), s.integer(0), s.integer(0)});
  s.call("G@CHRCLEAR", {s.screen, s.integer(1), s.integer(2), s.integer(3)});
  s.call("S@WAIT");
  Game run(s);
  run.step();
  run.step();
  EXPECT_TRUE(run.boxCodes().empty());
  EXPECT_EQ(surfacePixels(run.integer(a)).at(19, 9), 0xFF123456u);
  EXPECT_EQ(surfacePixels(run.integer(b)).at(0, 0), 0xFF000000u);
  EXPECT_EQ(screenPixels().at(100, 100), 0xFF010203u);
  SurfaceRecord* made = findSurface(&displayState(), run.integer(a));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->origin, kOriginMade);
  EXPECT_EQ(made->colourDepth, 32);
  EXPECT_EQ(made->right, 19);
  EXPECT_EQ(made->bottom, 9);
  run.runToEnd();
}

TEST(Surfaces, ModulationColourIsClampedAndTheBlendFlagKept) {
  GfxScript s;
  int a = s.call("G@CHRMAKE", {s.integer(4), s.integer(4), s.integer(7)});
  s.call("G@CHRCOLORA", {a, s.integer(300), s.integer(-5), s.integer(16), s.integer(128)});
  Game run(s);
  run.runToEnd();
  SurfaceRecord* made = findSurface(&displayState(), run.integer(a));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->modulation, 0x80FF0010u);
  EXPECT_EQ(made->blend, 1);
}

TEST(Surfaces, LoadMakesTheColourKeyTransparent) {
  const std::string dir = scratchFolder("ckey");
  writeBmp(dir + "\\a.bmp", 4, 4, cornerPicture());
  writeBmp(dir + "\\b.bmp", 4, 4, cornerPicture());
  writeBmp(dir + "\\c.bmp", 4, 4, cornerPicture());
  GfxScript s;
  int keyed = s.call("G@CHRLOAD", {s.text(dir + "\\a.bmp"), s.noString()});
  s.call("G@CHRLOADCKEY", {s.integer(255), s.integer(0), s.integer(0)});
  int redKey = s.call("G@CHRLOAD", {s.text(dir + "\\b.bmp"), s.text("")});
  s.call("G@CHRLOADCKEY", {s.integer(-1), s.integer(0), s.integer(0)});
  int plain = s.call("G@CHRLOAD", {s.text(dir + "\\c.bmp"), s.noString()});
  Game run(s);
  run.runToEnd();
  ASSERT_TRUE(run.boxCodes().empty());
  DisplayState& d = displayState();
  EXPECT_EQ(surfacePixels(run.integer(keyed)).at(0, 0), 0x00000000u);
  EXPECT_EQ(surfacePixels(run.integer(keyed)).at(1, 0), 0xFFFF0000u);
  EXPECT_EQ(surfacePixels(run.integer(redKey)).at(0, 0), 0xFF000000u);
  EXPECT_EQ(surfacePixels(run.integer(redKey)).at(1, 0), 0x00000000u);
  EXPECT_EQ(surfacePixels(run.integer(plain)).at(0, 0), 0xFF000000u);
  EXPECT_EQ(findSurface(&d, run.integer(keyed))->blend, 1);
  EXPECT_EQ(findSurface(&d, run.integer(plain))->blend, 0);
  SurfaceRecord* k = findSurface(&d, run.integer(keyed));
  EXPECT_EQ(k->origin, kOriginLoaded);
  EXPECT_EQ(k->width, 4);
  EXPECT_EQ(k->colourDepth, 24);
  EXPECT_EQ(d.loadColourKey, 0u);
}

TEST(Surfaces, TexturesAreSharedByFullPathAndLiveWhileUsed) {
  const std::string dir = scratchFolder("share");
  CreateDirectoryA((dir + "\\sub").c_str(), nullptr);
  writeBmp(dir + "\\Pic.bmp", 4, 4, cornerPicture());
  GfxScript s;
  int first = s.call("G@CHRLOAD", {s.text(dir + "\\Pic.bmp"), s.noString()});
  int second = s.call("G@CHRLOAD", {s.text(dir + "\\sub\\..\\Pic.bmp"), s.noString()});
  int otherCase = s.call("G@CHRLOAD", {s.text(dir + "\\PIC.bmp"), s.noString()});
  Game run(s);
  run.runToEnd();
  ASSERT_TRUE(run.boxCodes().empty());
  DisplayState& d = displayState();
  SurfaceRecord* a = findSurface(&d, run.integer(first));
  SurfaceRecord* b = findSurface(&d, run.integer(second));
  SurfaceRecord* c = findSurface(&d, run.integer(otherCase));
  ASSERT_TRUE(a && b && c);
  EXPECT_NE(a, b);
  EXPECT_EQ(a->texture, b->texture);
  EXPECT_EQ(a->texture->useCount, 2);
  EXPECT_NE(c->texture, a->texture);   // another spelling is another texture
  EXPECT_EQ(c->texture->useCount, 1);
  TextureRecord* shared = a->texture;
  const uint32_t sharedHandle = handleOf(shared);

  // Releasing one keeps the picture for the other.
  releaseSurface(d, a);
  ASSERT_EQ(findTexture(&d, sharedHandle), shared);
  EXPECT_EQ(shared->useCount, 1);
  EXPECT_EQ(surfacePixels(run.integer(second)).at(1, 1), 0xFFFF0000u);
  releaseSurface(d, b);
  EXPECT_EQ(findTexture(&d, sharedHandle), nullptr);
}

TEST(Surfaces, ReleasedAndMadeUpHandlesAre660NotACrash) {
  {
    GfxScript s;
    int a = s.call("G@CHRMAKE", {s.integer(4), s.integer(4), s.integer(0)});
    int marker = s.slot();
    s.call("G@RELEASE", {a});
    // A new surface of the same size may well get the released one's memory;
    // it never gets its number.
    int b = s.call("G@CHRMAKE", {s.integer(4), s.integer(4), s.integer(0)});
    s.mark(marker, 1);
    // The failure ends the program: one bad handle per program.
    s.call("G@CHRRECT", {a, s.integer(0), s.integer(0), s.integer(1), s.integer(1)});
    s.mark(marker, 2);
    Game run(s);
    run.runToEnd();
    EXPECT_EQ(run.integer(marker), 1);
    EXPECT_NE(run.slot(b), run.slot(a));
    EXPECT_GT(run.slot(b), 0xFFFFu);
    ASSERT_EQ(run.boxCodes(), std::vector<int>{660});
    EXPECT_NE(run.boxes()[0].text.find("G@CHRRECT"), std::string::npos);
  }

  for (const char* command : {"G@CHRCLEAR", "G@CHRCOLORA", "G@RELEASE", "G@PRINT", "G@CHRSAVE"}) {
    SCOPED_TRACE(command);
    GfxScript t;
    int junk = t.integer(0x12345678);
    std::vector<int> args{junk};
    if (std::string(command) == "G@CHRCLEAR") args = {junk, t.integer(0), t.integer(0), t.integer(0)};
    if (std::string(command) == "G@CHRCOLORA") args = {junk, t.integer(0), t.integer(0), t.integer(0), t.integer(0)};
    if (std::string(command) == "G@PRINT") args = {junk, t.integer(0), t.integer(0), t.text("a")};
    if (std::string(command) == "G@CHRSAVE") args = {junk, t.text("x.bmp"), t.noString(), t.integer(0)};
    t.call(command, args);
    Game r(t);
    r.runToEnd();
    EXPECT_EQ(r.boxCodes(), std::vector<int>{660});
  }
}

TEST(Surfaces, ReleasingTheScreenSurfaceKeepsItsHandleUsable) {
  GfxScript s;
  s.call("G@RELEASE", {s.screen});
  int again = s.call("G@SETUP", {s.integer(320), s.integer(240), s.integer(32), s.integer(1)});
  s.call("G@CHRCLEAR", {again, s.integer(9), s.integer(9), s.integer(9)});
  s.call("S@WAIT");
  Game run(s);
  run.step();
  run.step();
  run.step();
  EXPECT_TRUE(run.boxCodes().empty());
  EXPECT_EQ(run.integer(again), run.integer(s.screen));
  EXPECT_EQ(screenPixels().at(5, 5), 0xFF090909u);
  run.runToEnd();
}

TEST(Surfaces, LoadFailuresNameTheirCause) {
  {
    GfxScript s;
    s.call("G@CHRLOAD", {s.text(""), s.noString()});
    Game run(s);
    run.runToEnd();
    EXPECT_EQ(run.boxCodes(), std::vector<int>{660});
  }
  {
    GfxScript s;
    s.call("G@CHRLOAD", {s.text(scratchFolder("missing") + "\\none.bmp"), s.noString()});
    Game run(s);
    run.runToEnd();
    ASSERT_EQ(run.boxCodes(), std::vector<int>{680});
    EXPECT_NE(run.boxes()[0].text.find("G@CHRLOAD"), std::string::npos);
  }
  {
    const std::string dir = scratchFolder("notimage");
    writeBytes(dir + "\\junk.bmp", std::vector<uint8_t>(100, 0x41));
    GfxScript s;
    s.call("G@CHRLOAD", {s.text(dir + "\\junk.bmp"), s.noString()});
    Game run(s);
    run.runToEnd();
    EXPECT_EQ(run.boxCodes(), std::vector<int>{680});
  }
}

// Save, then load the file back; with a key the file is enciphered in whole
// blocks and its last size mod 8 bytes stay plain.
TEST(Surfaces, SaveAndLoadRoundTripWithAndWithoutAKey) {
  const std::string dir = scratchFolder("save");
  GfxScript s;
  int art = s.call("G@CHRMAKE", {s.integer(10), s.integer(6), s.integer(0)});
  s.call("G@CHRCLEAR", {art, s.integer(10), s.integer(200), s.integer(30)});
  s.call("G@CHRSAVE", {art, s.text(dir + "\\plain.bmp"), s.noString(), s.integer(0)});
  s.call("G@CHRSAVE", {art, s.text(dir + "\\keyed.bmp"), s.text("secretkey9"), s.integer(0)});
  s.call("G@CHRSAVE", {art, s.text(dir + "\\keyed.png"), s.text("secretke"), s.integer(3)});
  s.call("G@CHRLOADCKEY", {s.integer(-1), s.integer(-1), s.integer(-1)});
  int plain = s.call("G@CHRLOAD", {s.text(dir + "\\plain.bmp"), s.noString()});
  int keyed = s.call("G@CHRLOAD", {s.text(dir + "\\keyed.bmp"), s.text("secretke")});
  int png = s.call("G@CHRLOAD", {s.text(dir + "\\keyed.png"), s.text("secretkeyXYZ")});
  Game run(s);
  run.runToEnd();
  ASSERT_TRUE(run.boxCodes().empty());
  for (int h : {plain, keyed, png}) {
    Pixels p = surfacePixels(run.integer(h));
    ASSERT_EQ(p.width, 10);
    ASSERT_EQ(p.height, 6);   // only the image area, not the padded texture
    EXPECT_EQ(p.rgb(9, 5), 0x0AC81Eu);
  }

  // The enciphered file is the plain one in whole blocks, its tail left plain.
  std::vector<uint8_t> clear = readBytes(dir + "\\plain.bmp");
  std::vector<uint8_t> sealed = readBytes(dir + "\\keyed.bmp");
  ASSERT_EQ(clear.size(), sealed.size());
  ASSERT_NE(clear.size() % 8, 0u) << "pick a size that leaves a tail";
  const size_t whole = clear.size() / 8 * 8;
  EXPECT_TRUE(std::equal(clear.begin() + whole, clear.end(), sealed.begin() + whole));
  EXPECT_FALSE(std::equal(clear.begin(), clear.begin() + 8, sealed.begin()));
  ASSERT_TRUE(desDecrypt(sealed.data(), whole, "secretke"));
  EXPECT_EQ(sealed, clear);
}

TEST(Surfaces, WrongKeyFailsTheLoadAs680) {
  const std::string dir = scratchFolder("wrongkey");
  GfxScript s;
  int art = s.call("G@CHRMAKE", {s.integer(8), s.integer(8), s.integer(0)});
  s.call("G@CHRSAVE", {art, s.text(dir + "\\k.png"), s.text("right"), s.integer(3)});
  s.call("G@CHRLOAD", {s.text(dir + "\\k.png"), s.text("wrong")});
  Game run(s);
  run.runToEnd();
  EXPECT_EQ(run.boxCodes(), std::vector<int>{680});
}

TEST(Surfaces, SaveFormatOutsideZeroToEightIs660) {
  for (int format : {9, -1}) {
    GfxScript s;
    s.call("G@CHRSAVE", {s.screen, s.text("x.bmp"), s.noString(), s.integer(format)});
    Game run(s);
    run.runToEnd();
    EXPECT_EQ(run.boxCodes(), std::vector<int>{660}) << format;
  }
}

// Every file format number writes something that loads back as the same
// picture, whether the platform's image library or our own codec wrote it.
TEST(Surfaces, EveryFileFormatRoundTrips) {
  const std::string dir = scratchFolder("formats");
  GfxScript s;
  int art = s.call("G@CHRMAKE", {s.integer(12), s.integer(5), s.integer(0)});
  s.call("G@CHRCLEAR", {art, s.integer(255), s.integer(128), s.integer(0)});
  s.call("G@CHRLOADCKEY", {s.integer(-1), s.integer(0), s.integer(0)});
  std::vector<int> loaded;
  for (int f = 0; f <= 8; ++f) {
    std::string name = dir + "\\f" + std::to_string(f);
    s.call("G@CHRSAVE", {art, s.text(name), s.noString(), s.integer(f)});
    loaded.push_back(s.call("G@CHRLOAD", {s.text(name), s.noString()}));
  }
  Game run(s);
  run.runToEnd();
  ASSERT_TRUE(run.boxCodes().empty());
  for (int f = 0; f <= 8; ++f) {
    SCOPED_TRACE(f);
    Pixels p = surfacePixels(run.integer(loaded[f]));
    ASSERT_EQ(p.width, 12);
    ASSERT_EQ(p.height, 5);
    EXPECT_TRUE(closeTo(p.at(11, 4) | 0xFF000000, 0xFFFF8000, f == 1 ? 8 : 2)) << std::hex << p.at(11, 4);
  }
}

}  // namespace
}  // namespace qrt::test
