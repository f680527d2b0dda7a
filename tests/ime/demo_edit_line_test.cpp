// The demo's text line (examples/demo/textline.qrs), played: typed keys and
// IME text appear in the printed line with the caret, and Enter moves the
// line under it.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/ime/ime_driver.h"
#include "tests/input/input_driver.h"
#include "tests/support/compiled_script.h"

using namespace qrt::test;

namespace {

// A 640 x 480 window, then every frame: the text line, G@FLIP.
const char kTextLineOnly[] = R"(
#INCLUDE "textline.qrs"
INT screen = G@SETUP(640, 480, 32, 1)
startTextLine(8)
LOOP
  drawTextLine(screen, 20, 84)
  G@FLIP
ENDLOOP
)";

class DemoTextField : public ImeGame {
 protected:
  // A frame may end early at the arming; after two the line is current.
  void twoFrames() {
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(step());
  }
  std::string line() { return game().staticText(script.slotOf("shownLine")); }
  std::string entered() { return game().staticText(script.slotOf("entered")); }

  CompiledScript script = compileScript(kTextLineOnly, QRT_DEMO_DIR);
};

const std::string kKana = "\x82\xa9\x82\xc8";   // かな

TEST_F(DemoTextField, TypedAndImeTextAppearWithTheCaret) {
  start(script.image);
  ASSERT_TRUE(step());   // G@SETUP
  twoFrames();
  EXPECT_EQ(line(), "> _");
  EXPECT_EQ(entered(), "");

  type("hi");
  twoFrames();
  EXPECT_EQ(line(), "> hi_");
  key(VK_LEFT);
  twoFrames();
  EXPECT_EQ(line(), "> h_i");

  // The player's IME: the composition shows at the caret, the committed
  // word goes into the line.
  imeReportClauses({L"かな"}, 1);
  twoFrames();
  EXPECT_EQ(line(), "> h_" + kKana + "i");
  imeCancel();
  imeCompose(L"かな");
  imeComplete();
  twoFrames();
  EXPECT_EQ(line(), "> h" + kKana + "_i");

  key(VK_RETURN);
  twoFrames();
  EXPECT_EQ(line(), "> _");
  EXPECT_EQ(entered(), "h" + kKana + "i");
  EXPECT_TRUE(game().boxes().empty());
}

}  // namespace
