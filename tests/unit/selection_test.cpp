#include "settings/selection.h"

#include <gtest/gtest.h>

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

TEST(SelectionList, EveryListTheProgramWritesReadsBackAsTheSameTicks) {
  for (int bits = 0; bits < 32; ++bits) {
    settings::Ticks ticks{};
    for (std::size_t i = 0; i < ticks.size(); ++i) ticks[i] = (bits >> i) & 1;
    settings::Ticks back{};
    for (Token t : settings::parseSelectionList(settings::buildSelectionList(ticks))) {
      back[static_cast<std::size_t>(t)] = 1;
    }
    EXPECT_EQ(back, ticks);
  }
}

}  // namespace
