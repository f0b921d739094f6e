#include "platform/x11/browser_table.h"

#include <algorithm>
#include <cctype>

namespace x11 {

namespace {

bool equalWithoutCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(
      a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

const BrowserProgram* findBrowserProgram(std::string_view windowClass, std::string_view executable) {
  for (const auto& row : kBrowserPrograms) {
    if (equalWithoutCase(row.windowClass, windowClass) && row.executable == executable) return &row;
  }
  return nullptr;
}

}  // namespace x11
