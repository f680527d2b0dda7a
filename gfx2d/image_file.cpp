// Image files: the whole-file loader behind G@CHRLOAD (and the 3D family's
// material textures), G@CHRLOAD itself and G@CHRSAVE.
#include "gfx2d/image_file.h"

#include <cstring>

#include "base/cp932.h"
#include "base/whole_file.h"
#include "base/win_handle.h"
#include "engine/call.h"
#include "files/cipher.h"
#include "gfx2d/commands.h"
#include "gfx2d/image_codecs.h"
#include "gfx2d/readback.h"

namespace qrt {

namespace {

// The largest image file read: well above any picture a game ships, and
// far below what would exhaust a 32-bit process.
constexpr uint32_t kImageFileCap = 256u << 20;

bool readImageFile(const std::string& name, std::vector<uint8_t>& bytes) {
  return readWholeFile(widen932(name.c_str()).c_str(), kImageFileCap, bytes) == WholeFile::kRead;
}

UINT nextPowerOfTwo(UINT v) {
  UINT p = 1;
  while (p < v) p <<= 1;
  return p;
}

// Our own decoding, for bitmaps and the formats the image library cannot
// read: the pixels go into a system-memory texture, colour-keyed as the
// library would, and from there into the default-pool render target.
HRESULT createTextureOurselves(DisplayState& d, const std::vector<uint8_t>& bytes, uint32_t colourKey,
                               D3DXIMAGE_INFO& info, ComPtr<IDirect3DTexture9>& out) {
  ArgbImage image;
  if (!decodeImage(bytes.data(), bytes.size(), image)) return E_FAIL;
  const UINT tw = nextPowerOfTwo(static_cast<UINT>(image.width));
  const UINT th = nextPowerOfTwo(static_cast<UINT>(image.height));
  ComPtr<IDirect3DTexture9> staging, texture;
  HRESULT hr = d.device->CreateTexture(tw, th, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                       staging.GetAddressOf(), nullptr);
  if (FAILED(hr)) return hr;
  D3DLOCKED_RECT locked{};
  if (FAILED(hr = staging->LockRect(0, &locked, nullptr, 0))) return hr;
  for (UINT y = 0; y < th; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
    for (UINT x = 0; x < tw; ++x) {
      uint32_t p = 0;
      if (x < static_cast<UINT>(image.width) && y < static_cast<UINT>(image.height)) {
        p = image.pixels[static_cast<size_t>(y) * image.width + x];
        if (colourKey && p == colourKey) p = 0;
      }
      row[x] = p;
    }
  }
  staging->UnlockRect(0);
  if (FAILED(hr = d.device->CreateTexture(tw, th, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                          D3DPOOL_DEFAULT, texture.GetAddressOf(), nullptr)) ||
      FAILED(hr = d.device->UpdateTexture(staging.Get(), texture.Get()))) {
    return hr;
  }
  info = D3DXIMAGE_INFO{};
  info.Width = static_cast<UINT>(image.width);
  info.Height = static_cast<UINT>(image.height);
  info.Depth = 1;
  info.MipLevels = 1;
  info.Format = image.colourDepth == 24   ? D3DFMT_R8G8B8
                : image.colourDepth == 16 ? D3DFMT_R5G6B5
                : image.colourDepth == 8  ? D3DFMT_L8
                                          : D3DFMT_A8R8G8B8;
  out = std::move(texture);
  return S_OK;
}

// Colour-keyed texels are transparent black. Wine's image library only
// clears their alpha and leaves the colour, which bleeds into neighbours as
// soon as a texture is filtered; finish the job where it stopped.
void blackenKeyedTexels(DisplayState& d, IDirect3DTexture9* texture, uint32_t colourKey) {
  const uint32_t keyColour = colourKey & 0xFFFFFF;
  for (DWORD level = 0; level < texture->GetLevelCount(); ++level) {
    ComPtr<IDirect3DSurface9> surface, copy;
    D3DSURFACE_DESC desc{};
    if (FAILED(texture->GetSurfaceLevel(level, surface.GetAddressOf())) ||
        FAILED(surface->GetDesc(&desc)) || desc.Format != D3DFMT_A8R8G8B8 ||
        FAILED(d.device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                     D3DPOOL_SYSTEMMEM, copy.GetAddressOf(), nullptr)) ||
        FAILED(d.device->GetRenderTargetData(surface.Get(), copy.Get()))) {
      return;
    }
    D3DLOCKED_RECT locked{};
    if (FAILED(copy->LockRect(&locked, nullptr, 0))) return;
    bool changed = false;
    for (UINT y = 0; y < desc.Height; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
      for (UINT x = 0; x < desc.Width; ++x) {
        if (row[x] != 0 && (row[x] >> 24) == 0 && (row[x] & 0xFFFFFF) == keyColour) {
          row[x] = 0;
          changed = true;
        }
      }
    }
    copy->UnlockRect();
    if (changed) d.device->UpdateSurface(copy.Get(), nullptr, surface.Get(), nullptr);
  }
}

// Decrypts (when there is a key) and decodes a file's bytes into a texture.
ImageLoad textureFromBytes(DisplayState& d, std::vector<uint8_t>& bytes, const char* keyText,
                           uint32_t colourKey, D3DXIMAGE_INFO& info, ComPtr<IDirect3DTexture9>& out) {
  // Bytes the cipher could not turn back are not a picture to guess at.
  if (keyText && *keyText && !desDecrypt(bytes.data(), bytes.size() / 8 * 8, keyText)) {
    return ImageLoad::kCipherFailed;
  }
  if (bytes.empty()) return ImageLoad::kNotFound;
  // Bitmaps are ours first. The platform's library refuses bit-field masks
  // it does not know and, under Wine, takes 1-bit pictures, palettes
  // shorter than their depth and run-length codes but shows other pixels
  // than the file holds; one reader keeps a game's bitmaps the same on
  // every machine. It has the bitmaps we cannot read (JPEG or PNG inside).
  const bool bitmap = bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
  if (bitmap && SUCCEEDED(createTextureOurselves(d, bytes, colourKey, info, out))) return ImageLoad::kLoaded;
  if (SUCCEEDED(D3DXCreateTextureFromFileInMemoryEx(
          d.device.Get(), bytes.data(), static_cast<UINT>(bytes.size()), D3DX_DEFAULT, D3DX_DEFAULT,
          D3DX_DEFAULT, D3DUSAGE_RENDERTARGET, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DX_FILTER_NONE,
          D3DX_DEFAULT, colourKey, &info, nullptr, out.ReleaseAndGetAddressOf()))) {
    if (colourKey) blackenKeyedTexels(d, out.Get(), colourKey);
    return ImageLoad::kLoaded;
  }
  return !bitmap && SUCCEEDED(createTextureOurselves(d, bytes, colourKey, info, out)) ? ImageLoad::kLoaded
                                                                                      : ImageLoad::kNotFound;
}

std::string fullPathOf(const char* fileName) {
  const std::wstring wide = widen932(fileName);
  std::vector<wchar_t> buffer(1000);
  DWORD n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (n >= buffer.size()) {
    buffer.resize(n + 1);
    n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  }
  if (n == 0 || n >= buffer.size()) return std::string();
  return narrow932(buffer.data(), static_cast<int>(n));
}

}  // namespace

int32_t colourDepthOfFormat(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_R8G8B8: return 24;
    case D3DFMT_R5G6B5: case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5: case D3DFMT_A4R4G4B4:
    case D3DFMT_A8R3G3B2: case D3DFMT_X4R4G4B4: case D3DFMT_A8L8: case D3DFMT_L16:
      return 16;
    case D3DFMT_R3G3B2: case D3DFMT_A8: case D3DFMT_A8P8: case D3DFMT_P8: case D3DFMT_L8:
    case D3DFMT_A4L4:
      return 8;
    default: return 32;
  }
}

TextureRecord* loadImageTexture(DisplayState& d, const char* fileName, const char* keyText, ImageLoad* why) {
  ImageLoad ignored;
  ImageLoad& result = why ? *why : ignored;
  result = ImageLoad::kNotFound;
  if (!d.device || !fileName || !*fileName) return nullptr;
  const std::string path = fullPathOf(fileName);
  if (path.empty()) return nullptr;
  for (TextureRecord* t : d.textures.newestFirst()) {
    if (t->path == path) {
      ++t->useCount;
      result = ImageLoad::kLoaded;
      return t;
    }
  }
  std::vector<uint8_t> bytes;
  if (!readImageFile(fileName, bytes)) return nullptr;
  D3DXIMAGE_INFO info{};
  ComPtr<IDirect3DTexture9> texture;
  result = textureFromBytes(d, bytes, keyText, d.loadColourKey, info, texture);
  if (result != ImageLoad::kLoaded) return nullptr;
  result = ImageLoad::kNotFound;
  ComPtr<IDirect3DSurface9> level0;
  D3DSURFACE_DESC desc{};
  if (FAILED(texture->GetSurfaceLevel(0, level0.GetAddressOf())) || FAILED(level0->GetDesc(&desc))) {
    return nullptr;
  }
  TextureRecord* t = createTextureRecord(d);
  if (!t) return nullptr;
  result = ImageLoad::kLoaded;
  t->levels = texture->GetLevelCount();
  t->texture = std::move(texture);
  t->level0 = std::move(level0);
  t->path = path;
  t->imageWidth = static_cast<int32_t>(info.Width);
  t->imageHeight = static_cast<int32_t>(info.Height);
  t->surfaceWidth = static_cast<int32_t>(desc.Width);
  t->surfaceHeight = static_cast<int32_t>(desc.Height);
  t->colourDepth = colourDepthOfFormat(info.Format);
  t->format = desc.Format;
  t->keyText = keyText ? keyText : "";
  t->colourKey = d.loadColourKey;
  return t;
}

bool reloadImageTexture(DisplayState& d, const TextureRecord& t, ComPtr<IDirect3DTexture9>& out) {
  std::vector<uint8_t> bytes;
  D3DXIMAGE_INFO info{};
  if (!readImageFile(t.path, bytes) ||
      textureFromBytes(d, bytes, t.keyText.c_str(), t.colourKey, info, out) != ImageLoad::kLoaded) {
    return false;
  }
  // Only the same picture fits the record's sizes and the surfaces' rectangles.
  D3DSURFACE_DESC desc{};
  if (FAILED(out->GetLevelDesc(0, &desc)) || static_cast<int32_t>(desc.Width) != t.surfaceWidth ||
      static_cast<int32_t>(desc.Height) != t.surfaceHeight) {
    out.Reset();
    return false;
  }
  return true;
}

// --- Commands ----------------------------------------------------------------

int32_t cmdGChrLoad(Call& c) {
  DisplayState* d = display();
  if (!d || c.empty(0)) return c.fail(660);
  ImageLoad why;
  TextureRecord* t = loadImageTexture(*d, c.s(0), c.s(1), &why);
  if (!t) return c.fail(why == ImageLoad::kCipherFailed ? 630 : 680);
  return surfaceOnTexture(c, *d, t, t->imageWidth, t->imageHeight, t->colourDepth, kOriginLoaded,
                          d->loadColourKey != 0 ? 1 : 0);
}

namespace {

// The image library's encoder first; where it has none for the format, ours.
bool encodeSurface(DisplayState& d, IDirect3DSurface9* pixels, int32_t width, int32_t height,
                   int32_t format, std::vector<uint8_t>& out) {
  ComPtr<ID3DXBuffer> buffer;
  RECT area{0, 0, width, height};
  if (SUCCEEDED(D3DXSaveSurfaceToFileInMemory(buffer.GetAddressOf(),
                                              static_cast<D3DXIMAGE_FILEFORMAT>(format), pixels,
                                              nullptr, &area))) {
    const auto* p = static_cast<const uint8_t*>(buffer->GetBufferPointer());
    out.assign(p, p + buffer->GetBufferSize());
    return true;
  }
  ArgbImage image;
  image.width = width;
  image.height = height;
  return readPixels(d.device.Get(), pixels, width, height, image.pixels) &&
         encodeImage(static_cast<ImageFileFormat>(format), image, out);
}

}  // namespace

int32_t cmdGChrSave(Call& c) {
  DisplayState* d = display();
  SurfaceRecord* s = findSurface(d, c.handle(0));
  const int32_t format = c.i(3);
  if (!s || c.unset(1) || format < 0 || format > 8) return c.fail(660);
  IDirect3DSurface9* pixels = pixelsOf(*d, s);
  std::vector<uint8_t> bytes;
  if (!pixels || !encodeSurface(*d, pixels, s->width, s->height, format, bytes)) return c.fail(660);
  // A picture the cipher could not protect is not written at all, rather
  // than written readable under a name the game believes enciphered.
  const char* key = c.s(2);
  if (*key && !desEncrypt(bytes.data(), bytes.size() / 8 * 8, key)) return c.fail(630);

  FileHandle file(CreateFileW(widen932(c.s(1)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  const bool ok = file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  // A save that did not reach the disk is reported, not passed off as done.
  if (!ok) return c.fail(630);
  return kDone;
}

}  // namespace qrt
