// Wave files and music signatures: whatever the bytes, the reader stays in
// them, and what it accepts describes samples that lie inside the file.
#include <cstdint>
#include <algorithm>
#include <cstdlib>

#include "sound/riff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> file(data, size);
  qrt::WaveImage w;
  if (qrt::readWave(file, w)) {
    if (uint64_t{w.dataOffset} + w.dataBytes > size) abort();
    if (w.dataBytes > w.claimedBytes) abort();
    if (w.format.blockAlign > 1 && w.dataBytes % w.format.blockAlign != 0) abort();
    volatile uint8_t sink = 0;
    if (w.dataBytes) sink = data[w.dataOffset + w.dataBytes - 1];
    (void)sink;
  }
  qrt::musicSignature(file.first(std::min<size_t>(size, qrt::kMusicSignatureBytes)));
  return 0;
}
