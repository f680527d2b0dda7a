// The sound families' records. Their commands come with the families.
#include "engine/family.h"
#include "sound/sound.h"

namespace qrt {

WaveRegistry* waveRegistry() { return PlainRecord<WaveRegistry>::current; }
MusicList* musicList() { return PlainRecord<MusicList>::current; }
CdState* cdState() { return PlainRecord<CdState>::current; }

Family waveFamily() {
  return {"wave sounds", PlainRecord<WaveRegistry>::create, PlainRecord<WaveRegistry>::release, nullptr, nullptr, {}};
}
Family musicFamily() {
  return {"music", PlainRecord<MusicList>::create, PlainRecord<MusicList>::release, nullptr, nullptr, {}};
}
Family cdFamily() { return {"CD audio", PlainRecord<CdState>::create, PlainRecord<CdState>::release, nullptr, nullptr, {}}; }

}  // namespace qrt
