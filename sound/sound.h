// Sound: wave sounds on DirectSound, music through DirectShow, CD audio
// through MCI. Three families, each with its own record: wave_sounds.h,
// music.h and cd_audio.h hold the records for code that looks inside them.
#pragma once

namespace qrt {

struct Family;
struct WaveRegistry;
struct MusicList;
struct CdState;

// Each record, or nullptr before start-up, after shutdown or when it could
// not be made.
WaveRegistry* waveRegistry();
MusicList* musicList();
CdState* cdState();

Family waveFamily();
Family musicFamily();
Family cdFamily();

}  // namespace qrt
