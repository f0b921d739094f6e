// The tiles of the main window and the browsers each stands for: a tile is an engine family, and the user
// chooses which of its browsers it refreshes.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "platform/platform.h"

namespace refresh {

// In the order they are listed, refreshed and stored.
enum class Tile : std::uint8_t { InternetExplorer, Chrome, Firefox, Opera };
inline constexpr std::array kTiles = {Tile::InternetExplorer, Tile::Chrome, Tile::Firefox, Tile::Opera};

// The browsers a tile stands for, in the order its menu offers them.
std::span<const platform::Browser> familyOf(Tile tile);

}  // namespace refresh
