// The examples are games a newcomer copies from: each must compile, pass
// the runtime's image checks, and, started with the word "shot", play by
// itself, save shot.png and end without a box. A game whose folder holds
// `players` runs one copy per line of that file, side by side, each with
// the line's words before "shot" (a host and a joiner, say).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "image/image_builder.h"
#include "tests/e2e/harness.h"
#include "tests/support/compiled_script.h"

namespace qrt {
namespace {

namespace fs = std::filesystem;

fs::path examplesFolder() { return fs::path(e2e::hostFile(QRT_EXAMPLES_DIR)); }

std::vector<std::string> examples() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(examplesFolder(), ec)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_directory() && fs::exists(entry.path() / (name + ".qrs"))) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> playerLines(const fs::path& folder) {
  std::vector<std::string> lines;
  std::ifstream in(folder / "players");
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  if (lines.empty()) lines.push_back("");
  return lines;
}

// A game whose window is not the active one does not run, not even its
// first statement, until it asks to go on in the background (S@BACKGROUND),
// and the window of the copy started next takes the activation. So each
// copy but the last is given until its window answers messages, by which
// time its message loop has run its first step.
bool runningItsLoop(e2e::GameRun& game) {
  if (!game.waitForWindow(60000)) return false;
  const DWORD start = GetTickCount();
  while (!game.responding(1000))
    if (!game.poll() || GetTickCount() - start > 60000) return false;
  return true;
}

class Example : public ::testing::TestWithParam<std::string> {};

TEST_P(Example, PlaysByItselfAndLeavesItsScreenshot) {
  const std::string name = GetParam();
  const fs::path source = examplesFolder() / name;
  const test::CompiledScript compiled = test::compileFile(source / (name + ".qrs"));
  const std::vector<uint8_t> game =
      img::linkGame(img::readFile(fs::path(e2e::hostFile(QRT_RUNTIME_EXE))), compiled.image);

  // One folder per copy, with the example's data beside the game.
  const std::vector<std::string> players = playerLines(source);
  std::vector<std::unique_ptr<e2e::ScratchFolder>> folders;
  std::vector<std::unique_ptr<e2e::GameRun>> runs;
  for (size_t k = 0; k < players.size(); ++k) {
    folders.push_back(std::make_unique<e2e::ScratchFolder>("example_" + name + "_" + std::to_string(k)));
    const fs::path folder(folders.back()->path());
    for (const auto& entry : fs::directory_iterator(source)) {
      const fs::path ext = entry.path().extension();
      if (ext == ".qrs" || ext == ".exe" || entry.path().filename() == "players") continue;
      fs::copy(entry.path(), folder / entry.path().filename(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    const fs::path exe = folder / (name + ".exe");
    img::writeFile(exe, game);
    e2e::RunOptions options;
    const std::string words = players[k].empty() ? "shot" : players[k] + " shot";
    options.arguments = std::wstring(words.begin(), words.end());
    options.timeoutMs = 120000;
    runs.push_back(std::make_unique<e2e::GameRun>(exe.wstring(), options));
    ASSERT_TRUE(runs.back()->started());
    if (k + 1 < players.size()) {
      ASSERT_TRUE(runningItsLoop(*runs.back())) << players[k] << " never ran";
    }
  }
  for (size_t k = 0; k < runs.size(); ++k) {
    test::GameResult r = runs[k]->finish();
    SCOPED_TRACE(name + " copy " + std::to_string(k) + " (" + players[k] + ")");
    EXPECT_FALSE(r.timedOut);
    for (const test::Box& box : r.boxes) ADD_FAILURE() << "box: " << e2e::utf8FromCp932(box.text);
    const std::string shot = e2e::readText(fs::path(folders[k]->path()) / "shot.png");
    ASSERT_GT(shot.size(), 1000u) << "no screenshot";
    EXPECT_EQ(shot.substr(1, 3), "PNG");
  }
}

INSTANTIATE_TEST_SUITE_P(Examples, Example, ::testing::ValuesIn(examples()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace qrt
