// How each browser's frames are recognised on X11: the class its windows carry in WM_CLASS together with
// the file name of the program that made them. Both must agree, so an editor or mail client that borrows a
// browser's toolkit (and sometimes its window class) is never taken for the browser: Electron programs carry
// their own class and run their own executable.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/platform.h"

namespace x11 {

// How a browser takes the F5 it is sent.
enum class Engine : std::uint8_t {
  // Gecko takes a key sent straight to its window, whether it is active, covered or minimised.
  Gecko,
  // Chromium drops keys unless it believes it is active and its page is visible.
  Chromium,
};

struct BrowserProgram {
  platform::Browser browser;
  std::span<const std::string_view> windowClasses;  // WM_CLASS class, compared without case
  std::span<const std::string_view> executables;    // the file name of /proc/PID/exe, compared exactly
  Engine engine;
};

// One row per browser that runs on Linux; Internet Explorer has none, so its tile finds nothing and costs no
// look at the desktop.
std::span<const BrowserProgram> browserPrograms();

// The row of the browser, or null when it has none on X11.
const BrowserProgram* programOf(platform::Browser browser);

// Which of the browsers made a window of this WM_CLASS (instance and class) run by this executable, or
// nothing. An installed web app (instance "crx_…") is an application window of its own, not a frame.
std::optional<platform::Browser> browserOf(std::span<const platform::Browser> browsers,
                                           std::string_view instance, std::string_view windowClass,
                                           std::string_view executable);

// Whether any of the browsers has a window of this class: the cheap first test of a window.
bool anyHasClass(std::span<const platform::Browser> browsers, std::string_view windowClass);

}  // namespace x11
