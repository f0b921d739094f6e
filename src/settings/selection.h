// The stored selection: which browsers are ticked and whether automatic refresh is on, kept as one short
// text in the per-user settings store, every token followed by a comma ("chrome,autorefresh,").
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace settings {

inline constexpr std::string_view kApp = "VaskF5";
inline constexpr std::string_view kSection = "Refresh";
inline constexpr std::string_view kKey = "Apps";

// The five choices in their stored order.
enum class Token : std::uint8_t { IE, Chrome, Firefox, Opera, AutoRefresh };
inline constexpr std::array<std::string_view, 5> kTokenText = {"ie", "chrome", "firefox", "opera",
                                                               "autorefresh"};

// Tick values indexed by Token; only exactly 1 counts as ticked.
using Ticks = std::array<int, kTokenText.size()>;

// The text for the given ticks, tokens in their fixed order.
std::string buildSelectionList(const Ticks& ticks);

// The tokens of a stored text in the order they stand, duplicates kept. Only exact, case-sensitive matches
// count; every other piece is ignored.
std::vector<Token> parseSelectionList(std::string_view text);

// The stored text, which may be empty; nothing when no usable value is stored.
std::optional<std::string> getSettings(platform::SettingsStore& store);
// Replaces the stored text with the one for the given ticks.
void saveSettings(platform::SettingsStore& store, const Ticks& ticks);

}  // namespace settings
