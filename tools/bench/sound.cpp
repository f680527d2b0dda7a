// Loading sounds and music: W@LOAD + W@RELEASE of a 10 MB wave file, and
// M@LOAD + M@LTIME + M@RELEASE of a three-minute one, through the engine
// (op 3, dispatch, the handlers), against plain code making the same
// platform calls: read the file, make and fill the buffer; build the graph,
// render the file, ask its length.
//
//   sound_bench [rounds]        (default 3; each round times both paths)
//
// The files are written to the temporary folder first and read once, so
// that every timed load finds them in the file cache.
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <dsound.h>
#include <dshow.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/cp932.h"
#include "tests/support/script.h"
#include "tools/media/sound_files.h"
#include "tools/bench/clock.h"

using Microsoft::WRL::ComPtr;
using namespace qrt::test;

namespace {

constexpr int kWaveLoads = 20, kMusicLoads = 10;

using qrt::bench::now;

std::string writeTemp(const char* name, const qrt::media::Bytes& bytes) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string path = std::string(temp) + name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return path;
}

// Seconds per load through the engine: one load first (it makes the
// DirectSound object), then `count` more, timed.
double engineLoads(const std::function<void(Script&)>& load, int count) {
  Script s;
  load(s);
  s.wait();
  s.loop(count, [&] { load(s); });
  Game game(s);
  game.step();
  const double start = now();
  game.runToEnd();
  const double seconds = now() - start;
  if (!game.boxes().empty()) {
    std::fprintf(stderr, "sound_bench: the engine raised box %d\n", game.boxes()[0].code);
    std::exit(1);
  }
  return seconds / count;
}

// --- The plain paths ---------------------------------------------------------

// The whole file in memory. The memory is cleared first: under Wine a read
// into pages never touched costs more than clearing them and reading then.
std::unique_ptr<uint8_t[]> readFile(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  LARGE_INTEGER size{};
  GetFileSizeEx(f, &size);
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[static_cast<size_t>(size.QuadPart)]());
  DWORD got = 0;
  ReadFile(f, bytes.get(), static_cast<DWORD>(size.QuadPart), &got, nullptr);
  CloseHandle(f);
  return bytes;
}

// A canonical 44-byte header: "fmt " at 12, "data" at 36.
void plainWaveLoad(IDirectSound8* device, const std::wstring& path) {
  const std::unique_ptr<uint8_t[]> file = readFile(path);
  WAVEFORMATEX format{};
  std::memcpy(&format, file.get() + 20, 16);
  DWORD bytes = 0;
  std::memcpy(&bytes, file.get() + 40, 4);
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = 0x180E2;
  desc.dwBufferBytes = bytes;
  desc.lpwfxFormat = &format;
  ComPtr<IDirectSoundBuffer> buffer;
  device->CreateSoundBuffer(&desc, buffer.GetAddressOf(), nullptr);
  void* p = nullptr;
  DWORD locked = 0;
  buffer->Lock(0, bytes, &p, &locked, nullptr, nullptr, 0);
  std::memcpy(p, file.get() + 44, locked);
  buffer->Unlock(p, locked, nullptr, 0);
}

double plainWaveLoads(const std::wstring& path, int count) {
  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ComPtr<IDirectSound8> device;
  DirectSoundCreate8(nullptr, device.GetAddressOf(), nullptr);
  device->SetCooperativeLevel(window, DSSCL_EXCLUSIVE);
  plainWaveLoad(device.Get(), path);
  const double start = now();
  for (int i = 0; i < count; ++i) plainWaveLoad(device.Get(), path);
  const double seconds = now() - start;
  device.Reset();
  DestroyWindow(window);
  return seconds / count;
}

LONGLONG plainMusicLoad(const std::wstring& path) {
  ComPtr<IGraphBuilder> graph;
  CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                   reinterpret_cast<void**>(graph.GetAddressOf()));
  graph->RenderFile(path.c_str(), nullptr);
  ComPtr<IMediaSeeking> seeking;
  graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(seeking.GetAddressOf()));
  LONGLONG current = 0, stop = 0;
  seeking->GetPositions(&current, &stop);
  return stop;
}

double plainMusicLoads(const std::wstring& path, int count) {
  CoInitialize(nullptr);
  plainMusicLoad(path);
  const double start = now();
  for (int i = 0; i < count; ++i) plainMusicLoad(path);
  const double seconds = now() - start;
  CoUninitialize();
  return seconds / count;
}

void print(const char* what, const std::vector<double>& engine, const std::vector<double>& plain) {
  auto range = [](const std::vector<double>& v) {
    return std::make_pair(*std::min_element(v.begin(), v.end()) * 1e3, *std::max_element(v.begin(), v.end()) * 1e3);
  };
  const auto [e0, e1] = range(engine);
  const auto [p0, p1] = range(plain);
  std::printf("%-34s engine %7.2f-%7.2f ms   plain %7.2f-%7.2f ms   ratio of the best %5.2f\n", what, e0, e1, p0,
              p1, e0 / p0);
}

}  // namespace

int main(int argc, char** argv) {
  qrt::bench::warnWhenEmulated();
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const qrt::media::PcmFormat cd{.channels = 2, .bits = 16, .rate = 44100};
  const std::string wave = writeTemp("qrt_bench_10mb.wav", qrt::media::waveFile(cd, qrt::media::tone(cd, 10u << 18, 440)));
  const std::string tune = writeTemp("qrt_bench_3min.wav", qrt::media::waveFile(cd, qrt::media::tone(cd, 180 * 44100, 330)));
  const std::wstring waveW = qrt::widen932(wave.c_str()), tuneW = qrt::widen932(tune.c_str());
  readFile(waveW);
  readFile(tuneW);

  std::vector<double> waveEngine, wavePlain, musicEngine, musicPlain;
  for (int r = 0; r < rounds; ++r) {
    waveEngine.push_back(engineLoads(
        [&](Script& s) { s.run("W@RELEASE", {s.call("W@LOAD", {s.text(wave)})}); }, kWaveLoads));
    wavePlain.push_back(plainWaveLoads(waveW, kWaveLoads));
    musicEngine.push_back(engineLoads(
        [&](Script& s) {
          const int m = s.call("M@LOAD", {s.text(tune)});
          s.call("M@LTIME", {m});
          s.run("M@RELEASE", {m});
        },
        kMusicLoads));
    musicPlain.push_back(plainMusicLoads(tuneW, kMusicLoads));
  }
  print("W@LOAD + W@RELEASE, 10 MB wave", waveEngine, wavePlain);
  print("M@LOAD + M@LTIME + M@RELEASE, 3 min", musicEngine, musicPlain);
  DeleteFileA(wave.c_str());
  DeleteFileA(tune.c_str());
  return 0;
}
