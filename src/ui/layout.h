// The main window's layout: every control, its container, stacking order, position, looks and initial state.
#pragma once

#include <array>

#include "platform/form/form.h"
#include "platform/form/host_options.h"

namespace ui {

inline constexpr int kClientWidth = 6240;  // twips: 416 by 217 pixels at 96 dpi
inline constexpr int kClientHeight = 3255;
inline constexpr int kPanelOpenTop = 130;
// The refresh delay slider's steps.
inline constexpr std::array<int, 6> kDelayStepsMs = {0, 100, 250, 500, 1000, 2000};

// Tool tips speak Chinese and a host's default tool-tip font may have no CJK glyphs, so they use the
// program's own face. Without its skin the window still shows the skin's white field and grey frame.
inline constexpr form::HostOptions kHostOptions{.windowClass = "VaskF5Main",
                                                .surfaceClass = "VaskF5Surface",
                                                .icon = "APPICON",
                                                .handPointer = "HAND",
                                                .toolTipFont = {"微软雅黑", 9},
                                                .fontLanguage = "zh-CN",
                                                .pictureBoxBackground = form::Color::rgb(255, 255, 255),
                                                .missingPictureBorder = form::Color::rgb(100, 100, 100)};

// Builds the controls of the main window into an empty form and sets its tab order.
void buildLayout(form::Form& form);

}  // namespace ui
