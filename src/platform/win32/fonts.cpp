#include "platform/win32/fonts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

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

Fonts::Retired Fonts::setDpi(UINT dpi) {
  Retired retired{std::move(default_), std::move(made_)};
  made_.clear();
  dpi_ = dpi;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  const UINT systemDpi = GetDpiForSystem();
  metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi_),
                                          static_cast<int>(systemDpi ? systemDpi : 96));
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

void fitLabels(form::Form& form, HWND window, Fonts& fonts, UINT dpi) {
  const WindowDc windowDc(window);
  const HDC dc = windowDc.get();
  const auto twips = [dpi](int pixels) { return MulDiv(pixels, 1440, static_cast<int>(dpi)); };
  std::function<void(const form::Control&)> fit = [&](const form::Control& container) {
    for (const auto& child : container.children()) {
      fit(*child);
      if (child->kind() != form::Kind::Label || child->Caption().empty()) continue;
      const SelectedObject selected(dc, fonts.get(child->layout().font));
      RECT measured{0, 0, 0, 0};
      const std::wstring caption = widen(child->Caption());
      DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measured,
                DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
      const int width = twips(measured.right) + 15;
      const int height = twips(measured.bottom);
      const form::Rect laid = child->layout().rect;
      if (child->layout().autoSize) {
        child->SetSize(width, height);
      } else {
        child->SetSize(std::max(laid.width, width), laid.height);
      }
    }
  };
  for (const auto& control : form.controls()) fit(*control);
}

}  // namespace win32
