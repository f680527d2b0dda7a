// Every script in scripts/ compiled, checked the way the runtime checks an
// image, run as a game, and what it reported compared with its .expected
// file: the lines it wrote to out.txt, then "BOX <text>" for each box it
// showed (both as UTF-8, a box's line breaks written \n).
#include <gtest/gtest.h>

#include <filesystem>

#include "image/image_builder.h"
#include "tests/e2e/harness.h"
#include "tests/support/compiled_script.h"

namespace qrt {
namespace {

namespace fs = std::filesystem;

fs::path scriptsFolder() { return fs::path(e2e::hostFile(QRT_LANGUAGE_SCRIPTS)); }

class Script : public ::testing::TestWithParam<std::string> {};

TEST_P(Script, ReportsWhatItsExpectedFileSays) {
  const std::string name = GetParam();
  const fs::path source = scriptsFolder() / (name + ".qrs");
  const test::CompiledScript compiled = test::compileFile(source);

  e2e::ScratchFolder dir("language_" + name);
  const std::wstring exe = dir.file(std::wstring(name.begin(), name.end()) + L".exe");
  img::writeFile(fs::path(exe), img::linkGame(img::readFile(fs::path(e2e::hostFile(QRT_RUNTIME_EXE))), compiled.image));
  test::GameResult run = test::runGame(exe, 60000);
  ASSERT_TRUE(run.started) << run.error;
  EXPECT_FALSE(run.timedOut);

  std::string report;
  for (char c : e2e::utf8FromCp932(e2e::readText(fs::path(dir.file(L"out.txt")))))
    if (c != '\r') report += c;
  for (const test::Box& box : run.boxes) {
    std::string text;
    for (char c : e2e::utf8FromCp932(box.text)) text += c == '\n' ? std::string("\\n") : std::string(1, c);
    report += "BOX " + text + "\n";
  }
  EXPECT_EQ(report, e2e::readText(scriptsFolder() / (name + ".expected")));
}

INSTANTIATE_TEST_SUITE_P(Language, Script, ::testing::ValuesIn(e2e::fileStems(scriptsFolder(), ".qrs")),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace qrt
