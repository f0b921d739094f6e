// The program's choices that a host needs besides the form itself: the names its windows are known by, its
// icon and pointer, the tool tip's face, the language its fonts are chosen for and what a picture box shows
// when its picture cannot be drawn. The program fills one of these and hands it to whichever host it runs.
#pragma once

#include <string_view>

#include "platform/form/form.h"

namespace form {

struct HostOptions {
  std::string_view windowClass;   // the top-level window
  std::string_view surfaceClass;  // the picture boxes and frames the host draws itself
  std::string_view icon;          // named resources
  std::string_view handPointer;   // shown where a control asks for Pointer::Hand
  Font toolTipFont;
  std::string_view fontLanguage;  // a language tag such as "zh-CN": fonts get that script's glyphs
  Color pictureBoxBackground = Color::rgb(255, 255, 255);  // behind a picture box's picture
  Color missingPictureBorder = Color::rgb(0, 0, 0);
};

}  // namespace form
