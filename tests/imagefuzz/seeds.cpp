#include "tests/imagefuzz/seeds.h"

#include "tests/support/script.h"

namespace qrt::imagefuzz {

namespace {

using test::Script;
using namespace qrt::img;

std::vector<uint8_t> coreSeed() {
  Script s;
  img::ImageBuilder& b = s.builder();
  // A FUNC of an integer and a string, calling a command itself.
  Routine& f = b.func({Int, Str}, Int);
  f.command("LENG", kResultSlot, {f.param(1)});
  f.ret();

  const int hello = s.text("hello"), kana = s.text("\x83\x65\x83\x58\x83\x67");   // "テスト"
  const int three = s.integer(3), ten = s.integer(10), zero = s.integer(0);
  const int joined = s.slot(), same = s.slot(), length = s.slot();
  Routine& m = s.main();
  m.join(hello, kana, joined);
  m.compare(Equal, joined, hello, same);
  m.call(f, length, {three, joined});
  const int number = s.callText("STR", {length, ten});
  s.callText("MID", {joined, s.integer(2), three});
  s.call("ATOI", {number});
  s.callText("CHR", {s.integer(65)});
  s.callText("LSET", {hello, ten});
  s.call("ABS", {s.integer(-5)});
  s.call("SQRT", {s.real(2.0f)});
  s.call("POW", {s.real(2.0f), s.real(0.5f)});
  s.call("MAX", {three, ten});
  s.run("RANDSET", {three});
  s.call("RAND");
  s.call("SYSTIME");
  const int array = s.call("REDIM", {ten});
  s.run("REDIMFREE", {array});

  const int name = s.text("campaign.txt");
  const int file = s.call("F@OPEN", {name, s.integer(2), zero});
  s.run("F@WRITES", {file, joined});
  s.run("F@WRITE", {file, three});
  s.run("F@CLOSE", {file});
  const int again = s.call("F@OPEN", {name, s.integer(1), zero});
  s.call("F@LENG", {again});
  s.callText("F@READS", {again, s.integer(64)});
  s.run("F@CLOSE", {again});
  s.call("F@DELETE", {name});
  s.call("S@WINVERGET", {zero});
  s.callText("S@USERNAMEGET");
  s.callText("S@PARAM");
  s.call("S@KANJICHK", {kana});
  s.run("S@SLEEP", {s.integer(1)});
  return s.finish();
}

std::vector<uint8_t> mediaSeed() {
  Script s;
  const int zero = s.integer(0), one = s.integer(1);
  const int screen = s.call("G@SETUP", {s.integer(320), s.integer(240), s.integer(32), one});
  const int sheet = s.call("G@CHRLOAD", {s.text("demo_sprites.bmp"), s.text("")});
  const int made = s.call("G@CHRMAKE", {s.integer(32), s.integer(32), zero});
  s.run("G@CHRCLEAR", {made, s.integer(255), zero, zero});
  s.run("G@COLOR", {s.integer(255), s.integer(255), s.integer(255)});

  const int model = s.call("G3@FRMLOAD", {s.text("demo_model.x")});
  const int box = s.call("G3@FRMMAKEBOX", {s.real(1), s.real(1), s.real(1)});
  const int light = s.call("G3@LIGHTMAKE", {s.integer(4), s.real(0.9f), s.real(0.9f), s.real(0.8f)});
  s.run("G3@ADD", {model, zero});   // child, parent (0: the scene)
  s.run("G3@ADD", {box, model});
  s.run("G3@ADD", {light, zero});
  s.run("G3@CAMERASETEYE", {s.real(0), s.real(2), s.real(-6)});
  s.run("G3@FRMSETANI", {model, zero, one, s.real(1)});
  s.run("G3@FRMSETPOSAUTO", {box, s.real(0.1f), s.real(0), s.real(0)});
  const int blip = s.call("W@LOAD", {s.text("demo_blip.wav")});
  s.run("W@PLAY", {blip, zero});
  s.loop(4, [&] {
    s.run("G@CHRRECT", {screen, s.integer(10), s.integer(10), s.integer(73), s.integer(73)});
    s.run("G@CHRCOPY", {sheet, screen, zero, s.real(1), s.real(0)});
    s.run("G@CHRRECT", {screen, s.integer(90), s.integer(10), s.integer(121), s.integer(41)});
    s.run("G@CHRCOPY", {made, screen, zero, s.real(1), s.real(0.5f)});
    s.run("G@PRINT", {screen, s.integer(8), s.integer(200), s.text("\x83\x65\x83\x58\x83\x67")});
    s.run("G3@RENDER", {zero, zero});
    s.run("I@KEYGET");
    s.call("I@KEYBTN", {one});
    s.run("G@FLIP");
  });
  s.call("G3@FRMGETRAY", {model, s.real(0), s.real(0), s.real(-6), s.real(0), s.real(0), s.real(1)});
  s.run("W@RELEASE", {blip});
  s.run("G3@RELEASE", {light});
  s.run("G3@RELEASE", {box});
  s.run("G3@RELEASE", {model});
  s.run("G@RELEASE", {made});
  s.run("G@RELEASE", {sheet});
  return s.finish();
}

}  // namespace

std::vector<Seed> builtSeeds() { return {{"core", coreSeed()}, {"media", mediaSeed()}}; }

}  // namespace qrt::imagefuzz
