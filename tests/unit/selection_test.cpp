#include "settings/selection.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using settings::Token;

TEST(SelectionList, TokensFollowTheFixedOrderEachWithAComma) {
  EXPECT_EQ(settings::buildSelectionList({0, 0, 0, 0, 0}), "");
  EXPECT_EQ(settings::buildSelectionList({0, 1, 0, 0, 1}), "chrome,autorefresh,");
  EXPECT_EQ(settings::buildSelectionList({1, 1, 1, 1, 1}), "ie,chrome,firefox,opera,autorefresh,");
  EXPECT_EQ(settings::buildSelectionList({2, 0, 0, 0, -1}), "") << "only exactly 1 is a tick";
}

TEST(SelectionList, ParsingKeepsOnlyExactTokensInTheirStoredOrder) {
  EXPECT_EQ(settings::parseSelectionList("firefox,ie,"), (std::vector<Token>{Token::Firefox, Token::IE}));
  EXPECT_EQ(settings::parseSelectionList("ie,ie,"), (std::vector<Token>{Token::IE, Token::IE}));
  EXPECT_EQ(settings::parseSelectionList("opera"), std::vector<Token>{Token::Opera}) << "last comma missing";
  EXPECT_TRUE(settings::parseSelectionList("Chrome,IE,AUTOREFRESH,").empty());
  EXPECT_TRUE(settings::parseSelectionList(" ie, chrome ,ie;,,,,").empty());
  EXPECT_TRUE(settings::parseSelectionList(std::string("ie\0,", 4)).empty())
      << "an embedded NUL spoils a token";
}

// Whatever the store holds, parsing never fails and every token it returns stands, exactly and between
// commas, in the text; a list the program wrote comes back as it was.
TEST(SelectionList, ArbitraryTextOnlyEverYieldsTokensThatStandInIt) {
  std::mt19937 random(20261207);
  const std::string alphabet = std::string("iechromfxpautsAEIO,; \0\xff", 24);
  for (int round = 0; round < 5000; ++round) {
    std::string text(random() % 64, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    if (round % 5 == 0) text += std::string(settings::kTokenText[random() % 5]) + ",";
    const std::string framed = "," + text + ",";
    for (Token token : settings::parseSelectionList(text)) {
      const auto word = settings::kTokenText[static_cast<std::size_t>(token)];
      EXPECT_NE(framed.find("," + std::string(word) + ","), std::string::npos) << text;
    }
  }
  for (int bits = 0; bits < 32; ++bits) {
    settings::Ticks ticks{};
    for (std::size_t i = 0; i < ticks.size(); ++i) ticks[i] = (bits >> i) & 1;
    const auto tokens = settings::parseSelectionList(settings::buildSelectionList(ticks));
    settings::Ticks back{};
    for (Token t : tokens) back[static_cast<std::size_t>(t)] = 1;
    EXPECT_EQ(back, ticks);
  }
  EXPECT_TRUE(settings::parseSelectionList(std::string(1 << 20, ',')).empty());
}

}  // namespace
