// The fonts of the form's controls at the scale in use: one GDI font per face and size, made on first use,
// and the runtime's default font (the system's message font) for controls without a face of their own.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "platform/form/form.h"
#include "platform/win32/handles.h"

namespace win32 {

class Fonts {
 public:
  // Fonts are made for the script of the given language tag ("zh-CN": GB2312), so a substitute face still has
  // its glyphs.
  explicit Fonts(std::string_view language);

  // The fonts of a previous scale, kept alive by whoever still has controls that use them.
  struct Retired {
    UniqueFont defaultFont;
    std::map<std::pair<std::string, int>, UniqueFont> made;
  };

  // Starts the fonts of a new scale; the previous ones are handed back, to be let go once no control uses
  // them.
  [[nodiscard]] Retired setDpi(int dpi);
  // The font for a face and size; the default font when the face is empty.
  HFONT get(const form::Font& font);

 private:
  BYTE charSet_;
  int dpi_ = 96;
  UniqueFont default_;
  std::map<std::pair<std::string, int>, UniqueFont> made_;
};

}  // namespace win32
