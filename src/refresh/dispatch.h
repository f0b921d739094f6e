// Refreshing the ticked tiles' browsers: their frames are found in one look at the desktop, and each is asked
// to reload its page, tile after tile.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "platform/platform.h"

namespace refresh {

// For each ticked tile, in tile order, the browsers chosen for it in their family's order. Each browser that
// runs gets one refresh of its frontmost frame. Returns the window for the status: the last frame refreshed,
// or an empty id when the last ticked tile found no frame; nothing when no tile is ticked.
std::optional<platform::WindowId> refreshTicked(platform::Desktop& desktop,
                                                std::span<const std::vector<platform::Browser>> tiles);

// The frontmost frame of any of the browsers, on the visible desktop first; nothing when none runs.
std::optional<platform::BrowserFrame> frontmostFrame(platform::Desktop& desktop,
                                                     std::span<const platform::Browser> browsers);

}  // namespace refresh
