// One file per catalogue row the compiler raises: its first line names the
// errors it must give ("// expect 313 at 4, 243 at 9"), no more and no
// fewer; an empty file must give 101.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <utility>

#include "compiler/compiler.h"
#include "tests/e2e/harness.h"

namespace qrt {
namespace {

namespace fs = std::filesystem;

fs::path folder() { return fs::path(e2e::hostFile(QRT_DIAGNOSTICS_DIR)); }

using Expected = std::set<std::pair<int, int>>;  // {code, line}

Expected expectedOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string first;
  if (!std::getline(in, first)) return {{101, 0}};
  Expected out;
  static const std::regex item(R"((\d+) at (\d+))");
  for (std::sregex_iterator it(first.begin(), first.end(), item), end; it != end; ++it)
    out.insert({std::stoi((*it)[1]), std::stoi((*it)[2])});
  return out;
}

class Diagnostic : public ::testing::TestWithParam<std::string> {};

TEST_P(Diagnostic, NamesItsRowAndLine) {
  const fs::path file = folder() / (GetParam() + ".qrs");
  const Expected expected = expectedOf(file);
  ASSERT_FALSE(expected.empty()) << "the file's first line names no error";
  qrtc::DiskLoader loader;
  std::u8string u = file.u8string();
  qrtc::CompileResult r = qrtc::compile(std::string(u.begin(), u.end()), loader);
  Expected got;
  for (const qrtc::Diagnostic& d : r.diagnostics) got.insert({static_cast<int>(d.code), d.pos.line});
  EXPECT_EQ(got, expected) << qrtc::formatDiagnostics(r);
  EXPECT_TRUE(r.image.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, Diagnostic, ::testing::ValuesIn(e2e::fileStems(folder(), ".qrs")),
                         [](const ::testing::TestParamInfo<std::string>& info) { return "QV" + info.param; });

}  // namespace
}  // namespace qrt
