#include "refresh/dispatch.h"

#include <algorithm>

namespace refresh {

std::optional<platform::WindowId> refreshTicked(platform::Desktop& desktop,
                                                std::span<const std::vector<platform::Browser>> tiles) {
  if (tiles.empty()) return std::nullopt;
  std::vector<platform::Browser> wanted;
  for (const auto& browsers : tiles) wanted.insert(wanted.end(), browsers.begin(), browsers.end());
  const std::vector<platform::BrowserFrame> frames =
      wanted.empty() ? std::vector<platform::BrowserFrame>{} : desktop.findFrames(wanted);
  platform::WindowId last;
  for (const auto& browsers : tiles) {
    last = {};
    for (platform::Browser browser : browsers) {
      const auto frame = std::ranges::find(frames, browser, &platform::BrowserFrame::browser);
      if (frame == frames.end()) continue;
      desktop.refresh(*frame);
      last = frame->window;
    }
  }
  return last;
}

std::optional<platform::BrowserFrame> frontmostFrame(platform::Desktop& desktop,
                                                     std::span<const platform::Browser> browsers) {
  if (browsers.empty()) return std::nullopt;
  const std::vector<platform::BrowserFrame> frames = desktop.findFrames(browsers);
  if (frames.empty()) return std::nullopt;
  return frames.front();
}

}  // namespace refresh
