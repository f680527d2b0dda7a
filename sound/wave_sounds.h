// Wave sounds: whole PCM files in static DirectSound buffers, one buffer per
// sound, all made from one DirectSound object.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <dsound.h>
#include <wrl/client.h>

#include <string>

#include "base/registry.h"
#include "sound/sound.h"

namespace qrt {

struct WaveSound : HandleRecord {
  std::string name;                                  // as the script gave it, cp932
  Microsoft::WRL::ComPtr<IDirectSoundBuffer> buffer;
  bool paused = false;                               // W@PAUSE: the next W@PLAY does not rewind
};

// Members go in reverse order: the buffers before the DirectSound object
// that made them.
struct WaveRegistry {
  Microsoft::WRL::ComPtr<IDirectSound8> device;      // made by the first W@LOAD
  HandleRegistry<WaveSound, kind::kWaveSound> sounds;
};

}  // namespace qrt
