// The runtime's own text entry: a single-line edit buffer fed by typed
// characters and committed IME text, and the IME composition and candidate
// list captured for the script to draw. The window-message handler fills
// it; the IME commands read and reset it. Texts are cp932, lengths bytes.
#pragma once
#include <windows.h>

#include <imm.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qrt {

// A byte buffer that only grows. A growth that fails leaves the old bytes
// and capacity as they were, so a caller that cannot grow skips its change.
struct TextBuffer {
  char* data = nullptr;
  uint32_t capacity = 0;
  uint32_t length = 0;   // valid bytes (the edit text also keeps a NUL after them)

  TextBuffer() = default;
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;
  TextBuffer(TextBuffer&& other) noexcept;
  TextBuffer& operator=(TextBuffer&& other) noexcept;
  ~TextBuffer();

  // Capacity at least `size`; false (nothing changed) when it cannot grow.
  bool reserve(uint32_t size);
  // Exactly `size` when the capacity is smaller, then length = n bytes copied.
  bool assign(const char* bytes, uint32_t n);
};

// The IME's candidate list in the platform's CANDIDATELIST layout, with
// cp932 strings, kept in a locked moveable global block.
struct CandidateBlock {
  HGLOBAL handle = nullptr;
  uint32_t size = 0;         // bytes in the block
  uint32_t length = 0;       // bytes of the current list; 0 = no list
  void* address = nullptr;   // the locked block

  CandidateBlock() = default;
  CandidateBlock(const CandidateBlock&) = delete;
  CandidateBlock& operator=(const CandidateBlock&) = delete;
  CandidateBlock(CandidateBlock&& other) noexcept;
  CandidateBlock& operator=(CandidateBlock&& other) noexcept;
  ~CandidateBlock();

  bool reserve(uint32_t bytes);
};

enum CaptureState : int32_t { kCaptureIdle = 0, kCaptureArmed = 1, kCaptureDone = 2 };

struct TextEntryState {
  int32_t captureState = kCaptureIdle;
  TextBuffer composition;   // GCS_COMPSTR
  TextBuffer clauses;       // GCS_COMPCLAUSE: 32-bit byte offsets into the composition
  TextBuffer attributes;    // GCS_COMPATTR: one byte per composition byte
  TextBuffer result;        // GCS_RESULTSTR
  CandidateBlock candidates;
  uint8_t editMode = 0;     // 1: edit keys and IME results go to the edit text
  TextBuffer edit;          // NUL-terminated edit text; length = edit length
  uint8_t insert = 0;       // 1 insert, 0 overwrite
  uint32_t caret = 0;       // byte index, 0..edit length
  int32_t maxLength = 256;  // limits inserting IME results
  TextBuffer editResult;    // the line committed by Enter
};

// Typing one character byte at the caret (WM_CHAR). Codes 8, 9 and 13 are
// not typed.
void typeCharacter(TextEntryState& t, uint8_t c);

// An edit key (WM_KEYDOWN in edit mode): Backspace, Enter, End, Home, Left,
// Right, Delete; other keys change nothing.
void applyEditKey(TextEntryState& t, unsigned vk);

// Inserts the result buffer at the caret when edit mode is on and the text
// stays within the maximum length.
void insertImeResult(TextEntryState& t);

}  // namespace qrt
