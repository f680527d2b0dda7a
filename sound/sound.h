// Sound: wave sounds on DirectSound, music through DirectShow, CD audio
// through MCI. Three families, each with its own record.
#pragma once

namespace qrt {

struct Family;

// The wave-sound registry: the DirectSound object and the live sounds.
struct WaveRegistry {};
WaveRegistry* waveRegistry();
Family waveFamily();

// The music list: open music files and their filter graphs.
struct MusicList {};
MusicList* musicList();
Family musicFamily();

// CD audio: the MCI device and whether it is playing.
struct CdState {};
CdState* cdState();
Family cdFamily();

}  // namespace qrt
