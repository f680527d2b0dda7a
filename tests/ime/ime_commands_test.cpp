// A game reading the player's IME: arming the capture, the composition
// clause by clause, committed text, candidates and the IME's modes.
#include <gtest/gtest.h>
#include <windows.h>
#include <imm.h>

#include <string>

#include "base/runtime.h"
#include "base/text_entry.h"
#include "tests/ime/ime_driver.h"
#include "tests/input/input_driver.h"

using namespace qrt::test;
using qrt::g_host;

namespace {

// cp932 bytes.
const std::string kKana = "\x82\xa9\x82\xc8";               // かな
const std::string kKyou = "\x8d\xa1\x93\xfa";               // 今日
const std::string kHa = "\x82\xcd";                         // は
const std::string kHare = "\x90\xb0\x82\xea";               // 晴れ

const std::vector<std::wstring> kSentence = {L"今日", L"は", L"晴れ"};

qrt::TextEntryState& entry() { return g_host.rt.text; }

using ImeCommands = ImeGame;

// Arming waits for the IME: the step ends at S@IMEGETSTR 0 until a
// composition has been captured, and then the script reads it.
TEST_F(ImeCommands, ArmingYieldsUntilACompositionIsCaptured) {
  Script s;
  const int zero = s.integer(0), one = s.integer(1), two = s.integer(2);
  const int armed = s.call("S@IMEGETSTR", {zero});
  const int first = s.marker();
  s.run("S@IMEGETSTR", {zero});
  const int second = s.marker();
  const int clause1 = s.callText("S@IMEGETSTR", {one});
  const int state1 = s.call("S@IMEGETSTATE", {one});
  const int clause2 = s.call("S@IMEGETSTR", {two});
  const int state2 = s.call("S@IMEGETSTATE", {two});
  s.wait();
  start(s);

  ASSERT_TRUE(step());
  EXPECT_EQ(value(first), 0);
  EXPECT_EQ(value(armed), 0);   // no string object
  EXPECT_EQ(entry().captureState, qrt::kCaptureArmed);

  // Nothing reported yet: arming again waits another frame.
  ASSERT_TRUE(step());
  EXPECT_EQ(value(first), 1);
  EXPECT_EQ(value(second), 0);

  imeCompose(L"かな");
  ASSERT_TRUE(step());
  EXPECT_EQ(value(second), 1);
  EXPECT_EQ(text(clause1), kKana);
  EXPECT_EQ(value(state1), 2);   // typed, not being converted
  EXPECT_EQ(text(clause2), "");
  EXPECT_NE(value(clause2), 0);  // the empty string, not no string
  EXPECT_EQ(value(state2), 0);
  EXPECT_EQ(entry().captureState, qrt::kCaptureIdle);
}

// Windows IMEs commonly commit with a result and no new composition string,
// or cancel with no parts at all; either way the old composition must not
// stay behind for the script to read.
TEST_F(ImeCommands, ACommitOrCancelWithoutACompositionStringClearsIt) {
  for (LPARAM ending : {static_cast<LPARAM>(GCS_RESULTSTR), static_cast<LPARAM>(0)}) {
    Script s;
    s.run("S@IMEGETSTR", {s.integer(0)});
    s.wait();
    start(s);
    ASSERT_TRUE(step());
    imeReportClauses(kSentence, 1);
    ASSERT_GT(entry().composition.length, 0u);
    SendMessageW(g_host.window, WM_IME_COMPOSITION, 0, ending);
    EXPECT_EQ(entry().composition.length, 0u) << ending;
    EXPECT_EQ(entry().clauses.length, 0u) << ending;
    EXPECT_EQ(entry().attributes.length, 0u) << ending;
    TearDown();
    SetUp();
  }
}

TEST_F(ImeCommands, ClausesAndTheOneBeingConverted) {
  Script s;
  s.run("S@IMEGETSTR", {s.integer(0)});
  int clause[5], state[5];
  for (int n = 0; n <= 4; ++n) clause[n] = s.callText("S@IMEGETSTR", {s.integer(n == 0 ? -1 : n)});
  for (int n = 0; n <= 4; ++n) state[n] = s.call("S@IMEGETSTATE", {s.integer(n)});
  s.wait();
  start(s);

  ASSERT_TRUE(step());
  imeReportClauses(kSentence, 2);
  ASSERT_TRUE(step());
  EXPECT_EQ(text(clause[1]), kKyou);
  EXPECT_EQ(text(clause[2]), kHa);
  EXPECT_EQ(text(clause[3]), kHare);
  EXPECT_EQ(text(clause[4]), "");
  EXPECT_EQ(text(clause[0]), "");   // clause -1
  EXPECT_EQ(value(state[1]), 2);
  EXPECT_EQ(value(state[2]), 3);
  EXPECT_EQ(value(state[3]), 2);
  EXPECT_EQ(value(state[4]), 0);
  EXPECT_EQ(value(state[0]), 0);
}

// The window keeps what each IME message reports; offsets left from an
// earlier report, or none at all, make the text one clause rather than
// hiding it.
TEST_F(ImeCommands, TextWithoutFittingClausesIsOneClause) {
  Script s;
  const int zero = s.integer(0), one = s.integer(1), two = s.integer(2);
  const auto frame = s.here();
  s.run("S@IMEGETSTR", {zero});
  const int clause1 = s.callText("S@IMEGETSTR", {one});
  const int clause2 = s.callText("S@IMEGETSTR", {two});
  const int state1 = s.call("S@IMEGETSTATE", {one});
  const int state2 = s.call("S@IMEGETSTATE", {two});
  s.wait();
  s.jump(frame);
  start(s);

  ASSERT_TRUE(step());   // armed
  imeReportClauses(kSentence, 1);
  imeReportText(L"かな");
  ASSERT_TRUE(step());
  EXPECT_EQ(text(clause1), kKana);
  EXPECT_EQ(text(clause2), "");
  EXPECT_EQ(value(state1), 3);   // its first byte's attribute is still the target's
  EXPECT_EQ(value(state2), 0);

  ASSERT_TRUE(step());   // armed: the live buffers are cleared
  imeReportText(L"今日");
  ASSERT_TRUE(step());
  EXPECT_EQ(text(clause1), kKyou);
  EXPECT_EQ(text(clause2), "");
  EXPECT_EQ(value(state1), 2);

  ASSERT_TRUE(step());
  imeReportText(L"");
  ASSERT_TRUE(step());
  EXPECT_EQ(text(clause1), "");
}

// The script arms every frame and draws what it reads: a frame in which
// the IME reported nothing new shows the same composition, and a new
// report replaces it.
TEST_F(ImeCommands, EachFrameReadsTheLastCapturedComposition) {
  Script s;
  const int zero = s.integer(0), one = s.integer(1), two = s.integer(2);
  const auto frame = s.here();
  s.run("S@IMEGETSTR", {zero});
  const int clause1 = s.callText("S@IMEGETSTR", {one});
  const int clause2 = s.callText("S@IMEGETSTR", {two});
  const int target = s.call("S@IMEGETSTATE", {one});
  s.wait();
  s.jump(frame);
  start(s);

  ASSERT_TRUE(step());   // armed
  imeReportClauses(kSentence, 1);
  ASSERT_TRUE(step());   // read, then S@WAIT
  EXPECT_EQ(text(clause1), kKyou);
  EXPECT_EQ(value(target), 3);
  ASSERT_TRUE(step());   // armed again: the live buffers are cleared
  EXPECT_EQ(entry().composition.length, 0u);
  ASSERT_TRUE(step());   // nothing new
  EXPECT_EQ(text(clause1), kKyou);
  EXPECT_EQ(text(clause2), kHa);

  imeReportClauses({L"かな"}, 0);
  ASSERT_TRUE(step());
  EXPECT_EQ(text(clause1), kKana);
  EXPECT_EQ(text(clause2), "");
  EXPECT_EQ(value(target), 2);
}

// Committed text is handed out once. Without any, the script gets no
// string and its step ends there, so a script polling for text runs a
// frame at a time.
TEST_F(ImeCommands, ResultIsHandedOutOnceAndWaitedFor) {
  Script s;
  const int none = s.call("S@IMEGETRESULT");
  const int polled = s.marker();
  s.run("S@IMEGETSTR", {s.integer(0)});
  const int result1 = s.callText("S@IMEGETRESULT");
  const int got1 = s.marker();
  const int result2 = s.call("S@IMEGETRESULT");
  const int got2 = s.marker();
  s.wait();
  start(s);

  ASSERT_TRUE(step());
  EXPECT_EQ(value(none), 0);
  EXPECT_EQ(value(polled), 0);
  ASSERT_TRUE(step());   // armed
  EXPECT_EQ(value(polled), 1);

  imeCompose(L"かな");
  imeComplete();
  ASSERT_TRUE(step());
  EXPECT_EQ(text(result1), kKana);
  EXPECT_EQ(value(got1), 1);
  EXPECT_EQ(value(result2), 0);
  EXPECT_EQ(value(got2), 0);
  EXPECT_EQ(entry().result.length, 0u);
  ASSERT_TRUE(step());
  EXPECT_EQ(value(got2), 1);
  EXPECT_TRUE(game().boxes().empty());
}

TEST_F(ImeCommands, CandidatesAreReadUntilTheEmptyString) {
  Script s;
  int candidate[6];
  for (int n = 0; n < 6; ++n) candidate[n] = s.callText("S@IMEGETLIST", {s.integer(n - 1)});
  s.run("S@IMESETSELECT", {s.integer(2)});
  s.run("S@IMESETSELECT", {s.integer(9)});
  s.wait();
  s.run("S@IMEGETSTR", {s.integer(0)});
  const int after = s.callText("S@IMEGETLIST", {s.integer(1)});
  s.wait();
  start(s);

  imeOpenCandidates({L"感じ", L"漢字", L"幹事"});
  ASSERT_TRUE(step());
  EXPECT_EQ(text(candidate[0]), "");                    // -1
  EXPECT_EQ(text(candidate[1]), "");                    // 0
  EXPECT_EQ(text(candidate[2]), "\x8a\xb4\x82\xb6");    // 感じ
  EXPECT_EQ(text(candidate[3]), "\x8a\xbf\x8e\x9a");    // 漢字
  EXPECT_EQ(text(candidate[4]), "\x8a\xb2\x8e\x96");    // 幹事
  EXPECT_EQ(text(candidate[5]), "");

  // A committed word closes the list.
  ASSERT_TRUE(step());   // armed
  imeCompose(L"かんじ");
  imeComplete();
  ASSERT_TRUE(step());
  EXPECT_EQ(text(after), "");
  EXPECT_TRUE(game().boxes().empty());
}

// Each mode set is the mode read back, and only the conversion mode
// changes: the sentence mode stays.
TEST_F(ImeCommands, ModesRoundTripThroughTheIme) {
  Script s;
  int got[6];
  for (int mode = 0; mode <= 5; ++mode) {
    s.run("S@IMESETMODE", {s.integer(mode)});
    got[mode] = s.call("S@IMEGETMODE");
  }
  s.run("S@IMESETMODE", {s.integer(2)});
  s.wait();
  const auto frame = s.here();
  const int read = s.call("S@IMEGETMODE");
  s.wait();
  s.jump(frame);
  start(s);

  HIMC context = ImmGetContext(g_host.window);
  ASSERT_NE(context, nullptr);
  ImmSetConversionStatus(context, IME_CMODE_ROMAN, IME_SMODE_PHRASEPREDICT);
  ASSERT_TRUE(step());
  for (int mode = 0; mode <= 5; ++mode) EXPECT_EQ(value(got[mode]), mode) << mode;
  DWORD conversion = 0, sentence = 0;
  ImmGetConversionStatus(context, &conversion, &sentence);
  EXPECT_EQ(conversion, 11u);
  EXPECT_EQ(sentence, static_cast<DWORD>(IME_SMODE_PHRASEPREDICT));
  EXPECT_TRUE(ImmGetOpenStatus(context));

  // Modes the player's IME may be in, set outside the game.
  const struct {
    DWORD conversion;
    int mode;
  } reported[] = {
      {IME_CMODE_FULLSHAPE | IME_CMODE_NATIVE | IME_CMODE_ROMAN, 1},
      {IME_CMODE_FULLSHAPE | IME_CMODE_KATAKANA, 4},
      {IME_CMODE_KATAKANA | IME_CMODE_ROMAN, 3},
      {IME_CMODE_NATIVE, 5},
  };
  for (const auto& r : reported) {
    ImmSetConversionStatus(context, r.conversion, 0);
    ASSERT_TRUE(step());
    EXPECT_EQ(value(read), r.mode) << r.conversion;
  }
  ImmSetOpenStatus(context, FALSE);
  ASSERT_TRUE(step());
  EXPECT_EQ(value(read), 0);
  ImmReleaseContext(g_host.window, context);
}

TEST_F(ImeCommands, AModeOutOfRangeEndsTheProgramWith660) {
  for (int mode : {6, -1}) {
    Script s;
    s.run("S@IMESETMODE", {s.integer(mode)});
    s.wait();
    start(s);
    EXPECT_FALSE(step());
    ASSERT_EQ(game().boxCodes(), std::vector<int>{660}) << mode;
    EXPECT_EQ(game().boxes()[0].text.rfind("QV0660\n\nS@IMESETMODE", 0), 0u) << game().boxes()[0].text;
  }
}

TEST_F(ImeCommands, KanjiCheckLooksAtTheFirstByteInCp932) {
  Script s;
  const char* texts[] = {"\x8a\xbf" "A",   // 漢A
                         "\x88\x9f",       // 亜
                         "\xe0\x40",       // lead byte from the upper range
                         "A\x8a\xbf",
                         "\xb1",           // ｱ: half-width katakana is one byte
                         "\xfd",
                         ""};
  const int expected[] = {1, 1, 1, 0, 0, 0, 0};
  int got[7];
  for (int i = 0; i < 7; ++i) got[i] = s.call("S@KANJICHK", {s.text(texts[i])});
  const int unset = s.call("S@KANJICHK", {0});
  s.wait();
  start(s);
  ASSERT_TRUE(step());
  for (int i = 0; i < 7; ++i) EXPECT_EQ(value(got[i]), expected[i]) << i;
  EXPECT_EQ(value(unset), 0);
}

}  // namespace
