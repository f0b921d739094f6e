#include "refresh/families.h"

namespace refresh {

namespace {
using enum platform::Browser;
constexpr platform::Browser kChromeFamily[] = {Chrome, Edge, Brave, Vivaldi};
constexpr platform::Browser kFirefoxFamily[] = {Firefox, LibreWolf, Waterfox, Zen};
constexpr platform::Browser kOpera[] = {Opera};
constexpr platform::Browser kInternetExplorer[] = {InternetExplorer};
}  // namespace

std::span<const platform::Browser> familyOf(Tile tile) {
  switch (tile) {
    case Tile::InternetExplorer:
      return kInternetExplorer;
    case Tile::Chrome:
      return kChromeFamily;
    case Tile::Firefox:
      return kFirefoxFamily;
    case Tile::Opera:
      return kOpera;
  }
  return {};
}

}  // namespace refresh
