// Writes the seed corpora of the fuzz targets (corpus/<target>/) from the
// project's own writers: program images from the image builder, waves and
// MIDI from the sound-file writer, images from our encoders, bitmaps in
// each form from the bitmap writer. Run it again
// when a format grows; the seeds are kept in the tree.
//
//   build-fuzz/make_seeds tests/fuzz/corpus
//
// fuzz_image_check/demo.qim is the demo game's image, as qrtc compiles it
// (tools/qrtc examples/demo/demo.qrs -o tests/fuzz/corpus/fuzz_image_check/demo.qim).
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx2d/image_codecs.h"
#include "net/wire.h"
#include "image/image_builder.h"
#include "tools/media/bmp_files.h"
#include "tools/media/sound_files.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

fs::path root;

void put(const std::string& target, const std::string& name, const Bytes& bytes) {
  fs::create_directories(root / target);
  qrt::img::writeFile(root / target / name, bytes);
}

// The descriptor target reads from the image base, without the header; the
// checker reads whole files.
Bytes imageOf(qrt::img::ImageBuilder& b, const std::string& name) {
  Bytes file = b.build();
  put("fuzz_image_check", name, file);
  return Bytes(file.begin() + qrt::img::kHeaderSize, file.end());
}

void images() {
  using namespace qrt::img;
  {
    ImageBuilder b;
    auto& m = b.main();
    int s = m.slot();
    m.store(s, m.constant("hello"));
    m.end();
    put("fuzz_routines", "constants.img", imageOf(b, "constants.qim"));
  }
  {
    ImageBuilder b;
    auto& add = b.func({Int, Int, Str}, Int);
    add.constant("\x93\xfa\x96\x7b");   // cp932 text
    add.ret();
    auto& m = b.main();
    int a = m.slot(), c = m.slot(), r = m.slot();
    m.call(add, r, {a, c, a});
    int ex = b.exfunc("tunes.dll", "Play", Int, {Int, Str});
    m.exfuncCall(ex, r, {a, c});
    m.command("G@SETUP", 0, {a, c, a, c});
    m.end();
    put("fuzz_routines", "calls.img", imageOf(b, "calls.qim"));
  }
}

void waves() {
  using namespace qrt::media;
  PcmFormat mono{.channels = 1, .bits = 8, .rate = 8000};
  PcmFormat stereo{.channels = 2, .bits = 16, .rate = 22050};
  put("fuzz_riff", "mono8.wav", waveFile(mono, tone(mono, 16, 440)));
  put("fuzz_riff", "stereo16.wav", waveFile(stereo, tone(stereo, 8, 440)));
  put("fuzz_riff", "chunks.wav",
      riffWave({fmtChunk(stereo, true), chunk("LIST", {1, 2, 3}), chunk("fact", {4, 0, 0, 0}, false),
                chunk("data", tone(stereo, 4, 220))}));
  Note notes[] = {{60, 4}, {0, 2}, {64, 4}};
  put("fuzz_riff", "tune.mid", midiFile(notes));
}

void pictures() {
  using qrt::ImageFileFormat;
  qrt::ArgbImage image{.width = 3, .height = 2, .pixels = {0xff000000, 0xffff0000, 0x8000ff00, 0xff0000ff,
                                                          0x00ffffff, 0xff808080}};
  const struct {
    ImageFileFormat format;
    const char* name;
  } formats[] = {{ImageFileFormat::Tga, "small.tga"},
                 {ImageFileFormat::Dds, "small.dds"},
                 {ImageFileFormat::Ppm, "small.ppm"},
                 {ImageFileFormat::Hdr, "small.hdr"},
                 {ImageFileFormat::Pfm, "small.pfm"}};
  for (const auto& f : formats) {
    Bytes bytes;
    if (!qrt::encodeImage(f.format, image, bytes)) {
      std::fprintf(stderr, "make_seeds: %s not written\n", f.name);
      continue;
    }
    put("fuzz_image_codecs", f.name, bytes);
  }
  const char grey[] = "P5\n# grey\n2 2\n255\n\x01\x80\xff\x00";
  put("fuzz_image_codecs", "grey.pgm", Bytes(grey, grey + sizeof grey - 1));
}

// One bitmap of each form the reader takes: 5 by 3, so that rows are
// padded, with holes for the run-length codes' deltas and line ends.
void bitmaps() {
  using qrt::media::BmpCoding;
  using qrt::media::BmpForm;
  const std::vector<uint32_t> colours = {0xFF000000, 0x80FF0000, 0xFF00FF00, 0x000000FF, 0xFFFFFFFF,
                                         0x40123456, 0xC0FEDCBA, 0xFF808080};
  const std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x808080};
  const uint32_t hole = qrt::media::kBmpHole;
  const std::vector<uint32_t> indices = {1, 1, 1, 1, 2, hole, hole, 3, 4, 5, 0, 6, 7, hole, hole};
  const struct {
    const char* name;
    BmpForm form;
  } forms[] = {
      {"core24.bmp", {.headerSize = 12, .bits = 24}},
      {"core8.bmp", {.headerSize = 12, .bits = 8, .palette = palette}},
      {"pal1.bmp", {.bits = 1, .palette = {0xFF8000, 0x0080FF}}},
      {"pal2.bmp", {.bits = 2, .palette = {0x000000, 0xFF0000, 0x00FF00}}},
      {"pal4short.bmp", {.headerSize = 52, .bits = 4, .palette = palette}},
      {"pal8.bmp", {.headerSize = 124, .bits = 8, .palette = palette}},
      {"rle8.bmp", {.bits = 8, .coding = BmpCoding::Rle8, .palette = palette}},
      {"rle4.bmp", {.headerSize = 108, .bits = 4, .coding = BmpCoding::Rle4, .palette = palette}},
      {"rgb16.bmp", {.bits = 16}},
      {"fields565.bmp", {.bits = 16, .coding = BmpCoding::BitFields, .masks = {0xF800, 0x07E0, 0x001F, 0}}},
      {"fields4444.bmp", {.headerSize = 56, .bits = 16, .coding = BmpCoding::BitFields,
                          .masks = {0x0F00, 0x00F0, 0x000F, 0xF000}}},
      {"rgb24topdown.bmp", {.bits = 24, .topDown = true}},
      {"rgb32.bmp", {.bits = 32}},
      {"fields32odd.bmp", {.bits = 32, .coding = BmpCoding::BitFields,
                           .masks = {0x00000FF0, 0x00FF0000, 0xFF000000, 0}}},
      {"v4_2101010.bmp", {.headerSize = 108, .bits = 32, .coding = BmpCoding::BitFields,
                          .masks = {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}}},
      {"v5argb.bmp", {.headerSize = 124, .bits = 32, .coding = BmpCoding::BitFields,
                      .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, .topDown = true}},
      {"alphafields.bmp", {.bits = 32, .coding = BmpCoding::AlphaBitFields,
                           .masks = {0xFF, 0xFF00, 0xFF0000, 0xFF000000}}},
  };
  for (const auto& f : forms) {
    std::vector<uint32_t> pixels;
    const bool runs = f.form.coding == BmpCoding::Rle8 || f.form.coding == BmpCoding::Rle4;
    for (uint32_t i : indices) {
      if (i == hole) pixels.push_back(runs ? hole : 0);
      else pixels.push_back(f.form.bits <= 8 ? i % (1u << f.form.bits) : colours[i]);
    }
    put("fuzz_image_codecs", f.name, qrt::media::bmpFile(f.form, 5, 3, pixels));
  }
}

void animations() {
  const char* sets = R"(xof 0302txt 0032
AnimTicksPerSecond { 10; }
Frame Root { Frame Body { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; } } }
AnimationSet Slide {
 Animation { {Body} AnimationKey { 2; 2; 0;3;0.0,0.0,0.0;;, 10;3;4.0,0.0,0.0;;; } }
}
AnimationSet Turn {
 Animation { {Body}
  AnimationKey { 0; 2; 0;4;1.0,0.0,0.0,0.0;;, 20;4;0.0,0.0,1.0,0.0;;; }
  AnimationKey { 1; 2; 0;3;1,1,1;;, 20;3;2,2,2;;; }
  AnimationOptions { 1; 0; }
 }
 Animation { {Root} AnimationKey { 4; 1; 5;16;1,0,0,0,0,1,0,0,0,0,1,0,3,2,1,1;;; } }
}
)";
  put("fuzz_keyframes", "sets.x", Bytes(sets, sets + std::char_traits<char>::length(sets)));
}

// A token, how the stream arrives, then two messages.
void messages() {
  const qrt::wire::Token token{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  Bytes stream(token.begin(), token.end());
  stream.push_back(3);
  for (int round = 0; round < 2; ++round) {
    static qrt::wire::Outbox out;
    out = qrt::wire::Outbox();
    out.pushInt(7);
    out.pushInt(-1);
    out.pushText("hello");
    if (round) out.pushText("\x83\x65\x83\x58\x83\x67");
    out.seal(token);
    stream.insert(stream.end(), out.unsent(), out.unsent() + out.unsentBytes());
  }
  put("fuzz_wire", "two_messages.bin", stream);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds CORPUS-FOLDER\n");
    return 2;
  }
  root = argv[1];
  images();
  waves();
  pictures();
  bitmaps();
  animations();
  messages();
  return 0;
}
