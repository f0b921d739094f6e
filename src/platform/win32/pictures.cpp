#include "platform/win32/pictures.h"

#include <wincodec.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "platform/units.h"
#include "platform/win32/text.h"

namespace win32 {

namespace {

// The resource of a named picture at 1x or 2x. Resource names are upper case in the resource table.
std::wstring resourceName(std::string_view name, bool doubleSize) {
  std::wstring wide = widen(name);
  if (doubleSize) wide += L"_2x";
  CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return wide;
}

// The bytes of a resource, or an empty view when there is none.
std::span<const BYTE> resourceBytes(HINSTANCE instance, const std::wstring& name) {
  HRSRC found = FindResourceW(instance, name.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(instance, found);
  const DWORD size = SizeofResource(instance, found);
  const auto* bytes = static_cast<const BYTE*>(LockResource(loaded));
  if (!bytes) return {};
  return {bytes, size};
}

// Width and height from a PNG's header chunk, which the format puts first: no pixel is decoded for them.
std::optional<SIZE> pngSize(std::span<const BYTE> png) {
  constexpr BYTE kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (png.size() < 24 || std::memcmp(png.data(), kSignature, sizeof(kSignature)) != 0 ||
      std::memcmp(png.data() + 12, "IHDR", 4) != 0) {
    return std::nullopt;
  }
  auto bigEndian = [&png](std::size_t at) {
    return static_cast<LONG>((std::uint32_t{png[at]} << 24) | (std::uint32_t{png[at + 1]} << 16) |
                             (std::uint32_t{png[at + 2]} << 8) | std::uint32_t{png[at + 3]});
  };
  const SIZE size{bigEndian(16), bigEndian(20)};
  if (size.cx <= 0 || size.cy <= 0) return std::nullopt;
  return size;
}

// Decodes a PNG resource to premultiplied BGRA, resampled to the given size when it is not zero.
Bitmap decodePng(IWICImagingFactory* factory, std::span<const BYTE> png, UINT toWidth = 0,
                 UINT toHeight = 0) {
  Bitmap out;
  if (png.empty()) return out;
  // WIC reads the stream only; the resource itself is read-only memory.
  auto* bytes = const_cast<BYTE*>(png.data());
  const auto size = static_cast<DWORD>(png.size());

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

Pictures::Entry& Pictures::entry(std::string_view name) {
  auto it = entries_.find(name);
  if (it == entries_.end()) it = entries_.emplace(std::string(name), Entry{}).first;
  return it->second;
}

// Scales other than 1x and 2x (125 %, 150 %, 175 % ...) get the picture resampled once to the exact size
// drawn, from the larger source, so edges stay smooth and no row or column of the skin is dropped.
const Bitmap& Pictures::resampled(std::string_view name, int width, int height) {
  Bitmap& slot = resampled_[{std::string(name), width, height}];
  if (slot.decoded || !haveFactory()) return slot;
  const bool fromDouble = width > naturalSize(name).cx;
  slot = decodePng(factory_.get(), resourceBytes(instance_, resourceName(name, fromDouble)),
                   static_cast<UINT>(width), static_cast<UINT>(height));
  slot.decoded = true;
  return slot;
}

const Bitmap& Pictures::decoded(std::string_view name, bool doubleSize) {
  Bitmap& slot = entry(name).scales[doubleSize ? 1 : 0];
  if (slot.decoded) return slot;
  slot.decoded = true;
  if (!haveFactory()) return slot;
  slot = decodePng(factory_.get(), resourceBytes(instance_, resourceName(name, doubleSize)));
  slot.decoded = true;
  return slot;
}

SIZE Pictures::naturalSize(std::string_view name) {
  Entry& found = entry(name);
  if (!found.natural) {
    found.natural = SIZE{0, 0};
    if (auto single = pngSize(resourceBytes(instance_, resourceName(name, false)))) {
      found.natural = *single;
    } else if (auto twice = pngSize(resourceBytes(instance_, resourceName(name, true)))) {
      found.natural = SIZE{twice->cx / 2, twice->cy / 2};
    }
  }
  return *found.natural;
}

const Bitmap& Pictures::pick(std::string_view name, int dpi) {
  const bool wantDouble = dpi * 100 > platform::Dpi().dots() * 125;
  const Bitmap& preferred = decoded(name, wantDouble);
  return preferred.bitmap ? preferred : decoded(name, !wantDouble);
}

bool Pictures::has(std::string_view name, int dpi) {
  return !name.empty() && static_cast<bool>(pick(name, dpi).bitmap);
}

void Pictures::draw(HDC dc, std::string_view name, int x, int y, int dpi) {
  const SIZE size = naturalSize(name);
  const auto scaled = [dpi](LONG pixels) {
    return static_cast<LONG>(platform::scaleRounded(pixels, dpi, platform::Dpi().dots()));
  };
  const RECT rect{x, y, x + scaled(size.cx), y + scaled(size.cy)};
  drawInto(dc, name, rect, dpi);
}

void Pictures::drawInto(HDC dc, std::string_view name, const RECT& rect, int dpi) {
  if (name.empty()) return;
  const Bitmap& picked = pick(name, dpi);
  if (!picked.bitmap) return;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const Bitmap* chosen = &picked;
  if (picked.width != width || picked.height != height) {
    const Bitmap& exact = resampled(name, width, height);
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
