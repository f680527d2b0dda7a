// The W@ family: wave files loaded whole into DirectSound buffers, played
// once or looped, paused, and changed in frequency, volume and pan.
#include "sound/wave_sounds.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "base/cp932.h"
#include "base/runtime.h"
#include "base/whole_file.h"
#include "engine/call.h"
#include "engine/family.h"
#include "sound/riff.h"

namespace qrt {

namespace {

using Microsoft::WRL::ComPtr;

using WaveRecord = PlainRecord<WaveRegistry>;

// Static, so that the whole sound sits in one buffer; frequency, pan and
// volume under the script's control; audible while another application is
// active; and the exact play cursor.
constexpr DWORD kBufferFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                               DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
static_assert(kBufferFlags == 0x180E2);
static_assert(sizeof(DSBUFFERDESC) == 36, "the buffer description with its 3D algorithm");

// A buffer holds at most DSBSIZE_MAX bytes; a file may add its headers and
// other chunks to that, but nothing larger is worth reading.
constexpr uint32_t kWaveFileCap = DSBSIZE_MAX + (1u << 20);
constexpr double kMaxFrequency = 100000.0;

bool ensureDevice(WaveRegistry& r) {
  if (r.device) return true;
  ComPtr<IDirectSound8> device;
  if (FAILED(DirectSoundCreate8(nullptr, device.GetAddressOf(), nullptr))) return false;
  if (FAILED(device->SetCooperativeLevel(g_host.window, DSSCL_EXCLUSIVE))) return false;
  r.device = std::move(device);
  return true;
}

WAVEFORMATEX formatOf(const WaveFormat& w) {
  WAVEFORMATEX f{};
  f.wFormatTag = w.formatTag;
  f.nChannels = w.channels;
  f.nSamplesPerSec = w.samplesPerSecond;
  f.nAvgBytesPerSec = w.averageBytesPerSecond;
  f.nBlockAlign = w.blockAlign;
  f.wBitsPerSample = w.bitsPerSample;
  f.cbSize = 0;
  return f;
}

// A buffer holding the samples, or nothing when DirectSound refuses the
// format or the size, or the buffer cannot be filled.
ComPtr<IDirectSoundBuffer> createBuffer(IDirectSound8& device, const WaveImage& wave, const uint8_t* file) {
  WAVEFORMATEX format = formatOf(wave.format);
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = kBufferFlags;
  desc.dwBufferBytes = wave.dataBytes;
  desc.lpwfxFormat = &format;
  desc.guid3DAlgorithm = GUID_NULL;
  ComPtr<IDirectSoundBuffer> buffer;
  if (FAILED(device.CreateSoundBuffer(&desc, buffer.GetAddressOf(), nullptr)) || !buffer) return nullptr;

  void* first = nullptr;
  void* second = nullptr;
  DWORD firstBytes = 0, secondBytes = 0;
  if (FAILED(buffer->Lock(0, wave.dataBytes, &first, &firstBytes, &second, &secondBytes, 0))) return nullptr;
  const uint8_t* samples = file + wave.dataOffset;
  const DWORD intoFirst = std::min<DWORD>(firstBytes, wave.dataBytes);
  if (first) std::memcpy(first, samples, intoFirst);
  if (second) std::memcpy(second, samples + intoFirst, std::min<DWORD>(secondBytes, wave.dataBytes - intoFirst));
  buffer->Unlock(first, firstBytes, second, secondBytes);
  return buffer;
}

int32_t readFailure(Call& c, WholeFile result) {
  switch (result) {
    case WholeFile::kNoMemory: return c.fail(620);
    case WholeFile::kTooLarge: return c.fail(630);   // more than any buffer holds
    default: return c.fail(680);
  }
}

WaveSound* findSound(Call& c) { return WaveRecord::current ? WaveRecord::current->sounds.find(c.handle(0)) : nullptr; }

// --- Commands ----------------------------------------------------------------

int32_t cmdWLoad(Call& c) {
  // Without a sound device the program ends here, as it always has: there
  // is no box for it.
  if (!WaveRecord::current || !ensureDevice(*WaveRecord::current)) return kFailed;
  if (c.unset(0)) return c.fail(660);
  // Read into cleared memory: under Wine that is faster than a read into
  // pages never touched.
  std::vector<uint8_t> bytes;
  const WholeFile read = readWholeFile(widen932(c.s(0)).c_str(), kWaveFileCap, bytes);
  if (read != WholeFile::kRead) return readFailure(c, read);

  WaveImage wave;
  if (!readWave(bytes, wave)) return c.fail(710);
  ComPtr<IDirectSoundBuffer> buffer = createBuffer(*WaveRecord::current->device.Get(), wave, bytes.data());
  if (!buffer) return c.fail(630);
  WaveSound* s = WaveRecord::current->sounds.make();
  if (!s) return c.fail(620);
  s->buffer = std::move(buffer);
  s->name = c.s(0);
  return Call::handleResult(s->handle);
}

// A sound that is not paused starts from its beginning, even while it plays.
int32_t cmdWPlay(Call& c) {
  WaveSound* s = findSound(c);
  if (!s) return c.fail(660);
  if (!s->paused && FAILED(s->buffer->SetCurrentPosition(0))) return c.fail(630);
  s->paused = false;
  if (FAILED(s->buffer->Play(0, 0, c.i(1) != 0 ? DSBPLAY_LOOPING : 0))) return c.fail(630);
  return kDone;
}

int32_t cmdWRelease(Call& c) {
  WaveSound* s = findSound(c);
  if (!s) return c.fail(660);
  WaveRecord::current->sounds.release(s);
  return kDone;
}

int32_t cmdWStop(Call& c) {
  WaveSound* s = findSound(c);
  if (!s) return c.fail(660);
  if (FAILED(s->buffer->Stop()) || FAILED(s->buffer->SetCurrentPosition(0))) return c.fail(630);
  return kDone;
}

int32_t cmdWPause(Call& c) {
  WaveSound* s = findSound(c);
  if (!s) return c.fail(660);
  if (FAILED(s->buffer->Stop())) return c.fail(630);
  s->paused = true;
  return kDone;
}

// The factor applies to the frequency in force; 0 or less (or not a number)
// returns to the file's own rate. DirectSound refuses rates out of its range,
// and the sound then keeps the one it has.
int32_t cmdWTempo(Call& c) {
  WaveSound* s = findSound(c);
  if (!s) return c.fail(660);
  DWORD current = 0;
  s->buffer->GetFrequency(&current);
  const double factor = c.f(1);
  DWORD next = DSBFREQUENCY_ORIGINAL;
  if (factor > 0) next = static_cast<DWORD>(std::fmin(factor * current, kMaxFrequency));
  s->buffer->SetFrequency(next);
  return kDone;
}

int32_t cmdWVol(Call& c) {
  WaveSound* s = findSound(c);
  if (!s) return c.fail(660);
  const int32_t volume = std::clamp(c.i(1), 0, 10000);
  if (FAILED(s->buffer->SetVolume(volume - 10000))) return c.fail(630);
  return kDone;
}

int32_t cmdWPan(Call& c) {
  WaveSound* s = findSound(c);
  if (!s) return c.fail(660);
  if (FAILED(s->buffer->SetPan(std::clamp(c.i(1), -10000, 10000)))) return c.fail(630);
  return kDone;
}

std::span<const CommandBinding> waveCommands() {
  static constexpr CommandBinding kBindings[] = {
      {commandId("W@LOAD"), cmdWLoad},
      {commandId("W@PLAY"), cmdWPlay},
      {commandId("W@RELEASE"), cmdWRelease},
      {commandId("W@STOP"), cmdWStop},
      {commandId("W@PAUSE"), cmdWPause},
      {commandId("W@TEMPO"), cmdWTempo},
      {commandId("W@VOL"), cmdWVol},
      {commandId("W@PAN"), cmdWPan},
  };
  return kBindings;
}

}  // namespace

WaveRegistry* waveRegistry() { return WaveRecord::current; }

Family waveFamily() { return {"wave sounds", WaveRecord::create, WaveRecord::release, nullptr, nullptr, waveCommands()}; }

}  // namespace qrt
