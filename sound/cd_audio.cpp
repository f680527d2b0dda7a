// The MM@ family: CD audio through MCI. Every failure of the drive (none
// there, no disc, busy) is only a result of 0 or -1: a game without a CD
// goes on.
#include "sound/cd_audio.h"

#include <new>

#include "base/runtime.h"
#include "engine/call.h"
#include "engine/family.h"

namespace qrt {

namespace {

using CdRecord = PlainRecord<CdState>;

constexpr int32_t kDeviceFailed = -1;

template <typename Params>
bool send(MCIDEVICEID device, UINT message, DWORD flags, Params& params) {
  return mciSendCommandW(device, message, flags, reinterpret_cast<DWORD_PTR>(&params)) == 0;
}

bool stopDevice(MCIDEVICEID device) {
  MCI_GENERIC_PARMS none{};
  return send(device, MCI_STOP, MCI_WAIT, none);
}

void closeDevice(CdState& s) {
  MCI_GENERIC_PARMS none{};
  send(s.device, MCI_CLOSE, MCI_WAIT, none);
  s.device = 0;
}

// The record with its device open, or nullptr.
CdState* openCd() {
  if (!CdRecord::current) return nullptr;
  if (CdRecord::current->device) return CdRecord::current;
  MCI_OPEN_PARMSW open{};
  open.lpstrDeviceType = L"cdaudio";
  if (!send(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_WAIT, open)) return nullptr;
  CdRecord::current->device = open.wDeviceID;
  return CdRecord::current;
}

void setTimeFormat(CdState& s, DWORD format, DWORD wait) {
  MCI_SET_PARMS set{};
  set.dwTimeFormat = format;
  send(s.device, MCI_SET, MCI_SET_TIME_FORMAT | wait, set);
}

std::optional<uint32_t> status(CdState& s, DWORD item) {
  MCI_STATUS_PARMS query{};
  query.dwItem = item;
  if (!send(s.device, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, query)) return std::nullopt;
  return static_cast<uint32_t>(query.dwReturn);
}

// The drive plays by itself; it tells the main window when it is done,
// which nothing waits for.
int32_t play(CdState& s, const CdRange& range) {
  MCI_PLAY_PARMS p{};
  p.dwCallback = reinterpret_cast<DWORD_PTR>(g_host.window);
  p.dwFrom = range.from;
  DWORD flags = MCI_FROM | MCI_NOTIFY;
  if (range.to) {
    p.dwTo = *range.to;
    flags |= MCI_TO;
  }
  if (!send(s.device, MCI_PLAY, flags, p)) return 0;
  s.playing = true;
  return 1;
}

// --- Commands ----------------------------------------------------------------

int32_t cmdMMCdOpen(Call& c) {
  mciSendStringW(L"set cdaudio door open", nullptr, 0, nullptr);
  if (CdRecord::current) CdRecord::current->playing = false;
  return kDone;
}

int32_t cmdMMCdClose(Call& c) {
  mciSendStringW(L"set cdaudio door closed", nullptr, 0, nullptr);
  return kDone;
}

int32_t cmdMMCdPlay(Call& c) {
  CdState* s = openCd();
  if (!s) return 0;
  setTimeFormat(*s, MCI_FORMAT_TMSF, MCI_WAIT);
  const int32_t first = c.i(0);
  uint32_t tracks = 0;
  if (first != 0) {
    const std::optional<uint32_t> n = status(*s, MCI_STATUS_NUMBER_OF_TRACKS);
    if (!n) return 0;
    tracks = *n;
  }
  return play(*s, cdTrackRange(first, c.i(1), tracks));
}

int32_t cmdMMCdPlay2(Call& c) {
  CdState* s = openCd();
  if (!s) return 0;
  setTimeFormat(*s, MCI_FORMAT_TMSF, MCI_WAIT);
  return play(*s, {.from = MCI_MAKE_TMSF(c.i(0), c.i(1), c.i(2), c.i(3))});
}

int32_t cmdMMCdStop(Call& c) {
  if (!CdRecord::current || !stopDevice(CdRecord::current->device)) return 0;
  if (CdRecord::current->device) closeDevice(*CdRecord::current);
  CdRecord::current->playing = false;
  return 1;
}

int32_t cmdMMCdGet(Call& c) {
  constexpr int32_t kRefused = 32767;
  CdState* s = openCd();
  if (!s) return kDeviceFailed;
  const int32_t item = c.i(0);
  DWORD what = 0;
  switch (item) {
    case 1: what = MCI_STATUS_NUMBER_OF_TRACKS; break;
    case 2: what = MCI_STATUS_CURRENT_TRACK; break;
    case 3: setTimeFormat(*s, MCI_FORMAT_TMSF, 0); what = MCI_STATUS_POSITION; break;
    case 4: setTimeFormat(*s, MCI_FORMAT_HMS, 0); what = MCI_STATUS_POSITION; break;
    default: return c.fail(660, kRefused);
  }
  const std::optional<uint32_t> value = status(*s, what);
  if (!value) return kDeviceFailed;
  if (item <= 2) return static_cast<int32_t>(*value);
  const std::optional<int32_t> part = cdPositionPart(item, c.i(1), *value);
  return part ? *part : c.fail(660, kRefused);
}

int32_t cmdMMCdPause(Call& c) {
  MCI_GENERIC_PARMS none{};
  if (CdRecord::current) send(CdRecord::current->device, c.i(0) != 0 ? MCI_RESUME : MCI_PAUSE, MCI_WAIT, none);
  return kDone;
}

std::span<const CommandBinding> cdCommands() {
  static constexpr CommandBinding kBindings[] = {
      {commandId("MM@CDOPEN"), cmdMMCdOpen},
      {commandId("MM@CDCLOSE"), cmdMMCdClose},
      {commandId("MM@CDPLAY"), cmdMMCdPlay},
      {commandId("MM@CDPLAY2"), cmdMMCdPlay2},
      {commandId("MM@CDSTOP"), cmdMMCdStop},
      {commandId("MM@CDGET"), cmdMMCdGet},
      {commandId("MM@CDPAUSE"), cmdMMCdPause},
  };
  return kBindings;
}

}  // namespace

CdRange cdTrackRange(int32_t first, int32_t last, uint32_t tracks) {
  if (first == 0) return {.from = MCI_MAKE_TMSF(1, 0, 0, 0)};
  if (last < first) last = first;
  CdRange range{.from = MCI_MAKE_TMSF(first, 0, 0, 0)};
  if (last > 0 && static_cast<int64_t>(last) < static_cast<int64_t>(tracks))
    range.to = MCI_MAKE_TMSF(last + 1, 0, 0, 0);
  return range;
}

std::optional<int32_t> cdPositionPart(int32_t item, int32_t part, uint32_t position) {
  if (part < 0 || part > 2) return std::nullopt;
  // TMSF keeps the track in byte 0; its parts start at byte 1.
  const int shift = 8 * (item == 3 ? part + 1 : part);
  return static_cast<int32_t>(position >> shift & 0xFF);
}

CdState* cdState() { return CdRecord::current; }

// A disc still playing is stopped; an open device is closed, as nothing
// could close it later.
CdState::~CdState() {
  if (!device) return;
  if (playing) stopDevice(device);
  closeDevice(*this);
}

Family cdFamily() { return {"CD audio", CdRecord::create, CdRecord::release, nullptr, nullptr, cdCommands()}; }

}  // namespace qrt
