// Bitmaps in every form paint programs and converters write, loaded as a
// game loads them, through G@CHRLOAD, and read back as the pixels a player
// would see. Our reader takes every one of them (the platform's library
// misreads or refuses several under Wine), so the same file shows the same
// picture on every machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "gfx2d/image_codecs.h"
#include "tests/gfx2d/gfx_support.h"
#include "tools/media/bmp_files.h"

namespace qrt::test {
namespace {

using media::BmpCoding;
using media::BmpForm;
using media::kBmpHole;

constexpr int kWidth = 7, kHeight = 5;   // rows padded in every depth

// A bitmap and what it shows: `colours` are the palette (0x00RRGGBB) for 8
// bits or fewer, the picture's ARGB colours otherwise, each one the
// components' widths can hold exactly.
struct Form {
  std::string name;
  BmpForm form;
  std::vector<uint32_t> colours;
  int indexRange = 0;        // indices run to this (past a short palette's end); 0: the colours'
  bool holes = false;        // run-length codes that skip pixels

  bool alpha() const {
    return (form.coding == BmpCoding::BitFields || form.coding == BmpCoding::AlphaBitFields) && form.masks[3] != 0;
  }
  uint32_t indexAt(int x, int y) const {
    const int range = indexRange ? indexRange : static_cast<int>(colours.size());
    // Stored bottom-up: a line end after row 4 (stored first), a delta
    // along row 3, a delta down from row 2's end into row 1, the end of the
    // bitmap before row 0.
    if (holes && (y == 0 || (y == 1 && x < 5) || (y == 2 && x >= 5) || (y == 3 && x >= 2 && x < 4))) {
      return kBmpHole;
    }
    if (y == 4) return x < 5 ? 1 : 0;   // a run, then a short literal
    return static_cast<uint32_t>((x * 3 + y * 5 + x * y) % range);
  }
  std::vector<uint32_t> filePixels() const {
    std::vector<uint32_t> p;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const uint32_t i = indexAt(x, y);
        p.push_back(form.bits <= 8 || i == kBmpHole ? i : colours[i]);
      }
    }
    return p;
  }
  // Skipped pixels are transparent black, indices past the palette opaque black.
  std::vector<uint32_t> shown() const {
    std::vector<uint32_t> p;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const uint32_t i = indexAt(x, y);
        if (i == kBmpHole) p.push_back(0);
        else if (i >= colours.size()) p.push_back(0xFF000000u);
        else p.push_back(alpha() ? colours[i] : 0xFF000000u | colours[i]);
      }
    }
    return p;
  }
};

std::vector<Form> everyForm() {
  const std::vector<uint32_t> sixteen = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF,
                                         0xFF00FF, 0xFFFFFF, 0x808080, 0x123456, 0xFEDCBA, 0x7F3F1F,
                                         0x010203, 0xC0C0C0, 0x400000, 0x004000};
  std::vector<uint32_t> ramp;
  for (uint32_t i = 0; i < 20; ++i) ramp.push_back(i * 0x0C0906 + 0x102030);
  // Colours 5-bit fields hold exactly (16 of 31 is 132), 6-bit (33 of 63 is 134).
  const std::vector<uint32_t> fives = {0xFF000000, 0xFFFFFFFF, 0xFF840000, 0xFF008400, 0xFF000084, 0xFFFF8484};
  const std::vector<uint32_t> sixes = {0xFF000000, 0xFFFFFFFF, 0xFF840000, 0xFF008600, 0xFF000084, 0xFFFF86FF};
  const std::vector<uint32_t> fours = {0x00000000, 0xFFFFFFFF, 0x88FF0000, 0x4400FF00, 0xCC0000FF, 0x11224466};
  const std::vector<uint32_t> eights = {0xFF000000, 0xFFFFFFFF, 0xFF123456, 0xFFFEDCBA, 0xFF01FF80, 0xFF7F8081};
  const std::vector<uint32_t> alphas = {0x00000000, 0xFFFFFFFF, 0x80123456, 0x01FEDCBA, 0xFE01FF80, 0x407F8081};
  const std::vector<uint32_t> twoBitAlphas = {0x00000000, 0xFFFFFFFF, 0x55123456,
                                              0xAAFEDCBA, 0xFF01FF80, 0x557F8081};
  auto first = [&](size_t n) { return std::vector<uint32_t>(sixteen.begin(), sixteen.begin() + n); };
  using C = BmpCoding;
  std::vector<Form> forms;
  auto add = [&](const char* name, BmpForm form, const std::vector<uint32_t>& colours, int indexRange = 0,
                 bool holes = false) { forms.push_back({name, std::move(form), colours, indexRange, holes}); };
  add("core24", {.headerSize = 12, .bits = 24}, eights);
  add("core8", {.headerSize = 12, .bits = 8, .palette = ramp}, ramp);
  add("core1", {.headerSize = 12, .bits = 1, .palette = first(2)}, first(2));
  add("pal1", {.bits = 1, .palette = {0xFF8000, 0x0080FF}}, {0xFF8000, 0x0080FF});
  add("pal2", {.bits = 2, .palette = first(4)}, first(4));
  add("pal4short", {.bits = 4, .palette = first(12)}, first(12), 16);
  add("pal4", {.headerSize = 52, .bits = 4, .palette = sixteen}, sixteen);
  add("pal8short", {.headerSize = 124, .bits = 8, .palette = ramp}, ramp, 31);
  add("rle8", {.bits = 8, .coding = C::Rle8, .palette = ramp}, ramp, 0, true);
  add("rle8short", {.headerSize = 108, .bits = 8, .coding = C::Rle8, .palette = first(6)}, first(6), 9, true);
  add("rle4", {.bits = 4, .coding = C::Rle4, .palette = sixteen}, sixteen, 0, true);
  add("rle4short", {.headerSize = 56, .bits = 4, .coding = C::Rle4, .palette = first(5)}, first(5), 16, true);
  add("rgb16", {.bits = 16}, fives);
  add("fields565", {.bits = 16, .coding = C::BitFields, .masks = {0xF800, 0x07E0, 0x001F, 0}}, sixes);
  add("fields565bgr", {.headerSize = 52, .bits = 16, .coding = C::BitFields, .masks = {0x001F, 0x07E0, 0xF800, 0}},
      sixes);
  add("fields4444",
      {.headerSize = 56, .bits = 16, .coding = C::BitFields, .masks = {0x0F00, 0x00F0, 0x000F, 0xF000}}, fours);
  add("rgb24", {.bits = 24}, eights);
  add("rgb24topdown", {.bits = 24, .topDown = true}, eights);
  add("rgb32", {.bits = 32}, eights);
  // The file a paint program wrote that the platform's library refused.
  add("fields32odd", {.bits = 32, .coding = C::BitFields, .masks = {0x00000FF0, 0x00FF0000, 0xFF000000, 0}}, eights);
  add("fields32x8", {.headerSize = 52, .bits = 32, .coding = C::BitFields, .masks = {0xFF0000, 0xFF00, 0xFF, 0}},
      eights);
  add("v4_2101010",
      {.headerSize = 108, .bits = 32, .coding = C::BitFields, .masks = {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}},
      twoBitAlphas);
  add("v5argb_topdown",
      {.headerSize = 124, .bits = 32, .coding = C::BitFields, .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
       .topDown = true},
      alphas);
  add("alphafields", {.bits = 32, .coding = C::AlphaBitFields, .masks = {0xFF, 0xFF00, 0xFF0000, 0xFF000000}}, alphas);
  return forms;
}

std::string differences(const std::vector<uint32_t>& got, const std::vector<uint32_t>& want) {
  std::string out;
  char line[64];
  for (size_t i = 0; i < want.size() && out.size() < 400; ++i) {
    if (i < got.size() && got[i] == want[i]) continue;
    std::snprintf(line, sizeof line, " (%d,%d) %08X not %08X;", static_cast<int>(i % kWidth),
                  static_cast<int>(i / kWidth), i < got.size() ? got[i] : 0u, want[i]);
    out += line;
  }
  return out;
}

TEST(BmpFiles, EveryFormLoadsWithTheFilesPixels) {
  const std::string dir = scratchFolder("bmp");
  const std::vector<Form> forms = everyForm();
  {
    GfxScript s;
    s.call("G@CHRLOADCKEY", {s.integer(-1), s.integer(-1), s.integer(-1)});
    std::vector<int> loaded;
    for (const Form& f : forms) {
      const std::vector<uint8_t> bytes = media::bmpFile(f.form, kWidth, kHeight, f.filePixels());
      writeBytes(dir + "\\" + f.name + ".bmp", bytes);
      loaded.push_back(s.call("G@CHRLOAD", {s.text(dir + "\\" + f.name + ".bmp"), s.noString()}));
      // Ours, not the platform's, is what the pixels below come from.
      ArgbImage ours;
      EXPECT_TRUE(decodeBmp(bytes.data(), bytes.size(), ours)) << f.name;
    }
    Game run(s);
    run.runToEnd();
    ASSERT_TRUE(run.boxCodes().empty()) << run.boxCodes()[0];
    for (size_t i = 0; i < forms.size(); ++i) {
      const Pixels p = surfacePixels(run.integer(loaded[i]));
      ASSERT_EQ(p.width, kWidth) << forms[i].name;
      ASSERT_EQ(p.height, kHeight) << forms[i].name;
      EXPECT_EQ(p.argb, forms[i].shown()) << forms[i].name << ":" << differences(p.argb, forms[i].shown());
    }
  }

  // A bitmap neither reader can read is 680, as any unreadable picture:
  // the odd masks again, their last row cut short.
  const Form& odd = *std::find_if(forms.begin(), forms.end(), [](const Form& f) { return f.name == "fields32odd"; });
  std::vector<uint8_t> cut = media::bmpFile(odd.form, kWidth, kHeight, odd.filePixels());
  cut.resize(cut.size() - 5);
  writeBytes(dir + "\\cut.bmp", cut);
  GfxScript s;
  s.call("G@CHRLOAD", {s.text(dir + "\\cut.bmp"), s.noString()});
  Game run(s);
  run.runToEnd();
  EXPECT_EQ(run.boxCodes(), std::vector<int>{680});
}

}  // namespace
}  // namespace qrt::test
