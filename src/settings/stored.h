// What the program keeps between runs, each as one short text in the per-user settings store beside the
// others: the ticked tiles and automatic refresh ("Apps"), the browsers chosen for each tile ("Browsers"),
// the refresh delay ("Delay") and where the window was left ("Position"). A value that cannot be used counts
// as not stored, and the next change replaces it.
#pragma once

#include <array>
#include <bitset>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/monitors.h"
#include "platform/platform.h"

namespace settings {

inline constexpr std::string_view kApp = "VaskF5";
inline constexpr std::string_view kSection = "Refresh";

// ---- Apps: "ie,chrome,firefox,opera,autorefresh,", the tokens of what is ticked, each followed by a comma.

// The tiles in their stored order, as tokens; the tiles are indexed alike everywhere.
inline constexpr std::array<std::string_view, 4> kTileTokens = {"ie", "chrome", "firefox", "opera"};
inline constexpr std::string_view kAutoRefreshToken = "autorefresh";

struct Selection {
  std::array<bool, kTileTokens.size()> tiles{};
  bool autoRefresh = false;
  friend bool operator==(const Selection&, const Selection&) = default;
};

std::string formatSelection(const Selection& selection);
// Only exact, case-sensitive tokens count; every other piece is ignored.
Selection parseSelection(std::string_view text);
// Nothing when none is stored: a first start.
std::optional<Selection> readSelection(platform::SettingsStore& store);
void writeSelection(platform::SettingsStore& store, const Selection& selection);

// ---- Browsers: the chosen browsers' tokens, each followed by a comma, in platform::Browser's order.

inline constexpr std::array<std::string_view, platform::kBrowserCount> kBrowserTokens = {
    "chrome", "msedge", "brave", "vivaldi", "firefox", "librewolf", "waterfox", "zen", "opera", "iexplore"};
using BrowserChoice = std::bitset<platform::kBrowserCount>;

inline bool chosen(const BrowserChoice& choice, platform::Browser browser) {
  return choice.test(static_cast<std::size_t>(browser));
}
// Chrome, Firefox, Opera and Internet Explorer: what the tiles refreshed before they stood for families.
BrowserChoice defaultBrowserChoice();
std::string formatBrowserChoice(const BrowserChoice& choice);
// Unknown tokens are ignored. Opera and Internet Explorer, the only browsers of their tiles, are always
// chosen: nothing else could choose them again.
BrowserChoice parseBrowserChoice(std::string_view text);
// The default when nothing usable is stored.
BrowserChoice readBrowserChoice(platform::SettingsStore& store);
void writeBrowserChoice(platform::SettingsStore& store, const BrowserChoice& choice);

// ---- Delay: milliseconds between the save and the refresh, as a whole number.

inline constexpr std::chrono::milliseconds kLongestDelay{2000};
// A whole number from 0 to 2000 as it is; anything else is no delay.
std::chrono::milliseconds parseDelay(std::string_view text);
std::chrono::milliseconds readDelay(platform::SettingsStore& store);
void writeDelay(platform::SettingsStore& store, std::chrono::milliseconds delay);

// ---- Position: "x,y", the window's top-left corner in physical pixels of the desktop.

// Two whole numbers (a leading minus allowed) and nothing else; anything else is no place at all.
std::optional<platform::PixelPoint> parsePosition(std::string_view text);
std::string formatPosition(platform::PixelPoint at);
std::optional<platform::PixelPoint> readPosition(platform::SettingsStore& store);
void writePosition(platform::SettingsStore& store, platform::PixelPoint at);

}  // namespace settings
