// The sound families' records. Their commands come with the families.
#include <new>

#include "engine/family.h"
#include "sound/sound.h"

namespace qrt {

namespace {

WaveRegistry* g_waves = nullptr;
MusicList* g_music = nullptr;
CdState* g_cd = nullptr;

template <typename Record, Record** Slot>
void create() {
  if (!*Slot) *Slot = new (std::nothrow) Record();
}

template <typename Record, Record** Slot>
void release() {
  delete *Slot;
  *Slot = nullptr;
}

}  // namespace

WaveRegistry* waveRegistry() { return g_waves; }
MusicList* musicList() { return g_music; }
CdState* cdState() { return g_cd; }

Family waveFamily() {
  return {"wave sounds", create<WaveRegistry, &g_waves>, release<WaveRegistry, &g_waves>, nullptr, nullptr, {}};
}
Family musicFamily() {
  return {"music", create<MusicList, &g_music>, release<MusicList, &g_music>, nullptr, nullptr, {}};
}
Family cdFamily() { return {"CD audio", create<CdState, &g_cd>, release<CdState, &g_cd>, nullptr, nullptr, {}}; }

}  // namespace qrt
