#include "platform/win32/pictures.h"

#include <wincodec.h>

#include <cstring>

namespace win32 {

namespace {

const wchar_t* resourceName(form::Picture picture, bool doubleSize) {
  switch (picture) {
    case form::Picture::Skin:
      return doubleSize ? L"SKIN_2X" : L"SKIN";
    case form::Picture::TickOverlay:
      return doubleSize ? L"TICK_2X" : L"TICK";
    case form::Picture::AutoTick:
      return doubleSize ? L"AUTOTICK_2X" : L"AUTOTICK";
    case form::Picture::Settings:
      return doubleSize ? L"SETTING_2X" : L"SETTING";
    case form::Picture::None:
      break;
  }
  return nullptr;
}

// Decodes a PNG resource to premultiplied BGRA, resampled to the given size when it is not zero.
Bitmap decodePng(IWICImagingFactory* factory, HINSTANCE instance, const wchar_t* name, UINT toWidth = 0,
                 UINT toHeight = 0) {
  Bitmap out;
  HRSRC found = FindResourceW(instance, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) return out;
  HGLOBAL loaded = LoadResource(instance, found);
  const DWORD size = SizeofResource(instance, found);
  auto* bytes = static_cast<BYTE*>(LockResource(loaded));
  if (!bytes || size == 0) return out;

  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateStream(stream.put())) || FAILED(stream->InitializeFromMemory(bytes, size)) ||
      FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              decoder.put())) ||
      FAILED(decoder->GetFrame(0, frame.put())) || FAILED(factory->CreateFormatConverter(converter.put())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                   nullptr, 0.0, WICBitmapPaletteTypeCustom))) {
    return out;
  }
  IWICBitmapSource* source = converter.get();
  ComPtr<IWICBitmapScaler> scaler;
  if (toWidth != 0 && toHeight != 0) {
    if (FAILED(factory->CreateBitmapScaler(scaler.put())) ||
        FAILED(scaler->Initialize(converter.get(), toWidth, toHeight, WICBitmapInterpolationModeFant))) {
      return out;
    }
    source = scaler.get();
  }
  UINT width = 0, height = 0;
  source->GetSize(&width, &height);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = static_cast<LONG>(width);
  info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, as WIC hands the rows over
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
  if (!bitmap ||
      FAILED(source->CopyPixels(nullptr, width * 4, width * height * 4, static_cast<BYTE*>(pixels)))) {
    return out;
  }
  out.bitmap = std::move(bitmap);
  out.width = static_cast<int>(width);
  out.height = static_cast<int>(height);
  return out;
}

}  // namespace

bool Pictures::haveFactory() {
  return factory_ || SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                                IID_PPV_ARGS(factory_.put())));
}

// Scales other than 1x and 2x (125 %, 150 %, 175 % ...) get the picture resampled once to the exact size
// drawn, from the larger source, so edges stay smooth and no row or column of the skin is dropped.
const Bitmap& Pictures::resampled(form::Picture picture, int width, int height) {
  Bitmap& slot = resampled_[{picture, width, height}];
  if (slot.decoded || !haveFactory()) return slot;
  const bool fromDouble = width > naturalSize(picture).cx;
  slot = decodePng(factory_.get(), instance_, resourceName(picture, fromDouble), static_cast<UINT>(width),
                   static_cast<UINT>(height));
  slot.decoded = true;
  return slot;
}

const Bitmap& Pictures::decoded(form::Picture picture, bool doubleSize) {
  Bitmap& slot = bitmaps_[static_cast<std::size_t>(picture)][doubleSize ? 1 : 0];
  if (slot.decoded) return slot;
  slot.decoded = true;
  if (!haveFactory()) return slot;
  slot = decodePng(factory_.get(), instance_, resourceName(picture, doubleSize));
  slot.decoded = true;
  return slot;
}

SIZE Pictures::naturalSize(form::Picture picture) {
  switch (picture) {
    case form::Picture::Skin:
      return {416, 217};
    case form::Picture::TickOverlay:
      return {68, 68};
    case form::Picture::AutoTick:
      return {11, 11};
    case form::Picture::Settings:
      return {13, 13};
    case form::Picture::None:
      break;
  }
  return {0, 0};
}

const Bitmap& Pictures::pick(form::Picture picture, UINT dpi) {
  const bool wantDouble = dpi * 100 > 96 * 125;
  const Bitmap& preferred = decoded(picture, wantDouble);
  return preferred.bitmap ? preferred : decoded(picture, !wantDouble);
}

bool Pictures::has(form::Picture picture, UINT dpi) {
  return picture != form::Picture::None && static_cast<bool>(pick(picture, dpi).bitmap);
}

void Pictures::draw(HDC dc, form::Picture picture, int x, int y, UINT dpi) {
  const SIZE size = naturalSize(picture);
  const RECT rect{x, y, x + MulDiv(size.cx, static_cast<int>(dpi), 96),
                  y + MulDiv(size.cy, static_cast<int>(dpi), 96)};
  drawInto(dc, picture, rect, dpi);
}

void Pictures::drawInto(HDC dc, form::Picture picture, const RECT& rect, UINT dpi) {
  if (picture == form::Picture::None) return;
  const Bitmap& picked = pick(picture, dpi);
  if (!picked.bitmap) return;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const Bitmap* chosen = &picked;
  if (picked.width != width || picked.height != height) {
    const Bitmap& exact = resampled(picture, width, height);
    if (exact.bitmap) chosen = &exact;
  }
  const Bitmap& bitmap = *chosen;
  UniqueMemoryDc source(CreateCompatibleDC(dc));
  const SelectedObject selected(source.get(), bitmap.bitmap.get());
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source.get(), 0, 0,
             bitmap.width, bitmap.height, blend);
}

}  // namespace win32
