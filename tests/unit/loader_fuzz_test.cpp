// Whatever the settings store holds, start-up never fails, and it ticks a browser only for its exact token.
#include <gtest/gtest.h>

#include <cctype>
#include <random>

#include "support/fake_platform.h"
#include "ui/main_window.h"

namespace {

constexpr std::array<std::string_view, 5> kTokens = {"ie", "chrome", "firefox", "opera", "autorefresh"};
constexpr std::array<std::string_view, 5> kBoxes = {"ie_chk", "chrome_chk", "firefox_chk", "opera_chk",
                                                    "auto_chk"};

std::string randomStored(std::mt19937& random) {
  std::string text;
  switch (random() % 5) {
    case 0:  // arbitrary bytes, NULs included
      text.resize(random() % 100);
      for (char& c : text) c = static_cast<char>(random() % 256);
      break;
    case 1:  // commas only
      text.assign(random() % 40, ',');
      break;
    case 2:  // a very long value
      text.assign(20000 + random() % 20000, "iechrome,"[random() % 9]);
      break;
    default:  // tokens in any case, with stray separators between them
      for (int n = static_cast<int>(random() % 8); n > 0; --n) {
        std::string token(kTokens[random() % kTokens.size()]);
        if (random() % 3 == 0) {
          for (char& c : token) c = random() % 2 ? static_cast<char>(std::toupper(c)) : c;
        }
        text += token;
        text += ",,; \0"[random() % 5];
      }
  }
  return text;
}

TEST(StoredSelectionFuzz, OnlyExactTokensEverTick) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    const std::string stored = randomStored(random);
    fake::Platform p;
    ui::Main main(p.services);
    main.form().hWnd = p.wm.createWindow("VaskF5Main");
    p.settings.setApps(stored);
    ASSERT_NO_THROW(main.Form_Load()) << round;

    const std::string framed = "," + stored + ",";
    std::array<bool, 5> present{};
    bool anyToken = false;
    for (std::size_t i = 0; i < kTokens.size(); ++i) {
      present[i] = framed.find("," + std::string(kTokens[i]) + ",") != std::string::npos;
      anyToken = anyToken || present[i];
    }
    for (std::size_t i = 0; i < 4; ++i) {
      const bool firstStartChrome = stored.empty() && i == 1;
      EXPECT_EQ(main.control(kBoxes[i]).Value(), present[i] || firstStartChrome ? 1 : 0)
          << "round " << round << " box " << kBoxes[i];
    }
    // Automatic refresh follows the stored choice when the text is a selection at all, and stays on
    // otherwise.
    EXPECT_EQ(main.control("auto_chk").Value(), !anyToken || present[4] ? 1 : 0) << "round " << round;
    EXPECT_EQ(p.keyboard.watching(), main.control("auto_chk").Value() == 1);
  }
}

}  // namespace
