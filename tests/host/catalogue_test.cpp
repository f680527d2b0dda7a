// The message catalogues and the composition of box texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/catalogue.h"
#include "base/errors.h"
#include "host/host.h"

namespace {

TEST(Catalogue, RuntimeMessagesCarryTheirCodeAndOneCommaFrom610On) {
  int rows = 0;
  for (const qrt::CatalogueRow* r = qrt::kRuntimeCatalogue; r->code != 0; ++r, ++rows) {
    std::string text = r->text;
    char prefix[16];
    snprintf(prefix, sizeof prefix, r->code < 610 ? "QVA%04d\n\n" : "QV%04d\n\n", r->code);
    EXPECT_EQ(text.rfind(prefix, 0), 0u) << r->code;
    size_t commas = 0;
    for (char c : text) commas += c == ',';
    EXPECT_EQ(commas, r->code >= 610 ? 1u : 0u) << r->code;
  }
  EXPECT_EQ(rows, 21);
  EXPECT_EQ(qrt::runtimeMessage(999), nullptr);
}

TEST(Catalogue, LoadLookupsTakeTheFirstRowOfACode) {
  // Code 224 has two rows; only the first is ever shown.
  EXPECT_NE(std::string(qrt::loadMessage(224)).find("\x94\x7A"), std::string::npos);  // 配 of 配列
  EXPECT_EQ(std::string(qrt::loadMessage(271)).rfind("QV0371", 0), 0u);
  EXPECT_EQ(qrt::loadMessage(100), std::string("QV0100\n\n\x83\x86\x81\x5B\x83\x55\x83\x76\x83\x8D\x83\x4F"
                                               "\x83\x89\x83\x80\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC"
                                               "\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC9\x8E\xB8\x94\x73"
                                               "\x82\xB5\x82\xDC\x82\xB5\x82\xBD"));
}

TEST(Compose, CommandNamesReplaceTheComma) {
  char text[1024];
  qrt::composeCommandError(text, 615, "G3@FRMSETPOS", 12);
  std::string message = qrt::runtimeMessage(615);
  EXPECT_EQ(std::string(text), "QV0615\n\nG3@FRMSETPOS" + message.substr(message.find(',') + 1));
  qrt::composeTextError(text, 601, "ignored");
  EXPECT_STREQ(text, qrt::runtimeMessage(601));
}

TEST(Compose, LoadErrorsAppendLineAndFileLabels) {
  char text[1024];
  qrt::composeLoadError(text, 100, "C:\\GAME\\RUN.EXE", 0);
  EXPECT_EQ(std::string(text), std::string(qrt::loadMessage(100)) + qrt::kLineLabel + "0" + qrt::kFileLabel +
                                   "C:\\GAME\\RUN.EXE");
  qrt::composeLoadError(text, 101, nullptr, 0);
  EXPECT_EQ(std::string(text), std::string(qrt::loadMessage(101)) + qrt::kLineLabel);
}

TEST(Compose, OverlongNamesAreCutWithinTheBufferAndNeverMidCharacter) {
  // 600 double-byte characters: 1200 bytes, more than either buffer holds.
  std::string name;
  for (int i = 0; i < 600; ++i) name += "\x82\xA0";
  char text[1024];
  qrt::composeTextError(text, 760, name.c_str());
  size_t length = strlen(text);
  EXPECT_LT(length, 512u);
  std::string prefix = "QV0760\n\n";
  ASSERT_EQ(std::string(text).rfind(prefix, 0), 0u);
  EXPECT_EQ((length - prefix.size()) % 2, 0u);  // whole characters only
  qrt::composeCommandError(text, 630, name.data(), static_cast<int>(name.size()));
  EXPECT_LT(strlen(text), 1024u);
}

TEST(SingleInstance, MutexNamesAreValidAndOnePerPathWhateverTheCase) {
  std::wstring a = qrt::singleInstanceName("C:\\Games\\Run.exe");
  std::wstring b = qrt::singleInstanceName("c:\\GAMES\\run.EXE");
  std::wstring c = qrt::singleInstanceName("C:\\Games\\Other.exe");
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(a.find(L'\\'), std::wstring::npos);
  std::string deep = "C:";
  for (int i = 0; i < 60; ++i) deep += "\\folder" + std::to_string(i);
  std::wstring longName = qrt::singleInstanceName((deep + "\\game.exe").c_str());
  EXPECT_LT(longName.size(), static_cast<size_t>(MAX_PATH));
  EXPECT_NE(longName, qrt::singleInstanceName((deep + "\\game2.exe").c_str()));
}

}  // namespace
