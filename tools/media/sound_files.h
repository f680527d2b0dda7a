// Sound files written from scratch, for the tests, the demo and the
// benchmarks: RIFF wave files of any shape (well-formed or not) and
// standard MIDI files. No platform code, no media from outside.
//
//   PcmFormat f{.channels = 2, .bits = 16, .rate = 44100};
//   auto file = waveFile(f, tone(f, 44100, 440.0));          // one second
//   auto odd = riffWave({fmtChunk(f), chunk("LIST", {1, 2, 3}), chunk("data", samples)});
#pragma once
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

namespace qrt::media {

using Bytes = std::vector<uint8_t>;

struct PcmFormat {
  uint16_t channels = 1;
  uint16_t bits = 16;      // 8 (unsigned samples) or 16 (signed)
  uint32_t rate = 22050;
  uint16_t blockAlign() const { return static_cast<uint16_t>(channels * bits / 8); }
  uint32_t bytesPerSecond() const { return rate * blockAlign(); }
};

void put16(Bytes& out, uint32_t v);
void put32(Bytes& out, uint32_t v);

// An id, a size and the body; with `pad`, an odd body gets its pad byte.
Bytes chunk(std::string_view id, const Bytes& body, bool pad = true);
// The 16-byte PCM "fmt " chunk, or its 18-byte extended form (with an
// extension size of 0).
Bytes fmtChunk(const PcmFormat& f, bool extended = false);
// "RIFF", the size of what follows, "WAVE", then the chunks as given.
Bytes riffWave(std::initializer_list<Bytes> chunks);
Bytes waveFile(const PcmFormat& f, const Bytes& samples);

// `frames` sample frames of a sine tone at `hz`, at about half scale, in
// every channel.
Bytes tone(const PcmFormat& f, uint32_t frames, double hz);
// Real samples in -1 ... 1 as the format's bytes, one channel copied into all.
Bytes pcmFrom(const PcmFormat& f, std::span<const float> samples);

// A format-0 standard MIDI file at 120 beats a minute: notes played one
// after another on channel 0 with the given General MIDI program.
struct Note {
  uint8_t key;           // 60 = middle C; 0 = a rest
  uint16_t beats16;      // length in sixteenth notes
};
Bytes midiFile(std::span<const Note> notes, uint8_t program = 0);

}  // namespace qrt::media
