// Create and release functions of the per-family state records, in the
// order the host creates them at start-up and releases them at shutdown.
// A record that cannot be created stays absent (nullptr); its family checks.
#pragma once

namespace qrt {

struct EngineState;
struct DisplayState;
struct InputState;
struct MusicList;
struct NetworkRegistry;
struct CdState;
struct WaveRegistry;
struct TimerImeRecord;

DisplayState* createDisplayState();
void releaseDisplayState(DisplayState* d);
bool displayHasDirect3D(const DisplayState* d);   // the requires-setup test

InputState* createInputState();
void releaseInputState(InputState* s);

MusicList* createMusicList();
void releaseMusicList(MusicList* m);

NetworkRegistry* createNetworkRegistry();
void releaseNetworkRegistry(NetworkRegistry* n);

CdState* createCdState();
void releaseCdState(CdState* c);

WaveRegistry* createWaveRegistry();
void releaseWaveRegistry(WaveRegistry* w);

TimerImeRecord* createTimerImeRecord();
void releaseTimerImeRecord(TimerImeRecord* t);

}  // namespace qrt
