// Per-user settings in a key file: <folder>/<app in lower case>/settings.ini, one group per section. On a
// desktop the folder is $XDG_CONFIG_HOME (~/.config when unset).
#pragma once

#include <glib.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace gtk {

struct KeyFileFree {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileFree>;

class SettingsFile final : public platform::SettingsStore {
 public:
  // Longer values are not a selection this program wrote; they count as nothing stored, as in the registry.
  static constexpr long kMaxValueChars = 1024;

  explicit SettingsFile(std::filesystem::path configFolder) : folder_(std::move(configFolder)) {}

  // The file that holds an application's settings.
  std::filesystem::path fileOf(std::string_view app) const;

  std::optional<std::string> read(std::string_view app, std::string_view section,
                                  std::string_view key) override;
  // Rewrites the whole file in one step (a new file renamed over the old, with the old one's permissions), so
  // a crash or a full disk never leaves half a file; a file that is a symbolic link (kept with the user's
  // other settings, say) is rewritten where it leads. A file that exists but cannot be read is never
  // written: it may hold what the user cares for, so the changes of this session are kept for the session
  // only. A file that reads but does not parse is replaced by one holding just this value.
  void write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view value) override;

 private:
  // The application's keys as stored; nothing when its file exists but cannot be read.
  std::optional<KeyFile> load(std::string_view app);

  std::filesystem::path folder_;
  // Applications whose file could not be read, with the changes made since.
  std::map<std::string, KeyFile, std::less<>> sessionOnly_;
};

// Where desktop programs keep their settings: $XDG_CONFIG_HOME, or ~/.config.
std::filesystem::path userConfigFolder();

}  // namespace gtk
