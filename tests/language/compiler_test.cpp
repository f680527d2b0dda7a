// What the diagnostics files do not show: the message's form, the cap on
// errors, text conversion, and that what is written passes the runtime's
// image checks.
#include <gtest/gtest.h>

#include "compiler/compiler.h"
#include "tools/imagetools/check.h"
#include "tools/imagetools/image_view.h"

namespace qrt {
namespace {

qrtc::CompileResult compileText(const std::string& text) {
  qrtc::MemoryLoader loader;
  loader.files["game.qrs"] = text;
  return qrtc::compile("game.qrs", loader);
}

TEST(Compiler, PrintsEachErrorAsFileLineColumnCatalogueTextAndExplanation) {
  qrtc::CompileResult r = compileText("INT a\n  a = b\nEXFUNC INT f(INT) IN 7\n");
  EXPECT_EQ(qrtc::formatDiagnostics(r),
            "game.qrs:2:7: QV0110 文法エラーが発生しました (no variable named b is declared here)\n"
            // The row of 271 carries the digits 0371 in its own text.
            "game.qrs:3:22: QV0371 EXFUNC文のDLL名の指定が誤っています (write IN \"file.dll\" after the parameters)\n");
}

TEST(Compiler, SaysWhenADefinitionTookANamesPlace) {
  // #DEFINE names match in any case: `port` here is PORT's number.
  qrtc::CompileResult r = compileText("#DEFINE PORT 40480\nINT port = 1\n");
  ASSERT_EQ(r.diagnostics.size(), 1u);
  EXPECT_EQ(r.diagnostics[0].explanation, "expected the name of a variable, not a number (which #DEFINE PORT put here)");
}

TEST(Compiler, ListsAtMostFiftyErrorsAndWritesNothing) {
  std::string text;
  for (int i = 0; i < 80; ++i) {
    text += 'x';
    text += std::to_string(i);
    text += " = 1\n";
  }
  qrtc::CompileResult r = compileText(text);
  EXPECT_EQ(r.diagnostics.size(), 50u);
  EXPECT_EQ(r.diagnostics.back().pos.line, 50);
  EXPECT_TRUE(r.image.empty());
}

TEST(Compiler, ReportsAMissingProgramFile) {
  qrtc::MemoryLoader loader;
  qrtc::CompileResult r = qrtc::compile("absent.qrs", loader);
  ASSERT_EQ(r.diagnostics.size(), 1u);
  EXPECT_EQ(r.diagnostics[0].code, qrtc::kCannotOpen);
}

TEST(Compiler, TakesJisTwinsAndRefusesCharactersShiftJisLacks) {
  // U+301C (the wave dash of JIS-based editors) is written as Windows
  // writes U+FF5E; an emoji has no Shift-JIS form at all.
  qrtc::CompileResult ok = compileText("STR s = \"\xE3\x80\x9C\"\n");
  ASSERT_TRUE(ok.ok()) << qrtc::formatDiagnostics(ok);
  EXPECT_NE(std::string(ok.image.begin(), ok.image.end()).find("\x81\x60"), std::string::npos);
  qrtc::CompileResult bad = compileText("STR s = \"a\xF0\x9F\x98\x80\"\n");
  ASSERT_EQ(bad.diagnostics.size(), 1u);
  EXPECT_EQ(bad.diagnostics[0].code, qrtc::kSyntax);
  EXPECT_EQ(bad.diagnostics[0].pos.column, 11);
}

// Programs that stress the generator's corners: every image must pass the
// checks the runtime applies before it runs a game.
TEST(Compiler, WritesImagesTheRuntimeAccepts) {
  const char* programs[] = {
      "INT a, b\nREAL x\nSTR s\n"
      "a = ((((a + 1) * (b - 2)) / (a + 3)) MOD (b + 4)) + ((a * b) - (a / 7))\n"
      "x = ((x + 1.0) * (x - 2.0)) / ((x + 3.0) * ((x - 4.0) / ((x + 5.0) * ((x - 6.0) / (x + 7.0)))))\n"
      "s = s + STR(a) + STR(INT(x)) + s\n"
      "IF s = \"\" AND a > b OR x < 1.5 THEN GOTO done\n"
      "done:\n",
      "FUNC STR f(STR s, INT n)\n  IF n = 0 THEN RETURN s\n  RETURN f(s + \"x\", n - 1)\nENDFUNC\n"
      "STR t = f(\"\", 3)\nLOOP\n  IF LENG(t) > 0 THEN BREAK\nENDLOOP\n",
  };
  for (const char* program : programs) {
    qrtc::CompileResult r = compileText(program);
    ASSERT_TRUE(r.ok()) << qrtc::formatDiagnostics(r);
    auto image = imgtools::loadImage(r.image);
    ASSERT_TRUE(image);
    EXPECT_EQ(imgtools::checkImage(image->view()).faults(), 0u) << program;
  }
}

}  // namespace
}  // namespace qrt
