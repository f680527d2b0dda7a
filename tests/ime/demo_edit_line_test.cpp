// The demo's text field, played: typed keys and IME text appear in the
// printed line with the caret, and Enter moves the line under it.
#include <gtest/gtest.h>
#include <windows.h>

#include "base/runtime.h"
#include "tests/ime/ime_driver.h"
#include "tests/input/input_driver.h"
#include "tests/support/scripts.h"
#include "tools/mkdemo/demo_edit_line.h"

using namespace qrt::test;
using namespace qrt::img;

namespace {

constexpr int kFlip = 9;

struct Demo {
  std::vector<uint8_t> image;
  qrt::demo::EditLine field;
};

// G@SETUP 640 x 480 in a window, then every frame: the text field, G@FLIP.
Demo textFieldOnly() {
  ImageBuilder b;
  Routine& m = b.main();
  const int screen = setUpWindow(m);
  const qrt::demo::EditLine field = qrt::demo::declareEditLine(m, {.x = 20, .y = 84, .maxLength = 8});
  Label frame = m.here();
  qrt::demo::drawEditLine(m, field, screen);
  m.builtin(kFlip, 0);
  m.native([&](X86& x) { x.next(frame); });
  return {b.build(), field};
}

class DemoTextField : public ImeGame {
 protected:
  // A frame may end early at the arming; after two the line is current.
  void twoFrames() {
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(step());
  }
};

const std::string kKana = "\x82\xa9\x82\xc8";   // かな

TEST_F(DemoTextField, TypedAndImeTextAppearWithTheCaret) {
  const Demo demo = textFieldOnly();
  const qrt::demo::EditLine& field = demo.field;
  start(demo.image);
  ASSERT_TRUE(step());   // G@SETUP
  twoFrames();
  EXPECT_EQ(text(field.line), "> _");
  EXPECT_EQ(text(field.entered), "");

  type("hi");
  twoFrames();
  EXPECT_EQ(text(field.line), "> hi_");
  key(VK_LEFT);
  twoFrames();
  EXPECT_EQ(text(field.line), "> h_i");

  // The player's IME: the composition shows at the caret, the committed
  // word goes into the line.
  imeReportClauses({L"かな"}, 1);
  twoFrames();
  EXPECT_EQ(text(field.line), "> h_" + kKana + "i");
  imeCancel();
  imeCompose(L"かな");
  imeComplete();
  twoFrames();
  EXPECT_EQ(text(field.line), "> h" + kKana + "_i");

  key(VK_RETURN);
  twoFrames();
  EXPECT_EQ(text(field.line), "> _");
  EXPECT_EQ(text(field.entered), "h" + kKana + "i");
  EXPECT_TRUE(game().boxes().empty());
}

}  // namespace
