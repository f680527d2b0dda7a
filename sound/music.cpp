// The M@ family: music files played through a DirectShow filter graph
// each. The platform streams and decodes; the commands only drive the graph.
#include "sound/music.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "base/cp932.h"
#include "base/whole_file.h"
#include "engine/call.h"
#include "engine/family.h"
#include "sound/riff.h"

namespace qrt {

Music::~Music() {
  if (control) control->Stop();
}

namespace {

// Every graph is stopped and released with the record, while COM is still
// there (the host ends COM after the last family).
using MusicRecord = PlainRecord<MusicList>;

// DirectShow times are in 100 ns; scripts get hundredths of a second.
constexpr LONGLONG kTimeUnit = 100000;

bool makeGraph(Music& m) {
  return SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                    reinterpret_cast<void**>(m.graph.GetAddressOf()))) &&
         SUCCEEDED(m.graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(m.control.GetAddressOf()))) &&
         SUCCEEDED(m.graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(m.events.GetAddressOf()))) &&
         SUCCEEDED(m.graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(m.seeking.GetAddressOf()))) &&
         SUCCEEDED(m.graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(m.audio.GetAddressOf())));
}

HRESULT rewind(Music& m) {
  LONGLONG start = 0;
  return m.seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

Music* findMusic(Call& c) { return MusicRecord::current ? MusicRecord::current->music.find(c.handle(0)) : nullptr; }

// A time in hundredths of a second; never -1, which would end the program.
int32_t hundredths(LONGLONG time) { return static_cast<int32_t>(std::clamp<LONGLONG>(time / kTimeUnit, 0, INT32_MAX)); }

// --- Commands ----------------------------------------------------------------

int32_t cmdMLoad(Call& c) {
  if (c.unset(0)) return c.fail(660);
  if (!MusicRecord::current) return c.fail(620);
  const std::wstring path = widen932(c.s(0));
  uint8_t head[kMusicSignatureBytes] = {};
  uint32_t got = 0;
  if (!readFileHead(path.c_str(), head, kMusicSignatureBytes, got)) return c.fail(680);
  if (musicSignature({head, got}) == MusicSignature::kUnknown) return c.fail(710);

  std::unique_ptr<Music> m(new Music());
  if (!makeGraph(*m)) return c.fail(630);
  if (FAILED(m->graph->RenderFile(path.c_str(), nullptr))) return c.fail(720);
  m->name = c.s(0);
  Music* added = MusicRecord::current->music.add(std::move(m));
  if (!added) return c.fail(620);
  return Call::handleResult(added->handle);
}

// A music that is not paused starts from its beginning, even while it
// plays or after it has played to its end. It is stopped first: a graph
// that has reached its end (under Wine at least) stays there when it is
// only rewound while running.
int32_t cmdMPlay(Call& c) {
  Music* m = findMusic(c);
  if (!m) return c.fail(660);
  if (!m->paused && (FAILED(m->control->Stop()) || FAILED(rewind(*m)))) return c.fail(630);
  m->paused = false;
  if (FAILED(m->control->Run())) return c.fail(630);
  return kDone;
}

int32_t cmdMPause(Call& c) {
  Music* m = findMusic(c);
  if (!m) return c.fail(660);
  if (FAILED(m->control->Pause())) return c.fail(630);
  m->paused = true;
  return kDone;
}

int32_t cmdMStop(Call& c) {
  Music* m = findMusic(c);
  if (!m) return c.fail(660);
  if (FAILED(m->control->Stop()) || FAILED(rewind(*m))) return c.fail(630);
  return kDone;
}

int32_t cmdMRelease(Call& c) {
  Music* m = findMusic(c);
  if (!m) return c.fail(660);
  MusicRecord::current->music.release(m);
  return kDone;
}

int32_t cmdMTempo(Call& c) {
  Music* m = findMusic(c);
  if (!m) return c.fail(660);
  const double rate = c.f(1) == 0.0f ? 1.0 : c.f(1);
  if (FAILED(m->seeking->SetRate(rate))) return c.fail(630);
  return kDone;
}

int32_t cmdMVol(Call& c) {
  Music* m = findMusic(c);
  if (!m) return c.fail(660);
  if (FAILED(m->audio->put_Volume(std::clamp(c.i(1), 0, 10000) - 10000))) return c.fail(630);
  return kDone;
}

int32_t cmdMPan(Call& c) {
  Music* m = findMusic(c);
  if (!m) return c.fail(660);
  if (FAILED(m->audio->put_Balance(std::clamp(c.i(1), -10000, 10000)))) return c.fail(630);
  return kDone;
}

// The graph's current and stop positions; false after the box.
bool readPositions(Call& c, LONGLONG& current, LONGLONG& stop) {
  Music* m = findMusic(c);
  if (!m) return c.fail(660, false);
  if (FAILED(m->seeking->GetPositions(&current, &stop))) return c.fail(630, false);
  return true;
}

int32_t cmdMLTime(Call& c) {
  LONGLONG current = 0, stop = 0;
  if (!readPositions(c, current, stop)) return -1;
  return hundredths(stop);
}

// The time left to play: 0 once the music is at its end.
int32_t cmdMRTime(Call& c) {
  LONGLONG current = 0, stop = 0;
  if (!readPositions(c, current, stop)) return -1;
  return hundredths(stop - current);
}

std::span<const CommandBinding> musicCommands() {
  static constexpr CommandBinding kBindings[] = {
      {commandId("M@LOAD"), cmdMLoad},
      {commandId("M@PLAY"), cmdMPlay},
      {commandId("M@PAUSE"), cmdMPause},
      {commandId("M@STOP"), cmdMStop},
      {commandId("M@RELEASE"), cmdMRelease},
      {commandId("M@TEMPO"), cmdMTempo},
      {commandId("M@RTIME"), cmdMRTime},
      {commandId("M@VOL"), cmdMVol},
      {commandId("M@PAN"), cmdMPan},
      {commandId("M@LTIME"), cmdMLTime},
  };
  return kBindings;
}

}  // namespace

MusicList* musicList() { return MusicRecord::current; }

Family musicFamily() { return {"music", MusicRecord::create, MusicRecord::release, nullptr, nullptr, musicCommands()}; }

}  // namespace qrt
