// The display device: G@SETUP puts the window into shape and creates the
// Direct3D device once; G@FLIP ends a frame and starts the next; the mode
// list and window style commands; and recovery from a lost device.
#include "base/runtime.h"
#include "engine/call.h"
#include "gfx2d/commands.h"
#include "gfx2d/d3dx_check.h"
#include "gfx2d/display.h"
#include "gfx2d/image_file.h"

namespace qrt {

namespace {

// The window's dots per inch (96 on a plain screen). Asked through the
// per-window call where the system has it, so that each monitor counts.
UINT windowDpi(HWND window) {
  using GetDpi = UINT(WINAPI*)(HWND);
  static const auto getDpi = reinterpret_cast<GetDpi>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpi) {
    const UINT dpi = getDpi(window);
    if (dpi) return dpi;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

void shapeWindow(HWND window, int8_t mode, int32_t logicalWidth, int32_t logicalHeight) {
  if (mode == 1) {
    // On a screen of many dots per inch the window grows with them: the
    // script's logical screen stays as it asked, drawn larger.
    const UINT dpi = windowDpi(window);
    const int32_t width = MulDiv(logicalWidth, static_cast<int>(dpi), 96);
    const int32_t height = MulDiv(logicalHeight, static_cast<int>(dpi), 96);
    RECT client{}, frame{};
    GetClientRect(window, &client);
    GetWindowRect(window, &frame);
    SetWindowPos(window, nullptr, 0, 0,
                 width + (frame.right - frame.left) - (client.right - client.left),
                 height + (frame.bottom - frame.top) - (client.bottom - client.top), SWP_NOMOVE);
  } else {
    ShowCursor(FALSE);
    SetWindowLongW(window, GWL_STYLE, static_cast<LONG>(WS_POPUP));
    SetCapture(window);
    SetCursor(nullptr);
  }
}

bool createDevice(DisplayState& d, HWND window) {
  struct Attempt {
    D3DDEVTYPE type;
    DWORD flags;
  };
  const Attempt attempts[] = {
      {D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING},
      {D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
      {D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
  };
  for (const Attempt& a : attempts) {
    D3DPRESENT_PARAMETERS pp = d.present;   // CreateDevice may write to it
    if (SUCCEEDED(d.direct3d->CreateDevice(D3DADAPTER_DEFAULT, a.type, window, a.flags, &pp,
                                           d.device.ReleaseAndGetAddressOf()))) {
      return true;
    }
  }
  return false;
}

void listDisplayModes(DisplayState& d) {
  const D3DFORMAT formats[] = {D3DFMT_R5G6B5, D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8};
  for (D3DFORMAT f : formats) {
    const UINT count = d.direct3d->GetAdapterModeCount(D3DADAPTER_DEFAULT, f);
    for (UINT i = 0; i < count; ++i) {
      D3DDISPLAYMODE mode{};
      if (SUCCEEDED(d.direct3d->EnumAdapterModes(D3DADAPTER_DEFAULT, f, i, &mode))) {
        d.modes.push_back(mode);
      }
    }
  }
}

// First G@SETUP: the Direct3D object, the device and everything made once.
// Returns the command's failure (0) or 1.
int32_t createDisplay(Call& c, DisplayState& d, HWND window) {
  ComPtr<IDirect3D9> direct3d;
  direct3d.Attach(Direct3DCreate9(D3D_SDK_VERSION));
  D3DDISPLAYMODE desktop{};
  if (!direct3d || FAILED(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop))) {
    return c.fail(630);
  }
  d.direct3d = std::move(direct3d);

  D3DPRESENT_PARAMETERS& pp = d.present;
  pp = D3DPRESENT_PARAMETERS{};
  pp.BackBufferCount = 1;
  if (d.windowMode == 0) {
    pp.BackBufferWidth = static_cast<UINT>(d.width);
    pp.BackBufferHeight = static_cast<UINT>(d.height);
    pp.Windowed = FALSE;
  } else {
    // The back buffer is the logical screen; a window scaled for its
    // monitor shows it stretched.
    pp.BackBufferWidth = static_cast<UINT>(d.width);
    pp.BackBufferHeight = static_cast<UINT>(d.height);
    pp.Windowed = TRUE;
  }
  pp.BackBufferFormat = desktop.Format;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = D3DFMT_D16;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  pp.MultiSampleType = D3DMULTISAMPLE_NONE;

  if (!createDevice(d, window)) return c.fail(630);
  d.states.attach(d.device.Get());
  if (d.modes.empty()) listDisplayModes(d);

  D3DCAPS9 caps{};
  if (SUCCEEDED(d.device->GetDeviceCaps(&caps))) {
    d.vertexFog = (caps.RasterCaps & D3DPRASTERCAPS_FOGVERTEX) ? 1 : 0;
  }
  if (FAILED(D3DXCreateMatrixStack(0, d.matrixStack.ReleaseAndGetAddressOf()))) return c.fail(630);
  if (d.sceneHooks.create) d.sceneHooks.create(d);

  d.screen = createSurfaceRecord(d, d.width, d.height);
  if (!d.screen) return kFailed;
  d.screen->origin = kOriginScreen;
  return kDone;
}

// What G@SETUP and a device reset both leave behind: the back buffer and
// depth surface in hand, both cleared, depth testing on, inside a scene.
bool takeBackBuffer(DisplayState& d) {
  if (FAILED(d.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO,
                                     d.backBuffer.ReleaseAndGetAddressOf()))) {
    return false;
  }
  d.device->GetDepthStencilSurface(d.defaultDepth.ReleaseAndGetAddressOf());
  d.backBuffer->GetDesc(&d.backBufferDesc);
  return true;
}

void startDrawing(DisplayState& d) {
  d.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  d.states.set(D3DRS_ZENABLE, TRUE);
  d.states.set(D3DRS_DITHERENABLE, TRUE);
  d.device->BeginScene();
  d.inScene = 1;
}

}  // namespace

int32_t cmdGSetup(Call& c) {
  DisplayState* d = display();
  if (!d) return kFailed;
  const int32_t width = c.i(0), height = c.i(1);
  d->width = width;
  d->height = height;
  d->clientWidth = width;
  d->clientHeight = height;
  d->colourDepth = c.i(2);
  d->windowMode = static_cast<int8_t>(c.raw(3) & 0xFF);
  if (d->windowMode != 0 && d->windowMode != 1) return c.fail(660);

  HWND window = g_host.window;
  shapeWindow(window, d->windowMode, width, height);
  d->viewport = ViewportState{0, 0, width, height, 0.0f, 1.0f};

  if (!d->direct3d) {
    // Without D3DX nothing can be drawn: say what to install, once, rather
    // than fail in the middle of the device.
    if (!d3dxAvailable()) {
      reportMissingD3dx();
      return kFailed;
    }
    if (createDisplay(c, *d, window) == kFailed) {
      // Half a display is none: the requires-setup commands stay refused.
      d->matrixStack.Reset();
      d->states.attach(nullptr);
      d->device.Reset();
      d->direct3d.Reset();
      return kFailed;
    }
    g_host.rt.setUp = 1;
  }
  if (!d->screen) return kFailed;
  if (!takeBackBuffer(*d)) return c.fail(630);
  d->screen->colourDepth = d->colourDepth;
  startDrawing(*d);
  c.yield();
  return Call::handleResult(handleOf(d->screen));
}

int32_t cmdGFlip(Call& c) {
  c.yield();
  DisplayState* d = display();
  if (!d || !d->device) return kDone;
  if (d->inScene) {
    d->device->EndScene();
    d->inScene = 0;
  }
  const HRESULT presented = d->device->Present(nullptr, nullptr, nullptr, nullptr);
  if (FAILED(presented) || d->resourcesLost) {
    // A device that is still lost cannot be reset yet; the next frame
    // tries again. Drawing into a lost device is harmless.
    if (d->device->TestCooperativeLevel() != D3DERR_DEVICELOST) recoverDevice(*d);
  }
  if (!d->inScene) {
    d->device->BeginScene();
    d->inScene = 1;
  }
  d->perFrame = 0;
  return kDone;
}

int32_t cmdGDispModeCount(Call&) {
  DisplayState* d = display();
  return d ? static_cast<int32_t>(d->modes.size()) : 0;
}

int32_t cmdGDispModeGet(Call& c) {
  DisplayState* d = display();
  const int32_t index = c.i(0), item = c.i(1);
  if (!d || index < 0 || index >= static_cast<int32_t>(d->modes.size()) || item < 0 || item > 3) {
    return -1;
  }
  const D3DDISPLAYMODE& m = d->modes[static_cast<size_t>(index)];
  switch (item) {
    case 0: return static_cast<int32_t>(m.Width);
    case 1: return static_cast<int32_t>(m.Height);
    case 3: return static_cast<int32_t>(m.RefreshRate);
    default:
      switch (m.Format) {
        case D3DFMT_R5G6B5: return 16;
        case D3DFMT_R8G8B8: return 24;
        case D3DFMT_X8R8G8B8:
        case D3DFMT_A8R8G8B8: return 32;
        default: return -1;
      }
  }
}

int32_t cmdGWindowSet(Call& c) {
  HWND window = g_host.window;
  SetWindowLongW(window, GWL_STYLE, static_cast<LONG>(c.raw(0) | WS_VISIBLE));
  SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  return kDone;
}

// --- Lost device ---------------------------------------------------------------

namespace {

void dropDefaultPool(DisplayState& d) {
  // The device holds what is bound to it: unbind before releasing.
  for (DWORD stage = 0; stage < 8; ++stage) d.device->SetTexture(stage, nullptr);
  if (d.backBuffer) selectBackBuffer(d);
  if (d.font) d.font->OnLostDevice();
  if (d.sceneHooks.deviceLost) d.sceneHooks.deviceLost(d);
  for (SurfaceRecord* s : d.surfaces.newestFirst()) s->depth.Reset();
  for (TextureRecord* t : d.textures.newestFirst()) {
    t->level0.Reset();
    t->texture.Reset();
  }
  d.backBuffer.Reset();
  d.defaultDepth.Reset();
}

bool rebuildTexture(DisplayState& d, TextureRecord& t) {
  if (!t.path.empty()) {
    ComPtr<IDirect3DTexture9> loaded;
    if (reloadImageTexture(d, t, loaded)) {
      t.texture = std::move(loaded);
    }
  }
  if (!t.texture &&
      FAILED(D3DXCreateTexture(d.device.Get(), static_cast<UINT>(t.surfaceWidth),
                               static_cast<UINT>(t.surfaceHeight), t.levels, D3DUSAGE_RENDERTARGET,
                               t.format, D3DPOOL_DEFAULT, t.texture.GetAddressOf()))) {
    return false;
  }
  if (FAILED(t.texture->GetSurfaceLevel(0, t.level0.GetAddressOf()))) return false;
  if (t.path.empty()) {
    // A made surface's pixels are gone with the device: start it over as
    // transparent black rather than leaving stale memory.
    d.device->SetRenderTarget(0, t.level0.Get());
    d.device->SetDepthStencilSurface(nullptr);
    d.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
  }
  return true;
}

}  // namespace

bool recoverDevice(DisplayState& d) {
  if (!d.device) return false;
  if (d.inScene) {
    d.device->EndScene();
    d.inScene = 0;
  }
  dropDefaultPool(d);
  D3DPRESENT_PARAMETERS pp = d.present;
  if (FAILED(d.device->Reset(&pp))) {
    d.resourcesLost = true;
    return false;
  }
  // A reset device is back at the platform's defaults.
  d.states.forget();
  bool whole = takeBackBuffer(d);
  for (TextureRecord* t : d.textures.newestFirst()) whole = rebuildTexture(d, *t) && whole;
  for (SurfaceRecord* s : d.surfaces.newestFirst()) {
    if (s->texture && s->texture->level0) {
      s->depth = createDepthSurface(d, static_cast<UINT>(s->texture->surfaceWidth),
                                    static_cast<UINT>(s->texture->surfaceHeight));
      if (s->depth) {
        selectRenderTarget(d, s);
        d.device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
      }
    }
  }
  if (d.font) d.font->OnResetDevice();
  if (d.sceneHooks.deviceReset) d.sceneHooks.deviceReset(d);
  d.resourcesLost = !whole;
  if (d.backBuffer) {
    selectBackBuffer(d);
    startDrawing(d);
  }
  return whole;
}

}  // namespace qrt
