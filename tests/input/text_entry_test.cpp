// The edit line and IME capture, driven through the main window: typed
// characters and keys as posted messages, IME text through the window's
// input context, as a player's IME would deliver it.
#include <gtest/gtest.h>
#include <windows.h>
#include <imm.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "gfx2d/display.h"
#include "base/runtime.h"
#include "base/text_entry.h"
#include "tests/input/input_driver.h"
#include "tests/support/program.h"

using namespace qrt::test;
using qrt::g_host;
using qrt::TextEntryState;

namespace {

// cp932 bytes.
const std::string kA = "\x88\x9f";                          // 亜: its trail byte is a lead byte value
const std::string kAiu = "\x82\xa0\x82\xa2\x82\xa4";        // あいう
const std::string kKana = "\x82\xa9\x82\xc8";                // かな

TextEntryState& text() { return g_host.rt.text; }
std::string editText() { return text().edit.data ? std::string(text().edit.data, text().edit.length) : ""; }
std::string bytesOf(const qrt::TextBuffer& b) { return b.data ? std::string(b.data, b.length) : ""; }

// A game with a text field: it switches the edit line on and limits it as
// asked, then arms the IME capture every frame, so the IME's commits are
// read too.
struct TextField {
  bool editMode = false;
  std::optional<int32_t> maxLength;
};

std::vector<uint8_t> textFieldGame(const TextField& field) {
  Script s;
  if (field.editMode) s.run("S@IMESETEDITMODE", {s.integer(1)});
  if (field.maxLength) s.run("S@IMESETEDITLEN", {s.integer(*field.maxLength)});
  const auto frame = s.here();
  s.call("S@IMEGETSTR", {s.integer(0)});
  s.wait();
  s.jump(frame);
  return s.build();
}

// A game that just keeps running: the window is open and handles its
// messages between steps.
class EditLine : public ::testing::Test {
 protected:
  void SetUp() override {
    Script s;
    for (int i = 0; i < 50; ++i) s.wait();
    program_ = std::make_unique<Program>(s.build());
    text() = TextEntryState{};
    activateMainWindow();
  }
  void TearDown() override {
    cancelComposition();
    program_.reset();
    text() = TextEntryState{};
  }

  void run() {
    settle();
    program_->step();
  }
  void type(const std::string& chars) {
    for (char c : chars) PostMessageW(g_host.window, WM_CHAR, static_cast<unsigned char>(c), 1);
    run();
  }
  void key(WPARAM vk) {
    PostMessageW(g_host.window, WM_KEYDOWN, vk, 1);
    PostMessageW(g_host.window, WM_KEYUP, vk, 0xC0000001);
    run();
  }
  // What a player's IME does: shows a composition, then commits it.
  void compose(const wchar_t* reading) {
    HIMC context = ImmGetContext(g_host.window);
    ASSERT_NE(context, nullptr);
    ImmSetOpenStatus(context, TRUE);
    ImmSetCompositionStringW(context, SCS_SETSTR, const_cast<wchar_t*>(reading),
                             static_cast<DWORD>(wcslen(reading) * sizeof(wchar_t)), nullptr, 0);
    ImmReleaseContext(g_host.window, context);
    run();
  }
  // The game arms the capture each frame, so the commit is read too.
  void commit(const wchar_t* word) {
    compose(word);
    HIMC context = ImmGetContext(g_host.window);
    ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_COMPLETE, 0);
    ImmReleaseContext(g_host.window, context);
    run();
  }
  void cancelComposition() {
    if (!g_host.window) return;
    HIMC context = ImmGetContext(g_host.window);
    if (!context) return;
    ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
    ImmReleaseContext(g_host.window, context);
    settle();
  }
  // Replaces the idle game with one that has a text field.
  void play(const TextField& field) {
    cancelComposition();
    program_.reset();
    program_ = std::make_unique<Program>(textFieldGame(field));
    activateMainWindow();
    run();
  }

  std::unique_ptr<Program> program_;
};

TEST_F(EditLine, TypingAccumulatesWhileEditModeIsOffAndKeysDoNothing) {
  type("ab\tc\r\b");
  key(VK_LEFT);
  key(VK_BACK);
  key(VK_HOME);
  key(VK_DELETE);
  EXPECT_EQ(editText(), "abc");
  EXPECT_EQ(text().caret, 3u);
  ASSERT_NE(text().edit.data, nullptr);
  EXPECT_EQ(text().edit.data[3], '\0');
}

TEST_F(EditLine, DoubleByteCharactersMoveAndGoAsOne) {
  play({.editMode = true});
  type("a");
  commit(L"亜");
  type("b");
  ASSERT_EQ(editText(), "a" + kA + "b");
  ASSERT_EQ(text().caret, 4u);
  // Only the 'b' goes, though the byte before it has a lead byte's value.
  key(VK_BACK);
  EXPECT_EQ(editText(), "a" + kA);
  EXPECT_EQ(text().caret, 3u);
  key(VK_LEFT);
  EXPECT_EQ(text().caret, 1u);
  key(VK_RIGHT);
  EXPECT_EQ(text().caret, 3u);
  key(VK_BACK);
  EXPECT_EQ(editText(), "a");
  EXPECT_EQ(text().caret, 1u);
  commit(L"あいう");
  key(VK_HOME);
  key(VK_RIGHT);
  key(VK_DELETE);
  EXPECT_EQ(editText(), "a\x82\xa2\x82\xa4");
  EXPECT_EQ(text().caret, 1u);
  key(VK_END);
  EXPECT_EQ(text().caret, 5u);
  EXPECT_EQ(text().edit.data[5], '\0');
}

// Overwrite at first; the Insert key switches to inserting. A typed byte
// over a double-byte character replaces the whole character.
TEST_F(EditLine, OverwriteAndInsert) {
  play({.editMode = true});
  type("abc");
  key(VK_HOME);
  type("x");
  EXPECT_EQ(editText(), "xbc");
  commit(L"亜");
  EXPECT_EQ(editText(), "x" + kA + "bc");
  key(VK_LEFT);
  type("z");
  EXPECT_EQ(editText(), "xzbc");
  EXPECT_EQ(text().caret, 2u);

  tapKey(VK_INSERT);
  run();
  ASSERT_EQ(text().insert, 1);
  type("y");
  EXPECT_EQ(editText(), "xzybc");
  tapKey(VK_INSERT);
  run();
  EXPECT_EQ(text().insert, 0);
}

TEST_F(EditLine, EnterCommitsTheLineAndAnEmptyLineGivesLengthZero) {
  play({.editMode = true});
  type("abc");
  key(VK_RETURN);
  EXPECT_EQ(bytesOf(text().editResult), "abc");
  EXPECT_EQ(text().editResult.data[3], '\0');
  EXPECT_EQ(editText(), "");
  EXPECT_EQ(text().caret, 0u);
  key(VK_RETURN);
  EXPECT_EQ(text().editResult.length, 0u);
  EXPECT_GE(text().editResult.capacity, 1u);
}

// The maximum length limits IME text; the result stays readable.
TEST_F(EditLine, ImeResultLongerThanTheMaximumIsNotInserted) {
  play({.editMode = true, .maxLength = 5});
  type("a");
  commit(L"あいう");
  EXPECT_EQ(editText(), "a");
  EXPECT_EQ(bytesOf(text().result), kAiu);
  commit(L"かな");
  EXPECT_EQ(editText(), "a" + kKana);
  EXPECT_EQ(text().caret, 5u);
}

// IME text sizes the buffer to the text and its NUL; a character typed
// after it needs room for one more byte and its NUL.
TEST_F(EditLine, TypingAfterImeTextThatFilledTheBufferGrowsIt) {
  play({.editMode = true});
  commit(L"かな");
  ASSERT_EQ(editText(), kKana);
  type("x");
  key(VK_HOME);
  tapKey(VK_INSERT);
  type("y");
  EXPECT_EQ(editText(), "y" + kKana + "x");
  EXPECT_GT(text().edit.capacity, text().edit.length);
  EXPECT_EQ(text().edit.data[text().edit.length], '\0');
  tapKey(VK_INSERT);  // the toggle outlives the test
}

TEST_F(EditLine, ImeResultOutsideEditModeStaysInTheResultBuffer) {
  play({});
  type("a");
  commit(L"かな");
  EXPECT_EQ(editText(), "a");
  EXPECT_EQ(bytesOf(text().result), kKana);
  EXPECT_EQ(text().captureState, qrt::kCaptureDone);
}

TEST_F(EditLine, CompositionIsCapturedOnlyWhenArmed) {
  compose(L"かな");
  EXPECT_EQ(text().composition.length, 0u);
  EXPECT_EQ(text().captureState, qrt::kCaptureIdle);
  cancelComposition();

  play({});
  compose(L"かな");
  EXPECT_EQ(text().captureState, qrt::kCaptureDone);
  EXPECT_EQ(bytesOf(text().composition), kKana);
  // Attributes and clause offsets, when the IME gives them, count bytes.
  if (text().attributes.length) {
    EXPECT_EQ(text().attributes.length, 4u);
  }
  if (text().clauses.length >= 8) {
    uint32_t last;
    memcpy(&last, text().clauses.data + text().clauses.length - 4, 4);
    EXPECT_EQ(last, 4u);
  }
  EXPECT_EQ(text().result.length, 0u);
}

// The exit key still closes the game while the edit keys are in use.
TEST_F(EditLine, ExitKeyClosesTheProgramInEditMode) {
  play({.editMode = true});
  type("ab");
  HWND window = g_host.window;
  PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 1);
  settle();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(qrt::engineState(), nullptr);
}

TEST_F(EditLine, CursorIsHiddenInFullScreenOnly) {
  HWND w = g_host.window;
  const LPARAM overClient = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
  qrt::display()->windowMode = 0;
  SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), overClient);
  EXPECT_EQ(GetCursor(), nullptr);
  qrt::display()->windowMode = 1;
  SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), overClient);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, MAKEINTRESOURCEW(32512))  /* IDC_ARROW */);
  qrt::display()->windowMode = -1;
}

TEST_F(EditLine, WindowMovesAndSizesKeepTheClientAreaCurrent) {
  qrt::display()->windowMode = 1;
  SetWindowPos(g_host.window, nullptr, 50, 60, 400, 300, SWP_NOZORDER);
  settle();
  RECT client;
  GetClientRect(g_host.window, &client);
  POINT origin{0, 0};
  ClientToScreen(g_host.window, &origin);
  EXPECT_EQ(g_host.client.left, origin.x);
  EXPECT_EQ(g_host.client.top, origin.y);
  EXPECT_EQ(g_host.client.right, origin.x + client.right);
  EXPECT_EQ(g_host.client.bottom, origin.y + client.bottom);
  EXPECT_EQ(qrt::display()->clientWidth, client.right);
  EXPECT_EQ(qrt::display()->clientHeight, client.bottom);
  qrt::display()->windowMode = -1;
}

}  // namespace
