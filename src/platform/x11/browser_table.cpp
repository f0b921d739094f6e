#include "platform/x11/browser_table.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace x11 {

namespace {

using namespace std::string_view_literals;
using enum platform::Browser;

// Where the facts come from. Chromium-based browsers name their windows' class after the desktop file their
// launcher announces in CHROME_DESKTOP, first letter capitalised (Chromium's
// chrome/browser/shell_integration_linux.cc, GetProgramClassClass); a user-data-dir of its own only changes
// the instance. Gecko-based browsers use their remoting name as the class as it is (MOZ_APP_REMOTINGNAME,
// set by each brand's browser/branding/*/configure.sh or the packager's build options). The executables are
// where each vendor's package installs its browser.
//
// Checked here (Debian 12): Chromium 156 is class "Chromium", /usr/lib/chromium/chromium; Firefox ESR is
// "firefox-esr", /usr/lib/firefox-esr/firefox-esr. Every other row could not be checked here, as those
// browsers are not in Debian; they are read from the vendors' packages as named beside each.

// Debian and Arch "chromium"; Ubuntu's old deb "chromium-browser"; the Snap runs Chromium's own binary,
// named chrome; Google's packages /opt/google/chrome*/chrome with google-chrome*.desktop (not checked here).
constexpr std::array kChromeClasses = {"Chromium"sv, "Chromium-browser"sv, "Google-chrome"sv,
                                       "Google-chrome-beta"sv, "Google-chrome-unstable"sv};
constexpr std::array kChromeExecutables = {"chromium"sv, "chromium-browser"sv, "chrome"sv};
// Microsoft's packages: /opt/microsoft/msedge*/msedge, microsoft-edge*.desktop (not checked here).
constexpr std::array kEdgeClasses = {"Microsoft-edge"sv, "Microsoft-edge-beta"sv, "Microsoft-edge-dev"sv};
constexpr std::array kEdgeExecutables = {"msedge"sv};
// Brave's packages: /opt/brave.com/brave*/brave, brave-browser*.desktop (not checked here).
constexpr std::array kBraveClasses = {"Brave-browser"sv, "Brave-browser-beta"sv, "Brave-browser-nightly"sv};
constexpr std::array kBraveExecutables = {"brave"sv};
// Vivaldi's packages: /opt/vivaldi*/vivaldi-bin, vivaldi-stable.desktop, vivaldi-snapshot.desktop (not
// checked here).
constexpr std::array kVivaldiClasses = {"Vivaldi-stable"sv, "Vivaldi-snapshot"sv};
constexpr std::array kVivaldiExecutables = {"vivaldi-bin"sv};
// Opera's packages: /usr/lib/x86_64-linux-gnu/opera*/opera*, opera.desktop and the like (not checked here).
// Opera GX has no Linux build.
constexpr std::array kOperaClasses = {"Opera"sv, "Opera-beta"sv, "Opera-developer"sv};
constexpr std::array kOperaExecutables = {"opera"sv, "opera-beta"sv, "opera-developer"sv};
// Mozilla's builds "firefox" (release, beta; the tarball's binary is firefox, older ones firefox-bin);
// Debian's ESR "firefox-esr" (checked here); Developer Edition "firefox-aurora" in Mozilla's older tarballs
// and "firefox-dev" in its aurora branding, "firefox-developer-edition" in Arch's package; Nightly
// "firefox-nightly" (none of these checked here).
constexpr std::array kFirefoxClasses = {
    "firefox"sv,        "firefox-esr"sv, "firefox-aurora"sv, "firefox-dev"sv, "firefox-developer-edition"sv,
    "firefox-nightly"sv};
constexpr std::array kFirefoxExecutables = {"firefox"sv, "firefox-bin"sv, "firefox-esr"sv,
                                            "firefox-developer-edition"sv};
// LibreWolf's packages and Flatpak: /usr/share/librewolf/librewolf, /app/lib/librewolf/librewolf (not
// checked here).
constexpr std::array kLibreWolfClasses = {"librewolf"sv};
constexpr std::array kLibreWolfExecutables = {"librewolf"sv, "librewolf-bin"sv};
// Waterfox's tarball: waterfox/waterfox, older waterfox-bin (not checked here).
constexpr std::array kWaterfoxClasses = {"waterfox"sv};
constexpr std::array kWaterfoxExecutables = {"waterfox"sv, "waterfox-bin"sv};
// Zen's tarball and Flatpak: zen/zen, older zen-bin; class "zen", older builds "zen-alpha", "zen-beta" (not
// checked here).
constexpr std::array kZenClasses = {"zen"sv, "zen-alpha"sv, "zen-beta"sv};
constexpr std::array kZenExecutables = {"zen"sv, "zen-bin"sv};

constexpr std::array kPrograms = {
    BrowserProgram{Chrome, kChromeClasses, kChromeExecutables, Engine::Chromium},
    BrowserProgram{Edge, kEdgeClasses, kEdgeExecutables, Engine::Chromium},
    BrowserProgram{Brave, kBraveClasses, kBraveExecutables, Engine::Chromium},
    BrowserProgram{Vivaldi, kVivaldiClasses, kVivaldiExecutables, Engine::Chromium},
    BrowserProgram{Firefox, kFirefoxClasses, kFirefoxExecutables, Engine::Gecko},
    BrowserProgram{LibreWolf, kLibreWolfClasses, kLibreWolfExecutables, Engine::Gecko},
    BrowserProgram{Waterfox, kWaterfoxClasses, kWaterfoxExecutables, Engine::Gecko},
    BrowserProgram{Zen, kZenClasses, kZenExecutables, Engine::Gecko},
    BrowserProgram{Opera, kOperaClasses, kOperaExecutables, Engine::Chromium},
};

bool equalWithoutCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(
      a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

bool asked(std::span<const platform::Browser> browsers, const BrowserProgram& program) {
  return std::ranges::find(browsers, program.browser) != browsers.end();
}

bool hasClass(const BrowserProgram& program, std::string_view windowClass) {
  return std::ranges::any_of(program.windowClasses,
                             [&](std::string_view c) { return equalWithoutCase(c, windowClass); });
}

}  // namespace

std::span<const BrowserProgram> browserPrograms() { return kPrograms; }

const BrowserProgram* programOf(platform::Browser browser) {
  const auto* row = std::ranges::find(kPrograms, browser, &BrowserProgram::browser);
  return row == kPrograms.end() ? nullptr : row;
}

bool anyHasClass(std::span<const platform::Browser> browsers, std::string_view windowClass) {
  return std::ranges::any_of(
      kPrograms, [&](const BrowserProgram& p) { return asked(browsers, p) && hasClass(p, windowClass); });
}

std::optional<platform::Browser> browserOf(std::span<const platform::Browser> browsers,
                                           std::string_view instance, std::string_view windowClass,
                                           std::string_view executable) {
  if (instance.starts_with("crx_")) return std::nullopt;
  for (const BrowserProgram& program : kPrograms) {
    if (asked(browsers, program) && hasClass(program, windowClass) &&
        std::ranges::find(program.executables, executable) != program.executables.end()) {
      return program.browser;
    }
  }
  return std::nullopt;
}

}  // namespace x11
