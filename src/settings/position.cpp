#include "settings/position.h"

#include <charconv>
#include <cstdint>
#include <limits>

#include "settings/selection.h"

namespace settings {

namespace {

// A coordinate far beyond any desktop is not one this program stored.
constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();

std::optional<std::int64_t> parseCoordinate(std::string_view text) {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value > kLimit || value < -kLimit) return {};
  return value;
}

}  // namespace

std::optional<platform::PixelPoint> parsePosition(std::string_view text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return {};
  const auto x = parseCoordinate(text.substr(0, comma));
  const auto y = parseCoordinate(text.substr(comma + 1));
  if (!x || !y) return {};
  return platform::PixelPoint{*x, *y};
}

std::string formatPosition(platform::PixelPoint at) {
  return std::to_string(at.x) + "," + std::to_string(at.y);
}

std::optional<platform::PixelPoint> getPosition(platform::SettingsStore& store) {
  const std::optional<std::string> text = store.GetSetting(kApp, kSection, kPositionKey);
  return text ? parsePosition(*text) : std::nullopt;
}

void savePosition(platform::SettingsStore& store, platform::PixelPoint at) {
  store.SaveSetting(kApp, kSection, kPositionKey, formatPosition(at));
}

}  // namespace settings
