// CD audio: the default drive's audio tracks through the MCI "cdaudio"
// device, opened by the first command that needs it.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <optional>

#include "sound/sound.h"

namespace qrt {

struct CdState {
  ~CdState();
  bool playing = false;     // a play started and not stopped since
  MCIDEVICEID device = 0;   // 0 while the device is not open
};

// What MM@CDPLAY plays, in TMSF positions: from the start of track `first`
// to the start of the track after `last`, or to the end of the disc when
// `to` is empty. First 0 is the whole disc; `tracks` is only read otherwise.
struct CdRange {
  uint32_t from = 0;
  std::optional<uint32_t> to;
};
CdRange cdTrackRange(int32_t first, int32_t last, uint32_t tracks);

// The byte of a position MM@CDGET hands out: for item 3 (TMSF) parts 0, 1, 2
// are minutes, seconds and frames; for item 4 (HMS) hours, minutes and
// seconds. Empty for another part.
std::optional<int32_t> cdPositionPart(int32_t item, int32_t part, uint32_t position);

}  // namespace qrt
