// The edit line: typing, caret keys, Enter, and committed IME text.
//
// Double-byte characters are found by walking the text from its start:
// a cp932 trail byte can have the value of a lead byte (亜 is 88 9F), so
// the byte before the caret alone cannot tell where a character begins.
#include <cstdlib>
#include <cstring>
#include <utility>

#include "base/cp932.h"
#include "base/text_entry.h"

namespace qrt {

// ---------------------------------------------------------------- buffers

TextBuffer::TextBuffer(TextBuffer&& other) noexcept
    : data(std::exchange(other.data, nullptr)),
      capacity(std::exchange(other.capacity, 0)),
      length(std::exchange(other.length, 0)) {}

TextBuffer& TextBuffer::operator=(TextBuffer&& other) noexcept {
  if (this != &other) {
    std::free(data);
    data = std::exchange(other.data, nullptr);
    capacity = std::exchange(other.capacity, 0);
    length = std::exchange(other.length, 0);
  }
  return *this;
}

TextBuffer::~TextBuffer() { std::free(data); }

bool TextBuffer::reserve(uint32_t size) {
  if (size <= capacity) return true;
  void* grown = std::realloc(data, size);
  if (!grown) return false;
  data = static_cast<char*>(grown);
  capacity = size;
  return true;
}

bool TextBuffer::assign(const char* bytes, uint32_t n) {
  if (!reserve(n)) return false;
  if (n) std::memcpy(data, bytes, n);
  length = n;
  return true;
}

CandidateBlock::CandidateBlock(CandidateBlock&& other) noexcept
    : handle(std::exchange(other.handle, nullptr)),
      size(std::exchange(other.size, 0)),
      length(std::exchange(other.length, 0)),
      address(std::exchange(other.address, nullptr)) {}

CandidateBlock& CandidateBlock::operator=(CandidateBlock&& other) noexcept {
  if (this != &other) {
    this->~CandidateBlock();
    handle = std::exchange(other.handle, nullptr);
    size = std::exchange(other.size, 0);
    length = std::exchange(other.length, 0);
    address = std::exchange(other.address, nullptr);
  }
  return *this;
}

CandidateBlock::~CandidateBlock() {
  if (!handle) return;
  if (address) GlobalUnlock(handle);
  GlobalFree(handle);
  handle = nullptr;
  address = nullptr;
}

bool CandidateBlock::reserve(uint32_t bytes) {
  if (bytes <= size && handle) return true;
  HGLOBAL grown;
  if (handle) {
    // Unlocked while it moves; on failure the old block stays locked and
    // valid.
    GlobalUnlock(handle);
    grown = GlobalReAlloc(handle, bytes, GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (!grown) {
      address = GlobalLock(handle);
      return false;
    }
  } else {
    grown = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!grown) return false;
  }
  void* locked = GlobalLock(grown);
  if (!locked) {
    // Unusable; keep the block (it is still ours) but record no address.
    handle = grown;
    size = 0;
    address = nullptr;
    return false;
  }
  handle = grown;
  size = bytes;
  address = locked;
  return true;
}

// -------------------------------------------------------------- edit text

namespace {

uint32_t charLength(const TextEntryState& t, uint32_t i) {
  return static_cast<uint32_t>(charWidth932({t.edit.data, t.edit.length}, i));
}

// Start of the character that ends at (or spans) the caret.
uint32_t previousCharStart(const TextEntryState& t) {
  return static_cast<uint32_t>(lastCharStart932({t.edit.data, t.caret}));
}

// Room for the text, one more byte and the NUL; a new buffer starts empty.
bool makeRoomForOneByte(TextEntryState& t) {
  TextBuffer& b = t.edit;
  const bool fresh = b.data == nullptr;
  if (b.capacity < b.length + 2 && !b.reserve(b.length + 100)) return false;
  if (fresh) b.data[0] = '\0';
  return true;
}

void removeBytes(TextEntryState& t, uint32_t at, uint32_t count) {
  TextBuffer& b = t.edit;
  std::memmove(b.data + at, b.data + at + count, b.length - at - count + 1);
  b.length -= count;
}

void commitLine(TextEntryState& t) {
  TextBuffer& line = t.edit;
  // Without room for the committed line the edit text is kept, not lost.
  if (!t.editResult.reserve(line.length + 1)) return;
  if (line.length > 0) {
    std::memcpy(t.editResult.data, line.data, line.length + 1);
    t.editResult.length = line.length;
  } else {
    t.editResult.length = 0;
  }
  line.length = 0;
  t.caret = 0;
  if (line.data) line.data[0] = '\0';
}

}  // namespace

void typeCharacter(TextEntryState& t, uint8_t c) {
  if (c == '\b' || c == '\t' || c == '\r') return;
  if (!makeRoomForOneByte(t)) return;
  TextBuffer& b = t.edit;
  char* at = b.data + t.caret;
  if (t.insert) {
    std::memmove(at + 1, at, b.length - t.caret + 1);
    *at = static_cast<char>(c);
    ++b.length;
  } else if (t.caret < b.length && charLength(t, t.caret) == 2) {
    // The typed byte takes the place of the whole double-byte character.
    removeBytes(t, t.caret, 1);
    *at = static_cast<char>(c);
  } else if (t.caret == b.length) {
    at[0] = static_cast<char>(c);
    at[1] = '\0';
    ++b.length;
  } else {
    *at = static_cast<char>(c);
  }
  ++t.caret;
}

void applyEditKey(TextEntryState& t, unsigned vk) {
  TextBuffer& b = t.edit;
  switch (vk) {
    case VK_BACK:
      if (t.caret > 0) {
        const uint32_t start = previousCharStart(t);
        removeBytes(t, start, t.caret - start);
        t.caret = start;
      }
      break;
    case VK_RETURN: commitLine(t); break;
    case VK_END: t.caret = b.length; break;
    case VK_HOME: t.caret = 0; break;
    case VK_LEFT:
      if (t.caret > 0) t.caret = previousCharStart(t);
      break;
    case VK_RIGHT:
      if (t.caret < b.length) t.caret += charLength(t, t.caret);
      break;
    case VK_DELETE:
      if (t.caret < b.length) removeBytes(t, t.caret, charLength(t, t.caret));
      break;
    default: break;
  }
}

void insertImeResult(TextEntryState& t) {
  if (t.editMode != 1) return;
  TextBuffer& b = t.edit;
  const uint32_t n = t.result.length;
  // A result that would pass the maximum stays only in the result buffer.
  if (int64_t{b.length} + n > int64_t{t.maxLength}) return;
  const bool fresh = b.data == nullptr;
  if (!b.reserve(b.length + n + 1)) return;
  if (fresh) b.data[0] = '\0';
  char* at = b.data + t.caret;
  std::memmove(at + n, at, b.length - t.caret);
  if (n) std::memcpy(at, t.result.data, n);
  b.length += n;
  b.data[b.length] = '\0';
  t.caret += n;
}

}  // namespace qrt
