// Capture of the IME's composition, result and candidate list into the
// text-entry state.
//
// The IME is asked through the wide calls and the answers are converted to
// cp932 here: the ANSI calls answer in the machine's code page, which on a
// non-Japanese system turns every kana into "?". Clause offsets and
// attributes count characters in the wide answers and bytes in ours.
#include <windows.h>
#include <imm.h>

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "base/cp932.h"
#include "host/ime_capture.h"

namespace qrt {

namespace {

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c < 0xDC00; }
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c < 0xE000; }

// A wide text part of the context, empty when the IME has none.
std::vector<BYTE> readPart(HIMC context, DWORD part) {
  const LONG size = ImmGetCompositionStringW(context, part, nullptr, 0);
  if (size <= 0) return {};
  std::vector<BYTE> bytes(static_cast<size_t>(size));
  const LONG got = ImmGetCompositionStringW(context, part, bytes.data(), size);
  bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return bytes;
}

// One character in cp932; one '?' for a character cp932 does not have,
// however many units it takes.
std::string oneCharacter(const wchar_t* c, int units) {
  char bytes[4];
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(932, 0, c, units, bytes, sizeof bytes, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return "?";
  return std::string(bytes, static_cast<size_t>(n));
}

std::wstring asText(const std::vector<BYTE>& bytes) {
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

void store(TextBuffer& buffer, const std::string& bytes) {
  // A part that does not fit and cannot grow keeps the last one.
  buffer.assign(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

}  // namespace

Cp932Text toCp932Text(const std::wstring& wide) {
  Cp932Text out;
  out.starts.reserve(wide.size() + 1);
  for (size_t i = 0; i < wide.size(); ++i) {
    out.starts.push_back(static_cast<uint32_t>(out.bytes.size()));
    // A surrogate pair converts as one character; its second half adds
    // no bytes of its own.
    if (isLowSurrogate(wide[i]) && i > 0 && isHighSurrogate(wide[i - 1])) continue;
    const int units = isHighSurrogate(wide[i]) && i + 1 < wide.size() && isLowSurrogate(wide[i + 1]) ? 2 : 1;
    out.bytes += oneCharacter(wide.data() + i, units);
  }
  out.starts.push_back(static_cast<uint32_t>(out.bytes.size()));
  return out;
}

std::string clauseBytes(const Cp932Text& text, const uint32_t* offsets, size_t count) {
  std::string out(count * sizeof(uint32_t), '\0');
  const size_t chars = text.starts.size() - 1;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t at = text.starts[offsets[i] < chars ? offsets[i] : chars];
    std::memcpy(out.data() + i * sizeof(uint32_t), &at, sizeof at);
  }
  return out;
}

std::string attributeBytes(const Cp932Text& text, const BYTE* attributes, size_t count) {
  std::string out;
  const size_t chars = text.starts.size() - 1;
  for (size_t i = 0; i < chars; ++i) {
    const char a = static_cast<char>(i < count ? attributes[i] : ATTR_INPUT);
    out.append(text.starts[i + 1] - text.starts[i], a);
  }
  return out;
}

void captureComposition(TextEntryState& t, HWND window, LPARAM parts) {
  HIMC context = ImmGetContext(window);
  if (context) {
    const Cp932Text composition = toCp932Text(asText(readPart(context, GCS_COMPSTR)));
    if (parts & GCS_COMPSTR) store(t.composition, composition.bytes);
    // A commit without a new composition string, or a cancel (no parts at
    // all), ends the composition: none of it may linger for the script.
    if (!(parts & GCS_COMPSTR) && ((parts & GCS_RESULTSTR) || parts == 0)) {
      t.composition.length = 0;
      t.clauses.length = 0;
      t.attributes.length = 0;
    }
    if (parts & GCS_COMPCLAUSE) {
      const std::vector<BYTE> raw = readPart(context, GCS_COMPCLAUSE);
      store(t.clauses, clauseBytes(composition, reinterpret_cast<const uint32_t*>(raw.data()),
                                   raw.size() / sizeof(uint32_t)));
    }
    if (parts & GCS_COMPATTR) {
      const std::vector<BYTE> raw = readPart(context, GCS_COMPATTR);
      store(t.attributes, attributeBytes(composition, raw.data(), raw.size()));
    }
    if (parts & GCS_RESULTSTR) {
      const std::string result = toCp932Text(asText(readPart(context, GCS_RESULTSTR))).bytes;
      // Only a result that was stored is inserted; an old one is not
      // inserted a second time.
      if (t.result.assign(result.data(), static_cast<uint32_t>(result.size()))) {
        t.candidates.length = 0;
        insertImeResult(t);
      }
    }
    ImmReleaseContext(window, context);
  }
  t.captureState = kCaptureDone;
}

std::string candidateListBytes(const CANDIDATELIST* wide, size_t size) {
  const size_t header = offsetof(CANDIDATELIST, dwOffset) + wide->dwCount * sizeof(DWORD);
  std::string out(header, '\0');
  std::vector<DWORD> offsets(wide->dwCount);
  for (DWORD i = 0; i < wide->dwCount; ++i) {
    offsets[i] = static_cast<DWORD>(out.size());
    // Strings are read only inside the list the IME gave.
    const size_t at = wide->dwOffset[i];
    if (at < size) {
      const auto* text = reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(wide) + at);
      out += narrow932(text, static_cast<int>(wcsnlen(text, (size - at) / sizeof(wchar_t))));
    }
    out += '\0';
  }
  CANDIDATELIST head{};
  head.dwSize = static_cast<DWORD>(out.size());
  head.dwStyle = wide->dwStyle;
  head.dwCount = wide->dwCount;
  head.dwSelection = wide->dwSelection;
  head.dwPageStart = wide->dwPageStart;
  head.dwPageSize = wide->dwPageSize;
  std::memcpy(out.data(), &head, offsetof(CANDIDATELIST, dwOffset));
  if (wide->dwCount)
    std::memcpy(out.data() + offsetof(CANDIDATELIST, dwOffset), offsets.data(),
                wide->dwCount * sizeof(DWORD));
  return out;
}

void takeCandidateList(TextEntryState& t, HWND window) {
  HIMC context = ImmGetContext(window);
  if (!context) return;
  std::string list;
  const DWORD size = ImmGetCandidateListW(context, 0, nullptr, 0);
  if (size >= sizeof(CANDIDATELIST)) {
    std::vector<BYTE> wide(size);
    auto* candidates = reinterpret_cast<CANDIDATELIST*>(wide.data());
    if (ImmGetCandidateListW(context, 0, candidates, size) &&
        offsetof(CANDIDATELIST, dwOffset) + size_t{candidates->dwCount} * sizeof(DWORD) <= size)
      list = candidateListBytes(candidates, size);
  }
  ImmReleaseContext(window, context);
  if (list.empty()) {
    t.candidates.length = 0;
    return;
  }
  // Without room for the new list there is no list: the old one no longer
  // belongs to this composition.
  if (!t.candidates.reserve(static_cast<uint32_t>(list.size()))) {
    t.candidates.length = 0;
    return;
  }
  std::memcpy(t.candidates.address, list.data(), list.size());
  t.candidates.length = static_cast<uint32_t>(list.size());
}

}  // namespace qrt
