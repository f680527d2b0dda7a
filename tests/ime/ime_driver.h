// The player's side of the IME for tests: what an input method does to
// the main window's input context, and a small script builder for games
// that use the IME commands.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/program.h"
#include "tools/imagebuilder/image_builder.h"

namespace qrt::test {

namespace ime {
constexpr int kSetMode = 163, kGetMode = 164, kGetStr = 165, kGetState = 166, kGetResult = 167,
              kGetList = 168, kSetSelect = 169, kSetEditMode = 170, kGetEditStr = 171,
              kGetEditState = 172, kGetEditResult = 173, kGetEditColumn = 174, kKanjiChk = 175,
              kSetEditLen = 176, kWait = 141;
}

// A straight-line main routine with loops by label.
class ImeScript {
 public:
  ImeScript() : main_(builder_.main()) {}
  int integer(int32_t value);                                 // a slot holding value
  int text(std::string_view cp932) { return main_.constant(cp932); }
  int call(int command, const std::vector<int>& args = {});   // the result's slot
  // A string result kept in a variable of its own (ring temporaries are
  // reused after ten more results).
  int callText(int command, const std::vector<int>& args = {});
  void run(int command, const std::vector<int>& args = {});   // result not kept
  void wait() { run(ime::kWait); }
  int marker();                                               // a slot that becomes 1 here
  img::Label here() { return main_.here(); }
  void jump(img::Label op);
  std::vector<uint8_t> build();

 private:
  img::ImageBuilder builder_;
  img::Routine& main_;
};

// Typing in the IME: the real composition and commit of the platform's IME.
void imeCompose(const wchar_t* reading);
void imeComplete();
void imeCancel();

// What a converting IME reports: clauses (the 1-based `target` one being
// converted, 0 for none) written into the input context, then
// WM_IME_COMPOSITION with the composition, its attributes and clauses.
void imeReportClauses(const std::vector<std::wstring>& clauses, int target);
// An IME that reports only the composition's text, without clauses or
// attributes.
void imeReportText(const std::wstring& text);
// The IME opening its candidate window over the given candidates.
void imeOpenCandidates(const std::vector<std::wstring>& candidates, int selection = 0);

// A game using the IME commands, in the real main window; the text-entry
// state starts empty for every case.
class ImeGame : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void start(ImeScript& script);
  void start(const std::vector<uint8_t>& image);
  bool step();                      // lets the window handle its messages, then one engine step
  Program& game() { return *program_; }
  std::string text(int slot) { return program_->text(slot); }
  int32_t value(int slot) { return static_cast<int32_t>(program_->slot(slot)); }

  // The player at the keyboard: messages as the window receives them.
  void type(const std::string& chars);
  void key(unsigned vk);

 private:
  std::unique_ptr<Program> program_;
};

}  // namespace qrt::test
