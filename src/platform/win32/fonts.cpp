#include "platform/win32/fonts.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/units.h"
#include "platform/win32/text.h"

namespace win32 {

namespace {

BYTE charSetFor(std::string_view language) {
  constexpr std::array<std::pair<std::string_view, BYTE>, 5> kScripts = {{
      {"zh-CN", GB2312_CHARSET},
      {"zh-TW", CHINESEBIG5_CHARSET},
      {"zh-HK", CHINESEBIG5_CHARSET},
      {"ja", SHIFTJIS_CHARSET},
      {"ko", HANGUL_CHARSET},
  }};
  for (const auto& [tag, charSet] : kScripts) {
    if (tag == language) return charSet;
  }
  return DEFAULT_CHARSET;
}

}  // namespace

Fonts::Fonts(std::string_view language) : charSet_(charSetFor(language)) {}

Fonts::Retired Fonts::setDpi(int dpi) {
  Retired retired{std::move(default_), std::move(made_)};
  made_.clear();
  dpi_ = dpi;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  // The system's font is given at the system's scale.
  metrics.lfMessageFont.lfHeight = static_cast<LONG>(platform::scaleRounded(
      metrics.lfMessageFont.lfHeight, dpi_, platform::Dpi(static_cast<int>(GetDpiForSystem())).dots()));
  default_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
  return retired;
}

HFONT Fonts::get(const form::Font& font) {
  if (font.face.empty()) return default_.get();
  const auto key = std::make_pair(std::string(font.face), static_cast<int>(std::lround(font.points * 100)));
  auto it = made_.find(key);
  if (it != made_.end()) return it->second.get();
  LOGFONTW lf{};
  lf.lfHeight = -static_cast<LONG>(std::lround(font.points * dpi_ / 72.0));
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = charSet_;
  lf.lfQuality = CLEARTYPE_QUALITY;
  const std::wstring name = widen(font.face);
  name.copy(lf.lfFaceName, LF_FACESIZE - 1);
  return made_.emplace(key, UniqueFont(CreateFontIndirectW(&lf))).first->second.get();
}

}  // namespace win32
