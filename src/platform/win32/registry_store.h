// Per-user settings in the registry: HKEY_CURRENT_USER\Software\<app>\<section>, one REG_SZ value per key;
// and the text values of the current user's registry that other services read and write.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace win32 {

// A REG_SZ value of HKEY_CURRENT_USER, up to the first NUL; nothing when it is absent, of another type,
// unreadable or longer than `maxChars`.
std::optional<std::wstring> readRegistryText(const std::wstring& subKey, const std::wstring& name,
                                             std::size_t maxChars);
// Writes a REG_SZ value, making the key if need be; a refused write leaves things as they were.
void writeRegistryText(const std::wstring& subKey, const std::wstring& name, const std::wstring& text);
void deleteRegistryValue(const std::wstring& subKey, const std::wstring& name);

class RegistryStore final : public platform::SettingsStore {
 public:
  // Longer values are not a selection this program wrote; they count as nothing stored.
  static constexpr std::size_t kMaxValueChars = 1024;

  std::optional<std::string> read(std::string_view app, std::string_view section,
                                  std::string_view key) override;
  void write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view value) override;
};

}  // namespace win32
