#include "settings/selection.h"

namespace settings {

std::string buildSelectionList(const Ticks& ticks) {
  std::string list;
  for (std::size_t i = 0; i < kTokenText.size(); ++i) {
    if (ticks[i] != 1) continue;
    list += kTokenText[i];
    list += ',';
  }
  return list;
}

std::vector<Token> parseSelectionList(std::string_view text) {
  std::vector<Token> tokens;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view piece = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    for (std::size_t i = 0; i < kTokenText.size(); ++i) {
      if (piece == kTokenText[i]) tokens.push_back(static_cast<Token>(i));
    }
  }
  return tokens;
}

std::optional<std::string> getSettings(platform::SettingsStore& store) {
  return store.GetSetting(kApp, kSection, kKey);
}

void saveSettings(platform::SettingsStore& store, const Ticks& ticks) {
  store.SaveSetting(kApp, kSection, kKey, buildSelectionList(ticks));
}

}  // namespace settings
