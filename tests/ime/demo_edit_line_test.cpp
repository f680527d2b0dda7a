// The demo's text field, played: typed keys and IME text appear in the
// printed line with the caret, and Enter moves the line under it.
#include <gtest/gtest.h>
#include <windows.h>

#include "base/runtime.h"
#include "tests/ime/ime_driver.h"
#include "tests/input/input_driver.h"
#include "tools/mkdemo/demo_edit_line.h"

using namespace qrt::test;
using namespace qrt::img;

namespace {

struct Demo {
  std::vector<uint8_t> image;
  qrt::demo::EditLine field;
};

// G@SETUP 640 x 480 in a window, then every frame: the text field, G@FLIP.
Demo textFieldOnly() {
  Script s;
  const int screen = s.call("G@SETUP", {s.integer(640), s.integer(480), s.integer(32), s.integer(1)});
  const qrt::demo::EditLine field = qrt::demo::declareEditLine(s.main(), {.x = 20, .y = 84, .maxLength = 8});
  Label frame = s.here();
  qrt::demo::drawEditLine(s.main(), field, screen);
  s.run("G@FLIP");
  s.jump(frame);
  return {s.build(), field};
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
