#include "settings/stored.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <vector>

namespace settings {

namespace {

constexpr std::string_view kAppsKey = "Apps";
constexpr std::string_view kBrowsersKey = "Browsers";
constexpr std::string_view kDelayKey = "Delay";
constexpr std::string_view kPositionKey = "Position";

// The comma-separated pieces of a text, empty ones left out.
std::vector<std::string_view> pieces(std::string_view text) {
  std::vector<std::string_view> list;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    if (const std::string_view piece = text.substr(0, comma); !piece.empty()) list.push_back(piece);
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
  }
  return list;
}

// A whole number, a leading minus allowed, and nothing else.
std::optional<std::int64_t> wholeNumber(std::string_view text) {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

}  // namespace

std::string formatSelection(const Selection& selection) {
  std::string text;
  for (std::size_t i = 0; i < kTileTokens.size(); ++i) {
    if (selection.tiles[i]) text.append(kTileTokens[i]).push_back(',');
  }
  if (selection.autoRefresh) text.append(kAutoRefreshToken).push_back(',');
  return text;
}

Selection parseSelection(std::string_view text) {
  Selection selection;
  for (std::string_view piece : pieces(text)) {
    for (std::size_t i = 0; i < kTileTokens.size(); ++i) selection.tiles[i] |= piece == kTileTokens[i];
    selection.autoRefresh |= piece == kAutoRefreshToken;
  }
  return selection;
}

std::optional<Selection> readSelection(platform::SettingsStore& store) {
  const std::optional<std::string> text = store.read(kApp, kSection, kAppsKey);
  return text ? std::optional(parseSelection(*text)) : std::nullopt;
}

void writeSelection(platform::SettingsStore& store, const Selection& selection) {
  store.write(kApp, kSection, kAppsKey, formatSelection(selection));
}

BrowserChoice defaultBrowserChoice() { return parseBrowserChoice("chrome,firefox,"); }

std::string formatBrowserChoice(const BrowserChoice& choice) {
  std::string text;
  for (std::size_t i = 0; i < kBrowserTokens.size(); ++i) {
    if (choice.test(i)) text.append(kBrowserTokens[i]).push_back(',');
  }
  return text;
}

BrowserChoice parseBrowserChoice(std::string_view text) {
  BrowserChoice choice;
  choice.set(static_cast<std::size_t>(platform::Browser::Opera));
  choice.set(static_cast<std::size_t>(platform::Browser::InternetExplorer));
  for (std::string_view piece : pieces(text)) {
    for (std::size_t i = 0; i < kBrowserTokens.size(); ++i) {
      if (piece == kBrowserTokens[i]) choice.set(i);
    }
  }
  return choice;
}

BrowserChoice readBrowserChoice(platform::SettingsStore& store) {
  const std::optional<std::string> text = store.read(kApp, kSection, kBrowsersKey);
  return text ? parseBrowserChoice(*text) : defaultBrowserChoice();
}

void writeBrowserChoice(platform::SettingsStore& store, const BrowserChoice& choice) {
  store.write(kApp, kSection, kBrowsersKey, formatBrowserChoice(choice));
}

std::chrono::milliseconds parseDelay(std::string_view text) {
  const std::optional<std::int64_t> ms = wholeNumber(text);
  if (!ms || text.starts_with('-') || *ms > kLongestDelay.count()) return {};
  return std::chrono::milliseconds(*ms);
}

std::chrono::milliseconds readDelay(platform::SettingsStore& store) {
  const std::optional<std::string> text = store.read(kApp, kSection, kDelayKey);
  return text ? parseDelay(*text) : std::chrono::milliseconds{};
}

void writeDelay(platform::SettingsStore& store, std::chrono::milliseconds delay) {
  store.write(kApp, kSection, kDelayKey, std::to_string(delay.count()));
}

std::optional<platform::PixelPoint> parsePosition(std::string_view text) {
  // A coordinate far beyond any desktop is not one this program stored.
  constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const std::optional<std::int64_t> x = wholeNumber(text.substr(0, comma));
  const std::optional<std::int64_t> y = wholeNumber(text.substr(comma + 1));
  if (!x || !y || *x > kLimit || *x < -kLimit || *y > kLimit || *y < -kLimit) return std::nullopt;
  return platform::PixelPoint{*x, *y};
}

std::string formatPosition(platform::PixelPoint at) {
  return std::to_string(at.x) + "," + std::to_string(at.y);
}

std::optional<platform::PixelPoint> readPosition(platform::SettingsStore& store) {
  const std::optional<std::string> text = store.read(kApp, kSection, kPositionKey);
  return text ? parsePosition(*text) : std::nullopt;
}

void writePosition(platform::SettingsStore& store, platform::PixelPoint at) {
  store.write(kApp, kSection, kPositionKey, formatPosition(at));
}

}  // namespace settings
