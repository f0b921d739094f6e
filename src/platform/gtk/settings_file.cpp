#include "platform/gtk/settings_file.h"

#include <glib.h>

#include <algorithm>
#include <memory>
#include <string>

namespace gtk {

namespace {

struct KeyFileFree {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileFree>;

struct GFree {
  void operator()(void* memory) const { g_free(memory); }
};
using OwnedText = std::unique_ptr<char, GFree>;

// A file that is missing, unreadable or not a key file yields an empty key file.
KeyFile load(const std::filesystem::path& file) {
  KeyFile keys(g_key_file_new());
  if (!g_key_file_load_from_file(keys.get(), file.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr)) {
    keys.reset(g_key_file_new());
  }
  return keys;
}

}  // namespace

std::filesystem::path SettingsFile::fileOf(std::string_view app) const {
  std::string folderName(app);
  std::transform(folderName.begin(), folderName.end(), folderName.begin(),
                 [](unsigned char c) { return static_cast<char>(g_ascii_tolower(static_cast<char>(c))); });
  return folder_ / folderName / "settings.ini";
}

std::optional<std::string> SettingsFile::GetSetting(std::string_view app, std::string_view section,
                                                    std::string_view key) {
  const KeyFile keys = load(fileOf(app));
  const OwnedText value(
      g_key_file_get_string(keys.get(), std::string(section).c_str(), std::string(key).c_str(), nullptr));
  if (!value || !g_utf8_validate(value.get(), -1, nullptr) ||
      g_utf8_strlen(value.get(), -1) > kMaxValueChars) {
    return std::nullopt;
  }
  return std::string(value.get());
}

void SettingsFile::SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                               std::string_view value) {
  const std::filesystem::path file = fileOf(app);
  if (g_mkdir_with_parents(file.parent_path().c_str(), 0700) != 0) return;
  const KeyFile keys = load(file);
  g_key_file_set_string(keys.get(), std::string(section).c_str(), std::string(key).c_str(),
                        std::string(value).c_str());
  gsize length = 0;
  const OwnedText text(g_key_file_to_data(keys.get(), &length, nullptr));
  if (text) g_file_set_contents(file.c_str(), text.get(), static_cast<gssize>(length), nullptr);
}

std::filesystem::path userConfigFolder() { return g_get_user_config_dir(); }

}  // namespace gtk
