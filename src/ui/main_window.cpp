#include "ui/main_window.h"

#include <algorithm>
#include <array>
#include <utility>

#include "appearance/opacity.h"
#include "appearance/topmost.h"
#include "platform/form/placement.h"
#include "refresh/browser_lookup.h"
#include "settings/position.h"
#include "ui/layout.h"

namespace ui {

namespace {

constexpr std::string_view kOperaNotSupported = ":( 暂不支持 Opera 浏览器";

// Alpha set on the program's own window by the digit keys; top-row 7 sits between 6 and 8.
constexpr std::array<std::pair<int, int>, 20> kDigitAlpha = {{
    {48, 255},  {49, 40},   {50, 80},   {51, 120},  {52, 140},  {53, 160},  {54, 180},
    {55, 190},  {56, 200},  {57, 220},  {96, 255},  {97, 25},   {98, 50},   {99, 75},
    {100, 100}, {101, 125}, {102, 150}, {103, 175}, {104, 200}, {105, 225},
}};

// The faintest the program makes its own window: the lowest level the digit keys offer. Fainter, a window
// pinned above everything could no longer be seen or found to be clicked.
constexpr int kOwnWindowMinAlpha = 25;

}  // namespace

Main::Main(platform::Platform& platform)
    : platform_(platform),
      form_("Vask F5", kClientWidth, kClientHeight),
      watcher_(platform.keyboard, platform.timers, [this] { sendF5(); }),
      MainBg((buildLayout(form_), form_.control("MainBg"))),
      handle_lbl(form_.control("handle_lbl")),
      setting_frame(form_.control("setting_frame")),
      ie_chk(form_.control("ie_chk")),
      chrome_chk(form_.control("chrome_chk")),
      firefox_chk(form_.control("firefox_chk")),
      opera_chk(form_.control("opera_chk")),
      auto_chk(form_.control("auto_chk")),
      ie_checked(form_.control("ie_checked")),
      chrome_checked(form_.control("chrome_checked")),
      firefox_checked(form_.control("firefox_checked")),
      opera_checked(form_.control("opera_checked")),
      auto_check(form_.control("auto_check")) {
  bindEvents();
  form_.focusFirst();
}

void Main::bindEvents() {
  auto click = [this](std::string_view name, void (Main::*handler)()) {
    form_.control(name).Click = [this, handler] { (this->*handler)(); };
  };
  click("close_lnk", &Main::close_lnk_Click);
  click("exit_lnk", &Main::exit_lnk_Click);
  click("ie_check", &Main::ie_check_Click);
  click("ie_checked", &Main::ie_checked_Click);
  click("chrome_check", &Main::chrome_check_Click);
  click("chrome_checked", &Main::chrome_checked_Click);
  click("firefox_check", &Main::firefox_check_Click);
  click("firefox_checked", &Main::firefox_checked_Click);
  click("opera_check", &Main::opera_check_Click);
  click("opera_checked", &Main::opera_checked_Click);
  click("opera_chk", &Main::opera_chk_Click);
  click("auto_lbl", &Main::auto_lbl_Click);
  click("auto_check", &Main::auto_check_Click);
  click("min_lnk", &Main::min_lnk_Click);
  click("setting_btn", &Main::setting_btn_Click);
  click("close_setting_btn", &Main::close_setting_btn_Click);
  click("IETopmostChk", &Main::IETopmostChk_Click);
  click("CHTopmostChk", &Main::CHTopmostChk_Click);
  click("FFTopmostChk", &Main::FFTopmostChk_Click);

  form_.control("IEHScroll").Change = [this] { IEHScroll_Change(); };
  form_.control("CHHScroll").Change = [this] { CHHScroll_Change(); };
  form_.control("FFHScroll").Change = [this] { FFHScroll_Change(); };

  MainBg.KeyDown = [this](int keyCode, int shift) { MainBg_KeyDown(keyCode, shift); };
  MainBg.MouseDown = [this](const form::MouseEvent& e) { MainBg_MouseDown(e); };
  MainBg.MouseMove = [this](const form::MouseEvent& e) { MainBg_MouseMove(e); };
  MainBg.MouseUp = [this](const form::MouseEvent& e) { MainBg_MouseUp(e); };
  setting_frame.MouseDown = [this](const form::MouseEvent& e) { setting_frame_MouseDown(e); };
  setting_frame.MouseMove = [this](const form::MouseEvent& e) { setting_frame_MouseMove(e); };
  setting_frame.MouseUp = [this](const form::MouseEvent& e) { setting_frame_MouseUp(e); };
}

// ---- Start-up and shutdown ----

void Main::placeWindow(std::span<const platform::Monitor> monitors) {
  const form::Placement placement =
      form::startPlacement(settings::getPosition(platform_.settings), monitors, kClientWidth, kClientHeight);
  form_.setDpi(placement.dpi);
  form_.placedAt(placement.at);
}

void Main::Form_Load() {
  if (platform_.process.PrevInstance()) {
    endProgram();
    return;
  }
  ModMain::setTopMost(platform_.desktop, form_.hWnd);
  for (std::string_view tileName : {"chrome_check", "ie_check", "firefox_check", "opera_check"}) {
    form_.control(tileName).SetBackStyle(0);
  }
  if (const std::optional<std::string> stored = getSettings()) {
    loadSetting(*stored);
  } else {
    // First start: Chrome is the usual browser. The default is not stored until the user changes something.
    showChoice(chrome_chk, chrome_checked, 1);
  }
  if (auto_chk.Value() == 1) watcher_.start(form_.hWnd);
}

void Main::Form_Unload() { watcher_.stop(form_.hWnd); }

void Main::endProgram() { platform_.process.End(); }

void Main::close_lnk_Click() {
  watcher_.stop(form_.hWnd);
  endProgram();
}

void Main::exit_lnk_Click() { close_lnk_Click(); }

void Main::MainBg_KeyDown(int keyCode, int /*shift*/) {
  if (keyCode == platform::kVkEscape) {
    endProgram();
    return;
  }
  const auto row = std::find_if(kDigitAlpha.begin(), kDigitAlpha.end(),
                                [keyCode](const auto& entry) { return entry.first == keyCode; });
  if (row != kDigitAlpha.end()) setOpacity(form_.hWnd, row->second);
}

// ---- Refresh ----

refresh::BrowserTicks Main::browserTicks() const {
  return {ie_chk.Value(), chrome_chk.Value(), firefox_chk.Value(), opera_chk.Value()};
}

void Main::sendF5() {
  refresh::sendF5(platform_.desktop, browserTicks(),
                  [this](std::string_view status) { handle_lbl.SetCaption(std::string(status)); });
}

void Main::sendF5Key(platform::Hwnd hwnd) { refresh::sendF5Key(platform_.desktop, hwnd); }

// ---- Stored selection ----

settings::Ticks Main::selectionTicks() const {
  return {ie_chk.Value(), chrome_chk.Value(), firefox_chk.Value(), opera_chk.Value(), auto_chk.Value()};
}

std::optional<std::string> Main::getSettings() { return settings::getSettings(platform_.settings); }

void Main::saveSettings() { settings::saveSettings(platform_.settings, selectionTicks()); }

// An empty selection is a choice too (no browser, no automatic refresh), so a stored value is applied
// exactly, and nothing is written while loading: the store keeps what the user last chose.
void Main::loadSetting(std::string_view stored) {
  const std::vector<settings::Token> tokens = settings::parseSelectionList(stored);
  const bool autoStored =
      std::find(tokens.begin(), tokens.end(), settings::Token::AutoRefresh) != tokens.end();
  showChoice(auto_chk, auto_check, autoStored ? 1 : 0);
  for (settings::Token token : tokens) {
    switch (token) {
      case settings::Token::IE:
        showChoice(ie_chk, ie_checked, 1);
        break;
      case settings::Token::Chrome:
        showChoice(chrome_chk, chrome_checked, 1);
        break;
      case settings::Token::Firefox:
        showChoice(firefox_chk, firefox_checked, 1);
        break;
      case settings::Token::Opera:
        showChoice(opera_chk, opera_checked, 1);
        break;
      case settings::Token::AutoRefresh:
        break;
    }
  }
}

// ---- Selection toggles ----

void Main::showChoice(form::Control& box, form::Control& tick, int value) {
  box.SetValue(value);
  tick.SetVisible(value == 1);
}

void Main::setChoice(form::Control& box, form::Control& tick, int value) {
  showChoice(box, tick, value);
  saveSettings();
}

void Main::ie_check_Click() { setChoice(ie_chk, ie_checked, 1); }
void Main::ie_checked_Click() { setChoice(ie_chk, ie_checked, 0); }
void Main::chrome_check_Click() { setChoice(chrome_chk, chrome_checked, 1); }
void Main::chrome_checked_Click() { setChoice(chrome_chk, chrome_checked, 0); }
void Main::firefox_check_Click() { setChoice(firefox_chk, firefox_checked, 1); }
void Main::firefox_checked_Click() { setChoice(firefox_chk, firefox_checked, 0); }
void Main::opera_check_Click() { setChoice(opera_chk, opera_checked, 1); }
void Main::opera_checked_Click() { setChoice(opera_chk, opera_checked, 0); }

void Main::opera_chk_Click() { platform_.process.MsgBox(kOperaNotSupported); }

void Main::auto_lbl_Click() {
  if (auto_chk.Value() == 1) {
    watcher_.stop(form_.hWnd);
    setChoice(auto_chk, auto_check, 0);
  } else {
    setChoice(auto_chk, auto_check, 1);
    watcher_.start(form_.hWnd);
  }
}

void Main::auto_check_Click() {
  watcher_.stop(form_.hWnd);
  setChoice(auto_chk, auto_check, 0);
}

// ---- Moving, minimising and the settings panel ----

void Main::MainBg_MouseDown(const form::MouseEvent& e) {
  // The left button alone: pressed while another is held, it starts nothing.
  if (e.button != form::kLeftButton || e.buttons != form::kLeftButton) return;
  isDragging_ = true;
  pressedAt_ = form_.position();
  const platform::PixelPoint pointer = form_.pointerOnScreen();
  downX_ = pointer.x - pressedAt_.x;
  downY_ = pointer.y - pressedAt_.y;
}

void Main::MainBg_MouseMove(const form::MouseEvent& /*e*/) {
  form_.MousePointer = form::Pointer::Default;
  if (!isDragging_) return;
  // Shown smaller on a monitor of a lower scale, the window still lies under the pointer.
  const std::int64_t grabX = std::min(downX_, platform::toPixels(form_.ScaleWidth(), form_.dpi()) - 1);
  const std::int64_t grabY = std::min(downY_, platform::toPixels(form_.ScaleHeight(), form_.dpi()) - 1);
  const platform::PixelPoint pointer = form_.pointerOnScreen();
  newLeft_ = pointer.x - grabX;
  newTop_ = pointer.y - grabY;
  form_.moveTo({newLeft_, newTop_});
}

// Any release ends a drag, and a drag that moved the window stores where it was left, once.
void Main::MainBg_MouseUp(const form::MouseEvent& /*e*/) {
  if (!std::exchange(isDragging_, false)) return;
  if (form_.position() != pressedAt_) settings::savePosition(platform_.settings, form_.position());
}

void Main::setting_frame_MouseDown(const form::MouseEvent& e) { MainBg_MouseDown(e); }
void Main::setting_frame_MouseMove(const form::MouseEvent& e) { MainBg_MouseMove(e); }
void Main::setting_frame_MouseUp(const form::MouseEvent& e) { MainBg_MouseUp(e); }

void Main::min_lnk_Click() { form_.setWindowState(form::WindowState::Minimized); }

void Main::setting_btn_Click() {
  setting_frame.SetTop(kPanelOpenTop);
  setting_frame.SetVisible(true);
}

void Main::close_setting_btn_Click() { setting_frame.SetVisible(false); }

// ---- Window appearance ----

void Main::setOpacity(platform::Hwnd getLng, int num) {
  const platform::Hwnd target = getLng != 0 ? getLng : form_.hWnd;
  if (target == form_.hWnd) num = std::max(num, kOwnWindowMinAlpha);
  appearance::setOpacity(platform_.desktop, target, num);
}

// A slider acts on its browser's window, or on the program's own window when that browser is not running.
void Main::sliderChanged(BrowserKind browser, const form::Control& slider) {
  setOpacity(browser_lookup::lookup(platform_.desktop, browser), slider.Value());
}

void Main::IEHScroll_Change() { sliderChanged(BrowserKind::IE, form_.control("IEHScroll")); }
void Main::CHHScroll_Change() { sliderChanged(BrowserKind::Chrome, form_.control("CHHScroll")); }
void Main::FFHScroll_Change() { sliderChanged(BrowserKind::Firefox, form_.control("FFHScroll")); }

void Main::setAllTopMost() {
  const std::array<std::pair<std::string_view, BrowserKind>, 3> rows = {{
      {"IETopmostChk", BrowserKind::IE},
      {"CHTopmostChk", BrowserKind::Chrome},
      {"FFTopmostChk", BrowserKind::Firefox},
  }};
  for (const auto& [box, browser] : rows) {
    const int value = form_.control(box).Value();
    const platform::Hwnd hwnd = browser_lookup::lookup(platform_.desktop, browser);
    if (value == 1) {
      ModMain::setTopMost(platform_.desktop, hwnd);
    } else {
      ModMain::setNoTopMost(platform_.desktop, hwnd);
    }
  }
}

void Main::IETopmostChk_Click() { setAllTopMost(); }
void Main::CHTopmostChk_Click() { setAllTopMost(); }
void Main::FFTopmostChk_Click() { setAllTopMost(); }

}  // namespace ui
