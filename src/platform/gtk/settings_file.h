// Per-user settings in a key file: <folder>/<app in lower case>/settings.ini, one group per section. On a
// desktop the folder is $XDG_CONFIG_HOME (~/.config when unset).
#pragma once

#include <filesystem>

#include "platform/platform.h"

namespace gtk {

class SettingsFile final : public platform::SettingsStore {
 public:
  // Longer values are not a selection this program wrote; they count as nothing stored, as in the registry.
  static constexpr long kMaxValueChars = 1024;

  explicit SettingsFile(std::filesystem::path configFolder) : folder_(std::move(configFolder)) {}

  // The file that holds an application's settings.
  std::filesystem::path fileOf(std::string_view app) const;

  std::optional<std::string> GetSetting(std::string_view app, std::string_view section,
                                        std::string_view key) override;
  // Rewrites the whole file in one step (a new file renamed over the old), so a crash or a full disk never
  // leaves half a file. A file that cannot be read is replaced by one holding just this value.
  void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view value) override;

 private:
  std::filesystem::path folder_;
};

// Where desktop programs keep their settings: $XDG_CONFIG_HOME, or ~/.config.
std::filesystem::path userConfigFolder();

}  // namespace gtk
