// The Linux layer's own stores, each in a fresh temporary folder. The settings file keeps the registry's
// rules (only a readable, well-formed value of sensible length counts as stored; anything else is replaced by
// the next change) and never harms a file it cannot read. The single-instance lock has one holder at a time
// per user and display, found alike in every environment. The autostart entry starts this very copy.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "platform/gtk/autostart.h"
#include "platform/gtk/instance_lock.h"
#include "platform/gtk/settings_file.h"

namespace {

namespace fs = std::filesystem;

// Whether the body, run in a child process, returns true; as a user who is not root (who reads every file)
// when asked.
bool inChild(const std::function<bool()>& body, bool asUser = false) {
  const pid_t child = fork();
  if (child == 0)
    _exit((!asUser || geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0)) && body() ? 0 : 1);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class Stores : public ::testing::Test {
 protected:
  ~Stores() override { fs::remove_all(folder); }
  static fs::path madeFolder() {
    std::string pattern = (fs::temp_directory_path() / "vaskf5-test-XXXXXX").string();
    return mkdtemp(pattern.data()) ? pattern : "";
  }
  static std::string text(const fs::path& file) {
    std::stringstream read;
    read << std::ifstream(file).rdbuf();
    return read.str();
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
  setApps("");
  EXPECT_EQ(apps(), "") << "an empty value is a value, not nothing";
  setApps("chrome,autorefresh,");
  EXPECT_EQ(text(file), "[Refresh]\nApps=chrome,autorefresh,\n");
  put(file, "[Refresh]\nApps=" + std::string(1024, 'a') + "\n");
  EXPECT_EQ(apps(), std::string(1024, 'a')) << "1024 characters are still a value";
  put(file, "[Window]\nLeft=10\n\n[Refresh]\nApps=ie,\n");
  setApps("firefox,");
  EXPECT_EQ(store.read("VaskF5", "Window", "Left"), "10") << "the other keys kept";
  const std::string unusable[] = {"this is not ini\x01\x02 [[[", "[Refresh]\nApps=chrome,\xff\xfe\n",
                                  "[Refresh]\nApps=" + std::string(1025, 'a') + "\n"};
  for (const std::string& content : unusable) {
    put(file, content);
    EXPECT_EQ(apps(), std::nullopt) << "not a value: " << content.substr(0, 30);
    setApps("ie,");
    EXPECT_EQ(apps(), "ie,") << "replaced by the next change: " << content.substr(0, 30);
  }
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
TEST_F(Stores, SettingsUnreadable) {
  put(file, "[Refresh]\nApps=ie,\n");
  fs::permissions(file, fs::perms::none);
  for (const fs::path& theirs : {folder, file.parent_path()}) {
    ASSERT_TRUE(geteuid() != 0 || chown(theirs.c_str(), 65534, 65534) == 0);  // the folders of that user
  }
  EXPECT_TRUE(inChild(
      [&] {
        gtk::SettingsFile own(folder);
        const bool firstStart = !own.read("VaskF5", "Refresh", "Apps");
        own.write("VaskF5", "Refresh", "Apps", "chrome,");
        return firstStart && own.read("VaskF5", "Refresh", "Apps") == "chrome,";
      },
      true))
      << "read as a first start, and the change kept for the session";
  EXPECT_EQ(text(file), "[Refresh]\nApps=ie,\n") << "the file untouched";
}

// flock locks belong to open files: a second copy of the program is a second process, not a second object.
TEST_F(Stores, LockHolder) {
  const fs::path lock = folder / "run" / "vaskf5.lock";
  const auto anotherProcessGetsIt = [&] { return inChild([&] { return gtk::InstanceLock(lock).held(); }); };
  {
    gtk::InstanceLock first(lock);
    gtk::InstanceLock moved(std::move(first));
    EXPECT_TRUE(moved.held() && !anotherProcessGetsIt());
    moved = gtk::InstanceLock(folder / "other.lock");
    EXPECT_TRUE(anotherProcessGetsIt()) << "let go when its owner takes another";
  }
  fs::remove(lock);
  fs::create_symlink(folder / "elsewhere", lock);
  gtk::InstanceLock planted(lock);
  EXPECT_FALSE(fs::exists(folder / "elsewhere")) << "a link in the lock's place is not followed";
}

TEST_F(Stores, LockPlace) {
  const fs::path runtime = folder / "user" / std::to_string(getuid()), config = folder / "config";
  const auto lockFor = [&](const char* display) {
    return gtk::instanceLockFile(config, display, folder / "user");
  };
  setenv("XDG_RUNTIME_DIR", (folder / "elsewhere").c_str(), 1);
  EXPECT_EQ(lockFor(":0"), config / "vaskf5-_0.lock") << "no runtime folder";
  fs::create_directories(runtime);
  fs::permissions(runtime, fs::perms(0700));
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(lockFor(":0.0"), runtime / "vaskf5-_0.lock");
  EXPECT_EQ(lockFor("unix:0"), runtime / "vaskf5-_0.lock");
  EXPECT_NE(lockFor(":1"), runtime / "vaskf5-_0.lock") << "another display";
  fs::permissions(runtime, fs::perms(0777));
  EXPECT_EQ(lockFor(":0"), config / "vaskf5-_0.lock") << "open to others";
  fs::remove(runtime);
  fs::create_symlink(folder, runtime);
  EXPECT_EQ(lockFor(":0"), config / "vaskf5-_0.lock") << "a link to elsewhere";
}

TEST_F(Stores, Autostart) {
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
