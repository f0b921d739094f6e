#include "platform/gtk/autostart.h"

#include <glib.h>

#include <memory>
#include <string>
#include <system_error>

#include "platform/gtk/settings_file.h"

namespace gtk {

namespace {

constexpr const char* kGroup = "Desktop Entry";

// An Exec argument in double quotes, with the characters the desktop entry format reserves there escaped.
std::string quoted(const std::string& path) {
  std::string text = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') text += '\\';
    text += c;
  }
  return text + "\"";
}

std::filesystem::path resolved(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::path real = std::filesystem::weakly_canonical(path, error);
  return error ? path : real;
}

}  // namespace

std::filesystem::path runningProgram() { return resolved("/proc/self/exe"); }

bool autostartStarts(const std::filesystem::path& entry, const std::filesystem::path& program) {
  const KeyFile keys(g_key_file_new());
  if (!g_key_file_load_from_file(keys.get(), entry.c_str(), G_KEY_FILE_NONE, nullptr)) return false;
  if (g_key_file_get_boolean(keys.get(), kGroup, "Hidden", nullptr)) return false;
  std::unique_ptr<char, decltype(&g_free)> exec(g_key_file_get_string(keys.get(), kGroup, "Exec", nullptr),
                                                &g_free);
  gchar** argv = nullptr;
  if (!exec || !g_shell_parse_argv(exec.get(), nullptr, &argv, nullptr)) return false;
  const std::filesystem::path started = argv[0];
  g_strfreev(argv);
  return started.is_absolute() && resolved(started) == resolved(program);
}

void setAutostart(const std::filesystem::path& entry, const std::filesystem::path& program, bool on) {
  std::error_code error;
  if (!on) {
    std::filesystem::remove(entry, error);
    return;
  }
  if (g_mkdir_with_parents(entry.parent_path().c_str(), 0700) != 0) return;
  const KeyFile keys(g_key_file_new());
  g_key_file_set_string(keys.get(), kGroup, "Type", "Application");
  g_key_file_set_string(keys.get(), kGroup, "Name", "Vask F5");
  g_key_file_set_string(keys.get(), kGroup, "Exec", quoted(program.string()).c_str());
  g_key_file_save_to_file(keys.get(), entry.c_str(), nullptr);
}

}  // namespace gtk
