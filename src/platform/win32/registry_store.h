// Per-user settings in the registry: HKEY_CURRENT_USER\Software\<app>\<section>, one REG_SZ value per key.
#pragma once

#include "platform/platform.h"

namespace win32 {

class RegistryStore final : public platform::SettingsStore {
 public:
  // Longer values are not a selection this program wrote; they count as nothing stored.
  static constexpr unsigned long kMaxValueChars = 1024;

  std::optional<std::string> GetSetting(std::string_view app, std::string_view section,
                                        std::string_view key) override;
  void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view value) override;
};

}  // namespace win32
