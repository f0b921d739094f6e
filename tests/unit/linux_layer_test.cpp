// The Linux layer's own stores, each in a fresh temporary folder. The settings file keeps the registry's
// rules (only a readable, well-formed value of sensible length counts as stored; anything else is replaced
// by the next change) and never harms a file it cannot read. The single-instance lock has one holder at a
// time per user and display, found alike in every environment. The autostart entry starts this very copy.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "platform/gtk/autostart.h"
#include "platform/gtk/instance_lock.h"
#include "platform/gtk/settings_file.h"
#include "settings/stored.h"

namespace {

namespace fs = std::filesystem;
using settings::kApp;
using settings::kSection;

class InTempFolder : public ::testing::Test {
 protected:
  InTempFolder() {
    std::string pattern = (fs::temp_directory_path() / "vaskf5-test-XXXXXX").string();
    if (mkdtemp(pattern.data())) folder = pattern;
  }
  ~InTempFolder() override { fs::remove_all(folder); }

  static std::string text(const fs::path& file) {
    std::stringstream read;
    read << std::ifstream(file).rdbuf();
    return read.str();
  }
  static void put(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
  }
  // Runs the body in a child process as a user who is not root (root reads every file), and says whether it
  // returned true.
  static bool asUser(const std::function<bool()>& body) {
    const pid_t child = fork();
    if (child == 0) _exit((geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0)) && body() ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  fs::path folder;
};

class SettingsFile : public InTempFolder {
 protected:
  gtk::SettingsFile store{folder};
  fs::path file() const { return folder / "vaskf5" / "settings.ini"; }
  std::optional<std::string> apps() { return store.read(kApp, kSection, "Apps"); }
  void setApps(const std::string& value) { store.write(kApp, kSection, "Apps", value); }
};

TEST_F(SettingsFile, Writes) {
  setApps("");
  EXPECT_EQ(apps(), "") << "an empty value is a value, not nothing";
  setApps("chrome,autorefresh,");
  EXPECT_EQ(text(file()), "[Refresh]\nApps=chrome,autorefresh,\n");
  put(file(), "[Refresh]\nApps=" + std::string(1024, 'a') + "\n");
  EXPECT_EQ(apps(), std::string(1024, 'a')) << "1024 characters are still a value";
  put(file(), "garbage\x01[[[");
  setApps("ie,");
  EXPECT_EQ(apps(), "ie,") << "a file that does not parse is replaced";
  put(file(), "[Window]\nLeft=10\n\n[Refresh]\nApps=ie,\n");
  setApps("firefox,");
  EXPECT_EQ(apps(), "firefox,");
  EXPECT_EQ(store.read(kApp, "Window", "Left"), "10") << "the other keys kept";
}

TEST_F(SettingsFile, NothingStored) {
  const std::pair<const char*, std::string> cases[] = {
      {"a text that is no key file", "this is not ini\x01\x02 [[["},
      {"the key in another group", "[Other]\nApps=chrome,\n"},
      {"another key in the group", "[Refresh]\nApp=chrome,\n"},
      {"a value over 1024 characters", "[Refresh]\nApps=" + std::string(1025, 'a') + "\n"},
      {"a value that is not UTF-8", "[Refresh]\nApps=chrome,\xff\xfe\n"},
  };
  EXPECT_EQ(apps(), std::nullopt) << "no file at all";
  for (const auto& [what, content] : cases) {
    put(file(), content);
    EXPECT_EQ(apps(), std::nullopt) << what;
  }
  fs::remove_all(file().parent_path());
  std::ofstream(folder / "vaskf5") << "in the way";
  setApps("chrome,");
  EXPECT_EQ(apps(), std::nullopt) << "a change with nowhere to go is lost without harm";
}

// Kept with the user's other settings and linked in place, the file stays a link and keeps its permissions.
TEST_F(SettingsFile, ThroughALink) {
  put(folder / "dotfiles" / "vaskf5.ini", "[Refresh]\nApps=ie,\n");
  fs::permissions(folder / "dotfiles" / "vaskf5.ini", fs::perms(0640));
  fs::create_directories(file().parent_path());
  fs::create_symlink(folder / "dotfiles" / "vaskf5.ini", file());
  setApps("chrome,");
  EXPECT_TRUE(fs::is_symlink(file()));
  EXPECT_EQ(text(folder / "dotfiles" / "vaskf5.ini"), "[Refresh]\nApps=chrome,\n");
  EXPECT_EQ(fs::status(file()).permissions(), fs::perms(0640));
}

// What cannot be read may hold what the user cares for: it is never written over, and the session runs on.
TEST_F(SettingsFile, Unreadable) {
  put(file(), "[Refresh]\nApps=ie,\n");
  fs::permissions(file(), fs::perms::none);
  chown(folder.c_str(), 65534, 65534);
  chown(file().parent_path().c_str(), 65534, 65534);
  EXPECT_TRUE(asUser([&] {
    gtk::SettingsFile own(folder);
    const bool firstStart = !own.read(kApp, kSection, "Apps");
    own.write(kApp, kSection, "Apps", "chrome,");
    return firstStart && own.read(kApp, kSection, "Apps") == "chrome,";
  })) << "read as a first start, and the change kept for the session";
  EXPECT_EQ(text(file()), "[Refresh]\nApps=ie,\n") << "the file untouched";
}

class InstanceLock : public InTempFolder {
 protected:
  fs::path file() const { return folder / "run" / "vaskf5.lock"; }

  // Whether a separate process could take the lock right now (flock locks belong to open files, so a second
  // copy of the program is a second process, not a second object).
  bool anotherProcessGetsIt() const {
    const pid_t child = fork();
    if (child == 0) _exit(gtk::InstanceLock(file()).held() ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
};

TEST_F(InstanceLock, OneHolder) {
  {
    gtk::InstanceLock first(file());
    gtk::InstanceLock moved(std::move(first));
    EXPECT_TRUE(moved.held());
    EXPECT_FALSE(anotherProcessGetsIt());
    moved = gtk::InstanceLock(folder / "other.lock");
    EXPECT_TRUE(anotherProcessGetsIt()) << "let go when its owner takes another";
  }
  EXPECT_TRUE(anotherProcessGetsIt()) << "let go when its owner is gone";
  fs::remove(file());
  fs::create_symlink(folder / "elsewhere", file());
  gtk::InstanceLock planted(file());
  EXPECT_FALSE(fs::exists(folder / "elsewhere")) << "a link in the lock's place is not followed";
}

TEST_F(InstanceLock, Place) {
  const fs::path runtime = folder / "user" / std::to_string(getuid()), config = folder / "config";
  setenv("XDG_RUNTIME_DIR", (folder / "elsewhere").c_str(), 1);
  EXPECT_EQ(gtk::instanceLockFile(config, ":0", folder / "user"), config / "vaskf5-_0.lock") << "no runtime folder";
  fs::create_directories(runtime);
  fs::permissions(runtime, fs::perms(0700));
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(gtk::instanceLockFile(config, ":0.0", folder / "user"), runtime / "vaskf5-_0.lock");
  EXPECT_EQ(gtk::instanceLockFile(config, "unix:0", folder / "user"), runtime / "vaskf5-_0.lock");
  EXPECT_NE(gtk::instanceLockFile(config, ":1", folder / "user"), runtime / "vaskf5-_0.lock") << "another display";
  fs::permissions(runtime, fs::perms(0777));
  EXPECT_EQ(gtk::instanceLockFile(config, ":0", folder / "user"), config / "vaskf5-_0.lock") << "open to others";
  fs::remove(runtime);
  fs::create_symlink(folder, runtime);
  EXPECT_EQ(gtk::instanceLockFile(config, ":0", folder / "user"), config / "vaskf5-_0.lock") << "a link to elsewhere";
}

TEST_F(InTempFolder, Autostart) {
  const fs::path entry = folder / "autostart" / "vaskf5.desktop", program = folder / "my dir" / "vask\"f5";
  put(program, "");
  gtk::setAutostart(entry, program, true);
  EXPECT_TRUE(gtk::autostartStarts(entry, program)) << text(entry);
  EXPECT_FALSE(gtk::autostartStarts(entry, folder / "vaskf5")) << "an entry for another copy";
  put(entry, text(entry) + "Hidden=true\n");
  EXPECT_FALSE(gtk::autostartStarts(entry, program)) << "an entry the user turned off";
  gtk::setAutostart(entry, program, false);
  EXPECT_FALSE(fs::exists(entry));
}

}  // namespace
