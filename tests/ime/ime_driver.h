// The player's side of the IME for tests: what an input method does to
// the main window's input context.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/program.h"
#include "tests/support/script.h"

namespace qrt::test {

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

  void start(Script& script);
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
