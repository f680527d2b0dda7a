#include "tools/media/sound_files.h"

#include <algorithm>
#include <cmath>

namespace qrt::media {

void put16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(Bytes& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

namespace {

void putId(Bytes& out, std::string_view id) { out.insert(out.end(), id.begin(), id.end()); }

void putBig32(Bytes& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// A MIDI variable-length number: seven bits a byte, high bit on all but the last.
void putVarLength(Bytes& out, uint32_t v) {
  uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = static_cast<uint8_t>(v & 0x7F);
    v >>= 7;
  } while (v);
  while (n > 1) out.push_back(groups[--n] | 0x80);
  out.push_back(groups[0]);
}

}  // namespace

Bytes chunk(std::string_view id, const Bytes& body, bool pad) {
  Bytes out;
  putId(out, id);
  put32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  if (pad && body.size() % 2) out.push_back(0);
  return out;
}

Bytes fmtChunk(const PcmFormat& f, bool extended) {
  Bytes body;
  put16(body, 1);   // PCM
  put16(body, f.channels);
  put32(body, f.rate);
  put32(body, f.bytesPerSecond());
  put16(body, f.blockAlign());
  put16(body, f.bits);
  if (extended) put16(body, 0);
  return chunk("fmt ", body);
}

Bytes riffWave(std::initializer_list<Bytes> chunks) {
  Bytes out;
  putId(out, "RIFF");
  uint32_t size = 4;
  for (const Bytes& c : chunks) size += static_cast<uint32_t>(c.size());
  put32(out, size);
  putId(out, "WAVE");
  for (const Bytes& c : chunks) out.insert(out.end(), c.begin(), c.end());
  return out;
}

Bytes waveFile(const PcmFormat& f, const Bytes& samples) {
  return riffWave({fmtChunk(f), chunk("data", samples)});
}

Bytes pcmFrom(const PcmFormat& f, std::span<const float> samples) {
  Bytes out;
  out.reserve(samples.size() * f.blockAlign());
  for (float s : samples) {
    const double v = std::clamp(static_cast<double>(s), -1.0, 1.0);
    for (int c = 0; c < f.channels; ++c) {
      if (f.bits == 8) {
        out.push_back(static_cast<uint8_t>(std::lround(128 + v * 127)));
      } else {
        put16(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767))));
      }
    }
  }
  return out;
}

Bytes tone(const PcmFormat& f, uint32_t frames, double hz) {
  std::vector<float> samples(frames);
  for (uint32_t i = 0; i < frames; ++i)
    samples[i] = static_cast<float>(0.5 * std::sin(2 * 3.14159265358979323846 * hz * i / f.rate));
  return pcmFrom(f, samples);
}

Bytes midiFile(std::span<const Note> notes, uint8_t program) {
  constexpr uint32_t kTicksPerBeat = 96, kTicksPer16th = kTicksPerBeat / 4;
  Bytes track;
  putVarLength(track, 0);
  track.insert(track.end(), {0xC0, program});
  uint32_t rest = 0;
  for (const Note& n : notes) {
    const uint32_t ticks = n.beats16 * kTicksPer16th;
    if (n.key == 0) {
      rest += ticks;
      continue;
    }
    putVarLength(track, rest);
    track.insert(track.end(), {0x90, n.key, 100});
    putVarLength(track, ticks);
    track.insert(track.end(), {0x80, n.key, 0});
    rest = 0;
  }
  putVarLength(track, rest);
  track.insert(track.end(), {0xFF, 0x2F, 0x00});   // end of track

  Bytes out;
  putId(out, "MThd");
  putBig32(out, 6);
  out.insert(out.end(), {0, 0, 0, 1, 0, kTicksPerBeat});   // format 0, one track
  putId(out, "MTrk");
  putBig32(out, static_cast<uint32_t>(track.size()));
  out.insert(out.end(), track.begin(), track.end());
  return out;
}

}  // namespace qrt::media
