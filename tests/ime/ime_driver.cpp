#include "tests/ime/ime_driver.h"

#include <windows.h>
#include <imm.h>

#include <cstring>

#include "base/runtime.h"
#include "tests/input/input_driver.h"

// The input-method side of the input context, as an IME sees it; the
// platform headers here declare only the application side.
namespace {

struct CompositionString {
  DWORD dwSize;
  DWORD dwCompReadAttrLen, dwCompReadAttrOffset;
  DWORD dwCompReadClauseLen, dwCompReadClauseOffset;
  DWORD dwCompReadStrLen, dwCompReadStrOffset;
  DWORD dwCompAttrLen, dwCompAttrOffset;
  DWORD dwCompClauseLen, dwCompClauseOffset;
  DWORD dwCompStrLen, dwCompStrOffset;
  DWORD dwCursorPos;
  DWORD dwDeltaStart;
  DWORD dwResultReadClauseLen, dwResultReadClauseOffset;
  DWORD dwResultReadStrLen, dwResultReadStrOffset;
  DWORD dwResultClauseLen, dwResultClauseOffset;
  DWORD dwResultStrLen, dwResultStrOffset;
  DWORD dwPrivateSize, dwPrivateOffset;
};

struct CandidateInfo {
  DWORD dwSize;
  DWORD dwCount;
  DWORD dwOffset[32];
  DWORD dwPrivateSize;
  DWORD dwPrivateOffset;
};

struct InputContext {
  HWND hWnd;
  BOOL fOpen;
  POINT ptStatusWndPos;
  POINT ptSoftKbdPos;
  DWORD fdwConversion;
  DWORD fdwSentence;
  union {
    LOGFONTA A;
    LOGFONTW W;
  } lfFont;
  COMPOSITIONFORM cfCompForm;
  CANDIDATEFORM cfCandForm[4];
  HIMCC hCompStr;
  HIMCC hCandInfo;
  HIMCC hGuideLine;
  HIMCC hPrivate;
  DWORD dwNumMsgBuf;
  HIMCC hMsgBuf;
  DWORD fdwInit;
  DWORD dwReserve[3];
};

}  // namespace

extern "C" {
InputContext* WINAPI ImmLockIMC(HIMC);
BOOL WINAPI ImmUnlockIMC(HIMC);
LPVOID WINAPI ImmLockIMCC(HIMCC);
BOOL WINAPI ImmUnlockIMCC(HIMCC);
HIMCC WINAPI ImmCreateIMCC(DWORD);
HIMCC WINAPI ImmDestroyIMCC(HIMCC);
}

namespace qrt::test {

// --------------------------------------------------------------- the IME

namespace {

class Context {
 public:
  Context() : context_(ImmGetContext(g_host.window)) {}
  ~Context() {
    if (context_) ImmReleaseContext(g_host.window, context_);
  }
  operator HIMC() const { return context_; }

 private:
  HIMC context_;
};

// Replaces one block of the input context with `bytes`, as an IME does
// when its state changes.
void replaceBlock(HIMCC InputContext::*block, const std::vector<BYTE>& bytes) {
  Context context;
  InputContext* ic = ImmLockIMC(context);
  if (!ic) return;
  HIMCC fresh = ImmCreateIMCC(static_cast<DWORD>(bytes.size()));
  std::memcpy(ImmLockIMCC(fresh), bytes.data(), bytes.size());
  ImmUnlockIMCC(fresh);
  if (ic->*block) ImmDestroyIMCC(ic->*block);
  ic->*block = fresh;
  ImmUnlockIMC(context);
}

template <typename T>
void append(std::vector<BYTE>& out, const T* data, size_t count, DWORD* offset, DWORD* length, DWORD lengthUnit) {
  *offset = static_cast<DWORD>(out.size());
  *length = static_cast<DWORD>(count * sizeof(T) / lengthUnit);
  out.resize(out.size() + count * sizeof(T));
  if (count) std::memcpy(out.data() + *offset, data, count * sizeof(T));
}

}  // namespace

void imeCompose(const wchar_t* reading) {
  Context context;
  ImmSetOpenStatus(context, TRUE);
  ImmSetCompositionStringW(context, SCS_SETSTR, const_cast<wchar_t*>(reading),
                           static_cast<DWORD>(wcslen(reading) * sizeof(wchar_t)), nullptr, 0);
}

void imeComplete() {
  Context context;
  ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_COMPLETE, 0);
}

void imeCancel() {
  if (!g_host.window) return;
  Context context;
  if (context) ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
  settle();
}

void imeReportClauses(const std::vector<std::wstring>& clauses, int target) {
  std::wstring text;
  std::vector<DWORD> offsets{0};
  std::vector<BYTE> attributes;
  for (size_t i = 0; i < clauses.size(); ++i) {
    text += clauses[i];
    offsets.push_back(static_cast<DWORD>(text.size()));
    const BYTE a = static_cast<int>(i) + 1 == target ? ATTR_TARGET_CONVERTED : ATTR_CONVERTED;
    attributes.insert(attributes.end(), clauses[i].size(), a);
  }
  std::vector<BYTE> block(sizeof(CompositionString));
  CompositionString head{};
  append(block, attributes.data(), attributes.size(), &head.dwCompAttrOffset, &head.dwCompAttrLen, 1);
  append(block, offsets.data(), offsets.size(), &head.dwCompClauseOffset, &head.dwCompClauseLen, 1);
  append(block, text.data(), text.size(), &head.dwCompStrOffset, &head.dwCompStrLen, sizeof(wchar_t));
  head.dwSize = static_cast<DWORD>(block.size());
  head.dwCursorPos = static_cast<DWORD>(text.size());
  std::memcpy(block.data(), &head, sizeof head);
  replaceBlock(&InputContext::hCompStr, block);
  SendMessageW(g_host.window, WM_IME_COMPOSITION, text.empty() ? 0 : text.back(),
               GCS_COMPSTR | GCS_COMPATTR | GCS_COMPCLAUSE | GCS_CURSORPOS);
}

void imeReportText(const std::wstring& text) {
  std::vector<BYTE> block(sizeof(CompositionString));
  CompositionString head{};
  append(block, text.data(), text.size(), &head.dwCompStrOffset, &head.dwCompStrLen, sizeof(wchar_t));
  head.dwSize = static_cast<DWORD>(block.size());
  head.dwCursorPos = static_cast<DWORD>(text.size());
  std::memcpy(block.data(), &head, sizeof head);
  replaceBlock(&InputContext::hCompStr, block);
  SendMessageW(g_host.window, WM_IME_COMPOSITION, text.empty() ? 0 : text.back(), GCS_COMPSTR | GCS_CURSORPOS);
}

void imeOpenCandidates(const std::vector<std::wstring>& candidates, int selection) {
  const size_t listAt = sizeof(CandidateInfo);
  const size_t header = offsetof(CANDIDATELIST, dwOffset) + candidates.size() * sizeof(DWORD);
  std::vector<BYTE> block(listAt + header);
  std::vector<DWORD> offsets;
  for (const std::wstring& c : candidates) {
    offsets.push_back(static_cast<DWORD>(block.size() - listAt));
    const auto* p = reinterpret_cast<const BYTE*>(c.c_str());
    block.insert(block.end(), p, p + (c.size() + 1) * sizeof(wchar_t));
  }
  CandidateInfo info{};
  info.dwSize = static_cast<DWORD>(block.size());
  info.dwCount = 1;
  info.dwOffset[0] = static_cast<DWORD>(listAt);
  std::memcpy(block.data(), &info, sizeof info);
  CANDIDATELIST list{};
  list.dwSize = static_cast<DWORD>(block.size() - listAt);
  list.dwStyle = IME_CAND_READ;
  list.dwCount = static_cast<DWORD>(candidates.size());
  list.dwSelection = static_cast<DWORD>(selection);
  list.dwPageSize = 9;
  std::memcpy(block.data() + listAt, &list, offsetof(CANDIDATELIST, dwOffset));
  std::memcpy(block.data() + listAt + offsetof(CANDIDATELIST, dwOffset), offsets.data(),
              offsets.size() * sizeof(DWORD));
  replaceBlock(&InputContext::hCandInfo, block);
  SendMessageW(g_host.window, WM_IME_NOTIFY, IMN_OPENCANDIDATE, 1);
}

// ---------------------------------------------------------- the fixture

void ImeGame::SetUp() { g_host.rt.text = TextEntryState{}; }

void ImeGame::TearDown() {
  imeCancel();
  program_.reset();
  g_host.rt.text = TextEntryState{};
}

void ImeGame::start(Script& script) { start(script.build()); }

void ImeGame::start(const std::vector<uint8_t>& image) {
  program_.reset();   // one game, one window at a time
  program_ = std::make_unique<Program>(image);
  activateMainWindow();
}

bool ImeGame::step() {
  settle();
  return program_->step();
}

void ImeGame::type(const std::string& chars) {
  for (char c : chars) PostMessageW(g_host.window, WM_CHAR, static_cast<unsigned char>(c), 1);
  settle();
}

void ImeGame::key(unsigned vk) {
  PostMessageW(g_host.window, WM_KEYDOWN, vk, 1);
  PostMessageW(g_host.window, WM_KEYUP, vk, 0xC0000001);
  settle();
}

}  // namespace qrt::test
