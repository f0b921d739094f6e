// The Linux layer's own stores, each in a fresh temporary folder. The settings file keeps the registry's
// rules: only a readable, well-formed value of sensible length counts as stored, anything else reads as
// nothing stored and is replaced by the next change. The single-instance lock has one holder at a time,
// across processes, and is free again once its holder is gone.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/gtk/instance_lock.h"
#include "platform/gtk/settings_file.h"
#include "settings/selection.h"

namespace {

using settings::kApp;
using settings::kKey;
using settings::kSection;

class InTempFolder : public ::testing::Test {
 protected:
  InTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vaskf5-test-XXXXXX").string();
    if (mkdtemp(pattern.data())) folder = pattern;
  }
  ~InTempFolder() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  std::filesystem::path folder;
};

class SettingsFile : public InTempFolder {
 protected:
  gtk::SettingsFile store{folder};

  std::filesystem::path file() const { return folder / "vaskf5" / "settings.ini"; }
  void writeFile(const std::string& text) {
    std::filesystem::create_directories(file().parent_path());
    std::ofstream(file()) << text;
  }
  std::optional<std::string> apps() { return store.GetSetting(kApp, kSection, kKey); }
};

// A change replaces a file that cannot be parsed and keeps the other keys of one that can.
TEST_F(SettingsFile, AValueWrittenIsReadBackFromTheIniUnderTheProgramsFolderAndAChangeKeepsTheRest) {
  store.SaveSetting(kApp, kSection, kKey, "");
  EXPECT_EQ(apps(), "") << "an empty value is a value, not nothing";
  store.SaveSetting(kApp, kSection, kKey, "chrome,autorefresh,");
  EXPECT_EQ(apps(), "chrome,autorefresh,");
  std::stringstream text;
  text << std::ifstream(file()).rdbuf();
  EXPECT_EQ(text.str(), "[Refresh]\nApps=chrome,autorefresh,\n");
  writeFile("[Refresh]\nApps=" + std::string(1024, 'a') + "\n");
  EXPECT_EQ(apps(), std::string(1024, 'a')) << "1024 characters are still a value";
  writeFile("garbage\x01[[[");
  store.SaveSetting(kApp, kSection, kKey, "ie,");
  EXPECT_EQ(apps(), "ie,");
  writeFile("[Window]\nLeft=10\n\n[Refresh]\nApps=ie,\n");
  store.SaveSetting(kApp, kSection, kKey, "firefox,");
  EXPECT_EQ(apps(), "firefox,");
  EXPECT_EQ(store.GetSetting(kApp, "Window", "Left"), "10");
}

TEST_F(SettingsFile, WhatCannotBeReadAsAStoredValueCountsAsNothingStored) {
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"a text that is no key file", "this is not ini\x01\x02 [[["},
      {"the key in another group", "[Other]\nApps=chrome,\n"},
      {"another key in the group", "[Refresh]\nApp=chrome,\n"},
      {"a value over 1024 characters", "[Refresh]\nApps=" + std::string(1025, 'a') + "\n"},
      {"a value that is not UTF-8", "[Refresh]\nApps=chrome,\xff\xfe\n"},
      {"an empty file", ""},
  };
  EXPECT_EQ(apps(), std::nullopt) << "no file at all";
  for (const auto& c : cases) {
    writeFile(c.text);
    EXPECT_EQ(apps(), std::nullopt) << c.what;
  }
}

// A plain file where the program's folder should be lets neither folder nor file be made; a folder by the
// file's name can be neither read as text nor renamed over. Either way the change is lost without harm.
TEST_F(SettingsFile, AChangeThatCannotBeWrittenIsLostWithoutHarm) {
  std::ofstream(folder / "vaskf5") << "in the way";
  store.SaveSetting(kApp, kSection, kKey, "chrome,");
  EXPECT_EQ(apps(), std::nullopt);
  std::filesystem::remove(folder / "vaskf5");
  std::filesystem::create_directories(file());
  EXPECT_EQ(apps(), std::nullopt);
  store.SaveSetting(kApp, kSection, kKey, "chrome,");
  EXPECT_EQ(apps(), std::nullopt);
}

class InstanceLock : public InTempFolder {
 protected:
  std::filesystem::path file() const { return folder / "run" / "vaskf5.lock"; }

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

TEST_F(InstanceLock, OneCopyHoldsTheLockUntilItsLastOwnerGoesAndNoOtherProcessGetsItMeanwhile) {
  {
    gtk::InstanceLock first(file());
    gtk::InstanceLock moved(std::move(first));
    EXPECT_TRUE(moved.held());
    EXPECT_FALSE(anotherProcessGetsIt());
    moved = gtk::InstanceLock(folder / "other.lock");
    EXPECT_TRUE(anotherProcessGetsIt()) << "let go when its owner takes another";
    moved = gtk::InstanceLock(file());
    EXPECT_FALSE(anotherProcessGetsIt());
  }
  EXPECT_TRUE(anotherProcessGetsIt()) << "let go when its owner is gone";
}

TEST_F(InstanceLock, TheLockFileIsInTheRuntimeFolderOrElseBesideTheSettings) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string restore = saved ? saved : "";
  setenv("XDG_RUNTIME_DIR", "/run/user/1234", 1);
  EXPECT_EQ(gtk::instanceLockFile("/home/a/.config/vaskf5"), "/run/user/1234/vaskf5.lock");
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(gtk::instanceLockFile("/home/a/.config/vaskf5"), "/home/a/.config/vaskf5/instance.lock");
  if (saved) setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
}

}  // namespace
