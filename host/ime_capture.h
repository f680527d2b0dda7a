// Capture of the IME's composition, result and candidate list into the
// text-entry state, from the main window's input context. The IME answers
// in UTF-16; the state keeps cp932.
#pragma once
#include <windows.h>
#include <imm.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/text_entry.h"

namespace qrt {

// starts[i] is the byte
// offset of wide unit i in bytes, and starts.back() the byte length.
struct Cp932Text {
  std::string bytes;
  std::vector<uint32_t> starts;
};
Cp932Text toCp932Text(const std::wstring& wide);
// Clause offsets counted in wide units, as 32-bit byte offsets.
std::string clauseBytes(const Cp932Text& text, const uint32_t* offsets, size_t count);
// One attribute per wide unit, repeated for each of its bytes.
std::string attributeBytes(const Cp932Text& text, const BYTE* attributes, size_t count);
// A wide CANDIDATELIST (of `size` bytes) in the same layout with cp932 strings.
std::string candidateListBytes(const CANDIDATELIST* wide, size_t size);

// Window-side capture (need the IME context of the window).
void captureComposition(TextEntryState& t, HWND window, LPARAM parts);
void takeCandidateList(TextEntryState& t, HWND window);

}  // namespace qrt
