// The containers of sound files, read from their bytes alone: no platform
// types and no file access, so that the readers can be fuzzed natively.
//
// A wave file is read strictly: "RIFF", its size, "WAVE", then the "fmt "
// chunk first of all, then chunks skipped up to the "data" chunk. Anything
// else is not a wave file.
#pragma once
#include <cstdint>
#include <span>

namespace qrt {

// The first 16 bytes of a "fmt " chunk, in the order the file holds them
// (the fields of WAVEFORMATEX before its extra-size field).
struct WaveFormat {
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSecond = 0;
  uint32_t averageBytesPerSecond = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
};

struct WaveImage {
  WaveFormat format;
  uint32_t dataOffset = 0;    // where the samples start in the file
  uint32_t dataBytes = 0;     // whole sample frames the file holds: what "data" claims, or less
  uint32_t claimedBytes = 0;  // what the "data" chunk says it holds
};

// Reads a wave file's container; false when it is not a wave file.
bool readWave(std::span<const uint8_t> file, WaveImage& out);

// What a music file's first bytes say it is.
enum class MusicSignature { kUnknown, kWave, kMp3, kMidi };
constexpr uint32_t kMusicSignatureBytes = 16;
MusicSignature musicSignature(std::span<const uint8_t> head);

}  // namespace qrt
