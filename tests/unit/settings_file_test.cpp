// The settings file on Linux keeps the registry's rules: only a readable, well-formed value of sensible
// length counts as stored, anything else reads as nothing stored and is replaced by the next change.
#include "platform/gtk/settings_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "settings/selection.h"
#include "temp_folder.h"

namespace {

using settings::kApp;
using settings::kKey;
using settings::kSection;

class SettingsFileTest : public ::testing::Test {
 protected:
  testing_support::TempFolder folder;
  gtk::SettingsFile store{folder.path()};

  std::filesystem::path file() const { return folder.path() / "vaskf5" / "settings.ini"; }

  void writeFile(const std::string& text) {
    std::filesystem::create_directories(file().parent_path());
    std::ofstream(file()) << text;
  }
  std::string readFile() const {
    std::ifstream in(file());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::optional<std::string> apps() { return store.GetSetting(kApp, kSection, kKey); }
};

TEST_F(SettingsFileTest, AValueWrittenIsReadBackAndLivesInTheIniUnderTheProgramsFolder) {
  store.SaveSetting(kApp, kSection, kKey, "");
  EXPECT_EQ(apps(), "") << "an empty value is a value, not nothing";
  store.SaveSetting(kApp, kSection, kKey, "chrome,autorefresh,");
  EXPECT_EQ(apps(), "chrome,autorefresh,");
  EXPECT_EQ(readFile(), "[Refresh]\nApps=chrome,autorefresh,\n");
  writeFile("[Refresh]\nApps=" + std::string(1024, 'a') + "\n");
  EXPECT_EQ(apps(), std::string(1024, 'a')) << "1024 characters are still a value";
}

TEST_F(SettingsFileTest, WhatCannotBeReadAsAStoredValueCountsAsNothingStored) {
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

TEST_F(SettingsFileTest, AChangeReplacesAFileThatCannotBeParsedAndKeepsTheOtherKeysOfOneThatCan) {
  writeFile("garbage\x01[[[");
  store.SaveSetting(kApp, kSection, kKey, "ie,");
  EXPECT_EQ(apps(), "ie,");
  writeFile("[Window]\nLeft=10\n\n[Refresh]\nApps=ie,\n");
  store.SaveSetting(kApp, kSection, kKey, "firefox,");
  EXPECT_EQ(apps(), "firefox,");
  EXPECT_EQ(store.GetSetting(kApp, "Window", "Left"), "10");
}

TEST_F(SettingsFileTest, AFolderThatCannotBeMadeLosesTheChangeWithoutHarm) {
  // A plain file stands where the program's folder should be, so neither folder nor file can be made.
  std::ofstream(folder.path() / "vaskf5") << "in the way";
  store.SaveSetting(kApp, kSection, kKey, "chrome,");
  EXPECT_EQ(apps(), std::nullopt);
}

TEST_F(SettingsFileTest, ASettingsFileThatCannotBeReadOrReplacedCountsAsNothingStored) {
  // A folder by the file's name can be neither read as text nor renamed over.
  std::filesystem::create_directories(file());
  EXPECT_EQ(apps(), std::nullopt);
  store.SaveSetting(kApp, kSection, kKey, "chrome,");
  EXPECT_EQ(apps(), std::nullopt);
}

}  // namespace
