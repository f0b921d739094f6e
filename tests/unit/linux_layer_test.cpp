// The Linux layer's own stores, each in a fresh temporary folder. The settings file keeps the registry's
// rules (only a readable, well-formed value of sensible length counts as stored; a file that does not parse
// is replaced by the next change) and never harms a file it cannot read. The single-instance lock is found
// alike in every environment and never follows a link. The autostart entry starts this very copy.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/gtk/autostart.h"
#include "platform/gtk/instance_lock.h"
#include "platform/gtk/settings_file.h"

namespace {

namespace fs = std::filesystem;

class Stores : public ::testing::Test {
 protected:
  ~Stores() override { fs::remove_all(folder); }
  static fs::path madeFolder() {
    std::string pattern = (fs::temp_directory_path() / "vaskf5-test-XXXXXX").string();
    return mkdtemp(pattern.data()) ? pattern : "";
  }
  static std::string text(const fs::path& file) {
    return (std::ostringstream() << std::ifstream(file).rdbuf()).str();
  }
  static void put(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
  }
  std::optional<std::string> apps() { return store.read("VaskF5", "Refresh", "Apps"); }
  void setApps(const std::string& value) { store.write("VaskF5", "Refresh", "Apps", value); }

  const fs::path folder = madeFolder(), file = folder / "vaskf5" / "settings.ini";
  gtk::SettingsFile store{folder};
};

TEST_F(Stores, Settings) {
  put(file, "this is not ini\x01\x02 [[[");
  EXPECT_EQ(apps(), std::nullopt) << "not a value";
  setApps("");
  EXPECT_EQ(apps(), "") << "replaced by the next change; an empty value is a value, not nothing";
  put(file, "[Window]\nLeft=10\nTop=\xff\n\n[Refresh]\nApps=" + std::string(1025, 'a') +
                "\nDelay=" + std::string(1024, '1') + "\n");
  EXPECT_EQ(store.read("VaskF5", "Window", "Top"), std::nullopt) << "not UTF-8";
  EXPECT_EQ(apps(), std::nullopt) << "over 1024 characters";
  EXPECT_EQ(store.read("VaskF5", "Refresh", "Delay"), std::string(1024, '1')) << "1024 are still a value";
  setApps("firefox,");
  EXPECT_EQ(store.read("VaskF5", "Window", "Left"), "10") << "the other keys kept";
  fs::remove_all(file.parent_path());
  put(folder / "vaskf5", "in the way");
  setApps("chrome,");
  EXPECT_EQ(apps(), std::nullopt) << "a change with nowhere to go is lost without harm";
}

// Kept with the user's other settings and linked in place, the file stays a link and keeps its permissions.
TEST_F(Stores, SettingsThroughALink) {
  put(folder / "dotfiles" / "vaskf5.ini", "[Refresh]\nApps=ie,\n");
  fs::permissions(folder / "dotfiles" / "vaskf5.ini", fs::perms(0640));
  fs::create_directories(file.parent_path());
  fs::create_symlink(folder / "dotfiles" / "vaskf5.ini", file);
  setApps("chrome,");
  EXPECT_EQ(text(folder / "dotfiles" / "vaskf5.ini"), "[Refresh]\nApps=chrome,\n");
  EXPECT_EQ(std::pair(fs::is_symlink(file), fs::status(file).permissions()),
            std::pair(true, fs::perms(0640)));
}

// What cannot be read may hold what the user cares for: it is never written over, and the session runs on.
// Run as a user who is not root (root reads every file), in the folders of that user.
TEST_F(Stores, SettingsUnreadable) {
  put(file, "[Refresh]\nApps=ie,\n");
  fs::permissions(file, fs::perms::none);
  for (const fs::path& theirs : {folder, file.parent_path()})
    ASSERT_TRUE(geteuid() != 0 || chown(theirs.c_str(), 65534, 65534) == 0);
  const pid_t child = fork();
  if (child == 0) {
    gtk::SettingsFile own(folder);
    const bool firstStart = (geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0)) &&
                            !own.read("VaskF5", "Refresh", "Apps");
    own.write("VaskF5", "Refresh", "Apps", "chrome,");
    _exit(firstStart && own.read("VaskF5", "Refresh", "Apps") == "chrome," ? 0 : 1);
  }
  int status = 1;
  waitpid(child, &status, 0);
  EXPECT_EQ(status, 0) << "read as a first start, and the change kept for the session";
  EXPECT_EQ(text(file), "[Refresh]\nApps=ie,\n") << "the file untouched";
}

TEST_F(Stores, Lock) {
  const fs::path runtime = folder / "user" / std::to_string(getuid()), config = folder / "config";
  const auto lockFor = [&](const char* display) {
    return gtk::instanceLockFile(config, display, folder / "user");
  };
  EXPECT_EQ(lockFor(":0"), config / "vaskf5-_0.lock") << "no runtime folder";
  fs::create_directories(runtime);
  fs::permissions(runtime, fs::perms(0700));
  EXPECT_EQ(lockFor(":0.0"), runtime / "vaskf5-_0.lock");
  EXPECT_EQ(lockFor("unix:0"), runtime / "vaskf5-_0.lock");
  EXPECT_NE(lockFor(":1"), runtime / "vaskf5-_0.lock") << "another display";
  fs::permissions(runtime, fs::perms(0777));
  EXPECT_EQ(lockFor(":0"), config / "vaskf5-_0.lock") << "open to others";
  fs::remove(runtime);
  fs::create_symlink(folder, runtime);
  EXPECT_EQ(lockFor(":0"), config / "vaskf5-_0.lock") << "a link to elsewhere";
  fs::create_symlink(folder / "planted", folder / "vaskf5.lock");
  EXPECT_TRUE(gtk::InstanceLock(folder / "vaskf5.lock").held()) << "no lock to be had: the program runs";
  EXPECT_FALSE(fs::exists(folder / "planted")) << "a link in the lock's place is not followed";
}

TEST_F(Stores, Autostart) {
  const fs::path entry = folder / "autostart" / "vaskf5.desktop", program = folder / "my dir" / "vask\"f5";
  gtk::setAutostart(entry, program, true);
  EXPECT_TRUE(gtk::autostartStarts(entry, program)) << text(entry);
  EXPECT_FALSE(gtk::autostartStarts(entry, folder / "vaskf5")) << "an entry for another copy";
  put(entry, text(entry) + "Hidden=true\n");
  EXPECT_FALSE(gtk::autostartStarts(entry, program)) << "an entry the user turned off";
}

}  // namespace
