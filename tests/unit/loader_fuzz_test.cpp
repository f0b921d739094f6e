// Whatever the settings store holds, start-up never fails, ticks a browser (or automatic refresh) exactly
// when its exact token is stored, and writes nothing back.
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
    for (std::size_t i = 0; i < kTokens.size(); ++i) {
      const bool present = framed.find("," + std::string(kTokens[i]) + ",") != std::string::npos;
      EXPECT_EQ(main.control(kBoxes[i]).Value(), present ? 1 : 0)
          << "round " << round << " box " << kBoxes[i];
    }
    EXPECT_EQ(p.keyboard.watching(), main.control("auto_chk").Value() == 1);
    EXPECT_EQ(p.settings.writes, 0);
  }
}

}  // namespace
