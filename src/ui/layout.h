// The main window's layout: every control, its container, stacking order, position, looks and initial state.
#pragma once

#include "platform/form/form.h"

namespace ui {

inline constexpr int kClientWidth = 6240;  // twips: 416 by 217 pixels at 96 dpi
inline constexpr int kClientHeight = 3255;
inline constexpr int kPanelOpenTop = 130;

// Builds the controls of the main window into an empty form and sets its tab order.
void buildLayout(form::Form& form);

}  // namespace ui
