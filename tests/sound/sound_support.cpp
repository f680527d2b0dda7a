#include "tests/sound/sound_support.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "base/cp932.h"
#include "tests/support/script.h"

namespace qrt::test {

SoundFolder::SoundFolder(const std::string& test) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::filesystem::path p = std::filesystem::path(temp) / (L"qrt_sound_" + widen932(test.c_str()));
  std::error_code ec;
  std::filesystem::remove_all(p, ec);
  std::filesystem::create_directories(p);
  folder_ = narrow932(p.wstring().c_str());
}

std::string SoundFolder::path(const std::string& name) const { return folder_ + "\\" + name; }

std::string SoundFolder::write(const std::string& name, const Bytes& bytes) const {
  const std::string full = path(name);
  std::ofstream out(std::filesystem::path(widen932(full.c_str())), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + full);
  return full;
}

void expectRefused(const SoundFolder& dir, const char* command, const std::vector<Refusal>& refusals) {
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.what);
    Script script;
    int name = 0;
    if (r.file) name = script.text(dir.write("refused", *r.file));
    else if (r.code == 680) name = script.text(dir.path("missing"));
    script.run(command, {name});
    const int after = script.marker();
    Game game(script);
    game.runToEnd();
    EXPECT_EQ(game.boxCodes(), std::vector<int>{r.code});
    ASSERT_FALSE(game.boxes().empty());
    EXPECT_NE(game.boxes()[0].text.find(command), std::string::npos);
    EXPECT_EQ(game.slot(after), 0u);
    EXPECT_EQ(waveRegistry()->sounds.size() + musicList()->music.size(), 0u);
  }
}

IDirectSoundBuffer* soundBuffer(uint32_t handle) {
  WaveRegistry* r = waveRegistry();
  WaveSound* s = r ? r->sounds.find(handle) : nullptr;
  return s ? s->buffer.Get() : nullptr;
}

Music* musicOf(uint32_t handle) {
  MusicList* list = musicList();
  return list ? list->music.find(handle) : nullptr;
}

DWORD playCursor(IDirectSoundBuffer* b) {
  DWORD play = 0, write = 0;
  b->GetCurrentPosition(&play, &write);
  return play;
}

bool playing(IDirectSoundBuffer* b) {
  DWORD status = 0;
  b->GetStatus(&status);
  return status & DSBSTATUS_PLAYING;
}

LONGLONG musicPosition(Music* m) {
  LONGLONG current = 0, stop = 0;
  m->seeking->GetPositions(&current, &stop);
  return current;
}

LONGLONG musicLength(Music* m) {
  LONGLONG current = 0, stop = 0;
  m->seeking->GetPositions(&current, &stop);
  return stop;
}

Bytes mp3Silence(int frames, bool id3) {
  Bytes out;
  if (id3) out.insert(out.end(), {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0});   // version 2.3, no frames
  // 144 * 128000 / 44100 = 417 bytes a frame; side information and main
  // data all zero decode as silence.
  constexpr size_t kFrameBytes = 417;
  for (int i = 0; i < frames; ++i) {
    const size_t at = out.size();
    out.resize(at + kFrameBytes, 0);
    out[at] = 0xFF;
    out[at + 1] = 0xFB;   // MPEG-1, layer III, no CRC
    out[at + 2] = 0x90;   // 128 kbit/s, 44.1 kHz, no padding
    out[at + 3] = 0xC4;   // mono, original
  }
  return out;
}

Bytes toneWave(double seconds, media::PcmFormat f) {
  return media::waveFile(f, media::tone(f, static_cast<uint32_t>(seconds * f.rate), 440.0));
}

}  // namespace qrt::test
