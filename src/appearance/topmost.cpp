#include "appearance/topmost.h"

namespace ModMain {

namespace {
constexpr std::uint32_t kKeepPlace = platform::kSwpNoMove | platform::kSwpNoSize;
}

void setTopMost(platform::WindowManager& wm, platform::Hwnd hwnd) {
  wm.SetWindowPos(hwnd, platform::kHwndTopmost, 0, 0, 0, 0, kKeepPlace);
}

void setNoTopMost(platform::WindowManager& wm, platform::Hwnd hwnd) {
  wm.SetWindowPos(hwnd, platform::kHwndNoTopmost, 0, 0, 0, 0, kKeepPlace);
}

}  // namespace ModMain
