// Music: whole files (WAVE, MP3 with an ID3 tag, MIDI) streamed and decoded
// by a DirectShow filter graph of their own.
#pragma once
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <string>

#include "base/registry.h"
#include "sound/sound.h"

namespace qrt {

// The interfaces are declared in the order they are asked for, so that they
// go in the reverse one: the graph itself last.
struct Music : HandleRecord {
  ~Music();                                          // stops the graph first
  std::string name;                                  // as the script gave it, cp932
  Microsoft::WRL::ComPtr<IGraphBuilder> graph;
  Microsoft::WRL::ComPtr<IMediaControl> control;
  Microsoft::WRL::ComPtr<IMediaEvent> events;
  Microsoft::WRL::ComPtr<IMediaSeeking> seeking;
  Microsoft::WRL::ComPtr<IBasicAudio> audio;
  bool paused = false;                               // M@PAUSE: the next M@PLAY does not rewind
};

struct MusicList {
  HandleRegistry<Music, kind::kMusic> music;
};

}  // namespace qrt
