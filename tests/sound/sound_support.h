// What the sound tests share: sound files written on the fly into a folder
// of their own, and the platform objects behind a script's handles, so that
// a test can ask DirectSound and DirectShow what a player would hear.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "sound/music.h"
#include "sound/wave_sounds.h"
#include "tools/media/sound_files.h"

namespace qrt::test {

using media::Bytes;

// Writes `bytes` as `name` (cp932) into the test's folder under the
// temporary folder; returns the full path in cp932, as a script names it.
class SoundFolder {
 public:
  explicit SoundFolder(const std::string& test);
  std::string write(const std::string& name, const Bytes& bytes) const;
  std::string path(const std::string& name) const;   // a file that is not written

 private:
  std::string folder_;
};

// A load the command must refuse: `file` written and named, or when empty
// a missing file (code 680) or no name at all (any other code).
struct Refusal {
  const char* what;
  std::optional<Bytes> file;
  int code;
};
// Runs `command` (W@LOAD, M@LOAD) on each: one box with the code naming the
// command, the program ended there, nothing loaded.
void expectRefused(const SoundFolder& dir, const char* command, const std::vector<Refusal>& refusals);

// The buffer or graph behind a handle, or nullptr.
IDirectSoundBuffer* soundBuffer(uint32_t handle);
Music* musicOf(uint32_t handle);

DWORD playCursor(IDirectSoundBuffer* b);
bool playing(IDirectSoundBuffer* b);
// The graph's current position and length, in 100 ns.
LONGLONG musicPosition(Music* m);
LONGLONG musicLength(Music* m);

// MPEG-1 layer III frames of silence (128 kbit/s, 44.1 kHz), `frames` of
// them, with or without an ID3v2 tag in front.
Bytes mp3Silence(int frames, bool id3);

// A plain wave file: 16-bit mono at 22050 Hz, a 440 Hz tone.
Bytes toneWave(double seconds, media::PcmFormat f = {});

}  // namespace qrt::test
