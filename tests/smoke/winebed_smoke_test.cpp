// What every other test takes for granted about the Wine bed. When one of
// these fails, fix the bed (tools/winebed) before reading other failures.
#include <windows.h>
#include <d3d9.h>
#include <mmsystem.h>
#include <dsound.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/support/pace.h"

namespace {

template <class T>
struct Released {
  T* p = nullptr;
  ~Released() { reset(); }
  void reset() {
    if (p) p->Release();
    p = nullptr;
  }
  T** out() { return &p; }
  T* operator->() const { return p; }
};

int activateAppSeen = -1;

LRESULT CALLBACK probeProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_ACTIVATEAPP) activateAppSeen = w ? 1 : 0;
  return DefWindowProcW(window, message, w, l);
}

// Handles this thread's messages until `done` holds or two seconds (on a
// native machine) pass.
void pumpUntil(const std::function<bool()>& done) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(qrt::test::paced(2000));
  MSG msg;
  while (static_cast<LONG>(GetTickCount() - end) < 0) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return;
    Sleep(1);
  }
}

HWND makeWindow(const wchar_t* className, DWORD style) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = probeProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = className;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  RegisterClassW(&wc);
  return CreateWindowExW(0, className, L"bed", style, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480,
                         nullptr, nullptr, wc.hInstance, nullptr);
}

// A game's main loop only steps while its window is the active application,
// so a bed where a fresh window is not activated freezes every game.
TEST(WineBed, NewWindowBecomesTheActiveApplication) {
  activateAppSeen = -1;
  HWND window = makeWindow(L"QrtBedProbe", WS_OVERLAPPEDWINDOW);
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  pumpUntil([&] { return activateAppSeen == 1 && GetForegroundWindow() == window && GetFocus() == window; });
  EXPECT_EQ(activateAppSeen, 1);
  EXPECT_EQ(GetActiveWindow(), window);
  EXPECT_EQ(GetForegroundWindow(), window);
  EXPECT_EQ(GetFocus(), window);

  // Unmanaged windows close at once; a managed window without a window
  // manager waits about two seconds here (Wine's own wait: no pace).
  const DWORD before = GetTickCount();
  DestroyWindow(window);
  EXPECT_LT(GetTickCount() - before, 500u);
  EXPECT_EQ(activateAppSeen, 0);
}

TEST(WineBed, PopupWindowBecomesTheActiveApplicationToo) {
  activateAppSeen = -1;
  HWND window = makeWindow(L"QrtBedPopup", WS_POPUP | WS_VISIBLE);
  ASSERT_NE(window, nullptr);
  pumpUntil([&] { return activateAppSeen == 1 && GetForegroundWindow() == window; });
  EXPECT_EQ(activateAppSeen, 1);
  EXPECT_EQ(GetForegroundWindow(), window);
  DestroyWindow(window);
}

struct FontSeen {
  std::wstring face;
  TEXTMETRICW metrics{};
  std::string nameTable;  // the font file's own 'name' table
  int narrowWidth = 0, wideWidth = 0;
};

FontSeen selectFont(const wchar_t* face) {
  FontSeen seen;
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH, face);
  HGDIOBJ old = SelectObject(dc, font);
  wchar_t got[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, got);
  seen.face = got;
  GetTextMetricsW(dc, &seen.metrics);
  const DWORD nameTag = 'n' | 'a' << 8 | 'm' << 16 | 'e' << 24;
  const DWORD size = GetFontData(dc, nameTag, 0, nullptr, 0);
  if (size != GDI_ERROR) {
    seen.nameTable.resize(size);
    GetFontData(dc, nameTag, 0, seen.nameTable.data(), size);
  }
  SIZE s;
  GetTextExtentPoint32W(dc, L"i", 1, &s);
  seen.narrowWidth = s.cx;
  GetTextExtentPoint32W(dc, L"W", 1, &s);
  seen.wideWidth = s.cx;
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  return seen;
}

// Font files name themselves in big-endian UTF-16.
bool namesItself(const FontSeen& font, const char* family) {
  std::string utf16be;
  for (const char* c = family; *c; ++c) {
    utf16be += '\0';
    utf16be += *c;
  }
  return font.nameTable.find(utf16be) != std::string::npos;
}

// Games ask for the Japanese system fonts by their Japanese names; the bed
// maps them onto the IPA fonts with the same pitch.
TEST(WineBed, JapaneseSystemFontNamesMapOntoIpaFonts) {
  const FontSeen gothic = selectFont(L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF");  // ＭＳ ゴシック
  EXPECT_EQ(gothic.face, L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF");
  EXPECT_EQ(gothic.metrics.tmCharSet, SHIFTJIS_CHARSET);
  EXPECT_TRUE(namesItself(gothic, "IPAGothic"));
  EXPECT_EQ(gothic.narrowWidth, gothic.wideWidth) << "the Gothic face must be fixed-pitch";

  const FontSeen proportional = selectFont(L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF");  // ＭＳ Ｐゴシック
  EXPECT_TRUE(namesItself(proportional, "IPAPGothic"));
  EXPECT_LT(proportional.narrowWidth, proportional.wideWidth);

  EXPECT_TRUE(namesItself(selectFont(L"\xFF2D\xFF33 \x660E\x671D"), "IPAMincho"));  // ＭＳ 明朝
  EXPECT_TRUE(namesItself(selectFont(L"MS Gothic"), "IPAGothic"));
}

TEST(WineBed, Direct3D9DeviceOpensOnTheDisplay) {
  HWND window = makeWindow(L"QrtBedD3D", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  ASSERT_NE(window, nullptr);
  Released<IDirect3D9> d3d;
  d3d.p = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d.p, nullptr);
  D3DPRESENT_PARAMETERS pp{};
  pp.Windowed = TRUE;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.BackBufferFormat = D3DFMT_UNKNOWN;
  pp.hDeviceWindow = window;
  Released<IDirect3DDevice9> device;
  ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                              D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, device.out()),
            D3D_OK);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 255), 1.0f, 0), D3D_OK);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  device.reset();
  DestroyWindow(window);
}

// Sound goes to ALSA's null device: buffers open and play, nothing is heard.
TEST(WineBed, DirectSoundPlaysToTheNullDevice) {
  Released<IDirectSound8> sound;
  ASSERT_EQ(DirectSoundCreate8(nullptr, sound.out(), nullptr), DS_OK);
  ASSERT_EQ(sound->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DS_OK);
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 1;
  format.nSamplesPerSec = 22050;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 2;
  format.nAvgBytesPerSec = 44100;
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2;
  desc.dwBufferBytes = format.nAvgBytesPerSec / 10;
  desc.lpwfxFormat = &format;
  Released<IDirectSoundBuffer> buffer;
  ASSERT_EQ(sound->CreateSoundBuffer(&desc, buffer.out(), nullptr), DS_OK);
  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  DWORD status = DSBSTATUS_PLAYING;
  const DWORD start = GetTickCount();
  while ((status & DSBSTATUS_PLAYING) && GetTickCount() - start < static_cast<DWORD>(qrt::test::paced(3000))) {
    Sleep(10);
    buffer->GetStatus(&status);
  }
  EXPECT_FALSE(status & DSBSTATUS_PLAYING) << "a 100 ms buffer never finished playing";
}

}  // namespace
