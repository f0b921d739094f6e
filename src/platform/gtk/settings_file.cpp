#include "platform/gtk/settings_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace gtk {

namespace {

struct GFree {
  void operator()(void* memory) const { g_free(memory); }
};
using OwnedText = std::unique_ptr<char, GFree>;

struct FileCloser {
  int fd;
  ~FileCloser() {
    if (fd >= 0) ::close(fd);
  }
};

// Writes the text to a new file beside the target with the target's permissions (a new file is the user's
// alone), then renames it over the target.
bool replaceFile(const std::filesystem::path& target, std::string_view text) {
  struct stat info {};
  const bool exists = ::stat(target.c_str(), &info) == 0;
  std::string temporary = target.string() + ".XXXXXX";
  FileCloser file{::mkstemp(temporary.data())};
  if (file.fd < 0) return false;
  bool written = ::fchmod(file.fd, exists ? (info.st_mode & 07777) : 0600) == 0;
  for (std::size_t done = 0; written && done < text.size();) {
    const ssize_t count = ::write(file.fd, text.data() + done, text.size() - done);
    written = count > 0;
    done += written ? static_cast<std::size_t>(count) : 0;
  }
  written = written && ::fsync(file.fd) == 0 && ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!written) ::unlink(temporary.c_str());
  return written;
}

}  // namespace

std::filesystem::path SettingsFile::fileOf(std::string_view app) const {
  std::string folderName(app);
  std::transform(folderName.begin(), folderName.end(), folderName.begin(),
                 [](unsigned char c) { return static_cast<char>(g_ascii_tolower(static_cast<char>(c))); });
  return folder_ / folderName / "settings.ini";
}

std::optional<KeyFile> SettingsFile::load(std::string_view app) {
  KeyFile keys(g_key_file_new());
  if (sessionOnly_.contains(app)) return std::nullopt;
  gchar* contents = nullptr;
  gsize length = 0;
  GError* error = nullptr;
  if (!g_file_get_contents(fileOf(app).c_str(), &contents, &length, &error)) {
    const bool missing = g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT) ||
                         g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOTDIR);
    g_error_free(error);
    if (missing) return keys;
    sessionOnly_.emplace(std::string(app), KeyFile(g_key_file_new()));
    return std::nullopt;
  }
  const OwnedText text(contents);
  // What does not parse reads as nothing stored, and the next change replaces it.
  if (!g_key_file_load_from_data(keys.get(), text.get(), length, G_KEY_FILE_KEEP_COMMENTS, nullptr)) {
    keys.reset(g_key_file_new());
  }
  return keys;
}

std::optional<std::string> SettingsFile::read(std::string_view app, std::string_view section,
                                              std::string_view key) {
  std::optional<KeyFile> loaded = load(app);
  GKeyFile* keys = loaded ? loaded->get() : sessionOnly_.find(app)->second.get();
  const OwnedText value(
      g_key_file_get_string(keys, std::string(section).c_str(), std::string(key).c_str(), nullptr));
  if (!value || !g_utf8_validate(value.get(), -1, nullptr) ||
      g_utf8_strlen(value.get(), -1) > kMaxValueChars) {
    return std::nullopt;
  }
  return std::string(value.get());
}

void SettingsFile::write(std::string_view app, std::string_view section, std::string_view key,
                         std::string_view value) {
  std::optional<KeyFile> loaded = load(app);
  GKeyFile* keys = loaded ? loaded->get() : sessionOnly_.find(app)->second.get();
  g_key_file_set_string(keys, std::string(section).c_str(), std::string(key).c_str(),
                        std::string(value).c_str());
  if (!loaded) return;
  std::error_code error;
  const std::filesystem::path target = std::filesystem::weakly_canonical(fileOf(app), error);
  if (error || g_mkdir_with_parents(target.parent_path().c_str(), 0700) != 0) return;
  gsize length = 0;
  const OwnedText text(g_key_file_to_data(keys, &length, nullptr));
  // A change that cannot be written (a full disk, a read-only folder) is lost, as the store's contract
  // allows.
  if (text) replaceFile(target, {text.get(), length});
}

std::filesystem::path userConfigFolder() { return g_get_user_config_dir(); }

}  // namespace gtk
