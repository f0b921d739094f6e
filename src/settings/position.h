// Where the user left the window, kept beside the stored selection as "x,y": the window's top-left corner in
// physical pixels of the desktop.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/monitors.h"
#include "platform/platform.h"

namespace settings {

inline constexpr std::string_view kPositionKey = "Position";

// "x,y" with whole numbers (a leading minus allowed) and nothing else; anything else is no place at all.
std::optional<platform::PixelPoint> parsePosition(std::string_view text);
std::string formatPosition(platform::PixelPoint at);

// The stored place; nothing when none is stored or the stored text is not one.
std::optional<platform::PixelPoint> getPosition(platform::SettingsStore& store);
void savePosition(platform::SettingsStore& store, platform::PixelPoint at);

}  // namespace settings
