#include "sound/riff.h"

#include <algorithm>
#include <cstring>

namespace qrt {

namespace {

// Positions are 64-bit: a chunk's 32-bit size added to its place must not
// wrap around on a 32-bit machine.
using Offset = uint64_t;

uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool idAt(std::span<const uint8_t> f, Offset at, const char (&id)[5]) {
  return at + 4 <= f.size() && std::memcmp(f.data() + at, id, 4) == 0;
}

// Chunk identifiers are four printable characters; a pad byte is not one.
bool plausibleIdAt(std::span<const uint8_t> f, Offset at) {
  if (at + 4 > f.size()) return false;
  return std::all_of(f.data() + at, f.data() + at + 4, [](uint8_t b) { return b >= 0x20 && b <= 0x7E; });
}

// Where the chunk after one whose body of `size` bytes starts at `body`
// begins. RIFF pads an odd-sized chunk to an even length, but files written
// without the pad byte exist too: the next chunk is taken from whichever of
// the two places holds one, "data" first.
Offset nextChunk(std::span<const uint8_t> f, Offset body, uint32_t size) {
  const Offset end = body + size;
  if (size % 2 == 0) return end;
  if (idAt(f, end, "data")) return end;
  if (idAt(f, end + 1, "data")) return end + 1;
  return plausibleIdAt(f, end) ? end : end + 1;
}

WaveFormat formatAt(const uint8_t* p) {
  WaveFormat w;
  w.formatTag = le16(p);
  w.channels = le16(p + 2);
  w.samplesPerSecond = le32(p + 4);
  w.averageBytesPerSecond = le32(p + 8);
  w.blockAlign = le16(p + 12);
  w.bitsPerSample = le16(p + 14);
  return w;
}

}  // namespace

bool readWave(std::span<const uint8_t> f, WaveImage& out) {
  // Offsets are handed out as 32-bit numbers.
  if (f.size() > UINT32_MAX) return false;
  if (!idAt(f, 0, "RIFF") || !idAt(f, 8, "WAVE")) return false;
  Offset at = 12;
  if (!idAt(f, at, "fmt ") || at + 8 > f.size()) return false;
  const uint32_t fmtSize = le32(f.data() + at + 4);
  Offset body = at + 8;
  if (fmtSize < 16 || body + fmtSize > f.size()) return false;
  out.format = formatAt(f.data() + body);
  at = nextChunk(f, body, fmtSize);

  for (;;) {
    if (at + 8 > f.size()) return false;   // the file ended before "data"
    const uint32_t size = le32(f.data() + at + 4);
    body = at + 8;
    if (idAt(f, at, "data")) {
      out.dataOffset = static_cast<uint32_t>(body);
      out.claimedBytes = size;
      // What a cut file still holds, in whole sample frames: the platform
      // would round a partial frame up with bytes that are not in the file.
      Offset held = std::min<Offset>(size, f.size() - body);
      if (out.format.blockAlign > 1) held -= held % out.format.blockAlign;
      out.dataBytes = static_cast<uint32_t>(held);
      return true;
    }
    if (body + size > f.size()) return false;   // a chunk that runs past the end
    at = nextChunk(f, body, size);
  }
}

MusicSignature musicSignature(std::span<const uint8_t> head) {
  if (idAt(head, 0, "RIFF") && idAt(head, 8, "WAVE")) return MusicSignature::kWave;
  if (head.size() >= 3 && std::memcmp(head.data(), "ID3", 3) == 0) return MusicSignature::kMp3;
  if (idAt(head, 0, "MThd")) return MusicSignature::kMidi;
  return MusicSignature::kUnknown;
}

}  // namespace qrt
