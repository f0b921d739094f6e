#include "ui/layout.h"

#include <algorithm>
#include <array>

namespace ui {

namespace {

using form::Align;
using form::Color;
using form::Font;
using form::Kind;
using form::LayoutRow;
using form::Pointer;

constexpr Font kYaHei9{"微软雅黑", 9};
constexpr Font kYaHei10{"微软雅黑", 10.5};
constexpr Font kYaHei14{"微软雅黑", 14.25};
constexpr Color kExitGrey = Color::rgb(89, 89, 89);
constexpr Color kWindow = Color::system(Color::Role::Window);
constexpr Color kWindowText = Color::system(Color::Role::WindowText);

// A transparent, clickable label without caption laid over something the skin draws.
constexpr LayoutRow hotspot(std::string_view name, form::Rect rect, std::string_view toolTip) {
  return {.name = name,
          .kind = Kind::Label,
          .container = "MainBg",
          .rect = rect,
          .pointer = Pointer::Hand,
          .toolTip = toolTip};
}

// A browser tile: opaque until start-up makes it transparent.
constexpr LayoutRow tile(std::string_view name, int left) {
  return {.name = name,
          .kind = Kind::Label,
          .container = "MainBg",
          .rect = {left, 1110, 1020, 1020},
          .backStyle = 1,
          .pointer = Pointer::Hand,
          .toolTip = "点击勾选"};
}

constexpr LayoutRow tick(std::string_view name, int left) {
  return {.name = name,
          .kind = Kind::Image,
          .container = "MainBg",
          .rect = {left, 1110, 1020, 1020},
          .visible = false,
          .picture = "tick",
          .pointer = Pointer::Hand};
}

constexpr LayoutRow valueBox(std::string_view name, form::Rect rect, std::string_view caption,
                             int value = 0) {
  return {.name = name,
          .kind = Kind::CheckBox,
          .container = "Frame1",
          .rect = rect,
          .caption = caption,
          .value = value};
}

constexpr LayoutRow panelLabel(std::string_view name, form::Rect rect, std::string_view caption) {
  return {.name = name,
          .kind = Kind::Label,
          .container = "setting_frame",
          .rect = rect,
          .caption = caption,
          .font = kYaHei9,
          .autoSize = true};
}

constexpr LayoutRow pinBox(std::string_view name, int top) {
  return {.name = name,
          .kind = Kind::CheckBox,
          .container = "setting_frame",
          .rect = {1320, top, 735, 255},
          .caption = "置顶",
          .font = kYaHei9,
          .foreColor = kWindowText,
          .backColor = kWindow,
          .flat = true};
}

constexpr LayoutRow slider(std::string_view name, int top) {
  return {.name = name,
          .kind = Kind::HScrollBar,
          .container = "setting_frame",
          .rect = {3240, top, 1575, 135},
          .value = 255,
          .min = 0,
          .max = 255,
          .smallChange = 1,
          .largeChange = 1};
}

// Each container's controls are listed from the top of its stacking order downwards.
constexpr std::array kLayout = {
    LayoutRow{.name = "List1",
              .kind = Kind::ListBox,
              .rect = {1320, 3360, 2895, 2940},
              .foreColor = kWindowText,
              .backColor = kWindow},
    LayoutRow{.name = "Frame1",
              .kind = Kind::Frame,
              .rect = {0, 3360, 975, 1695},
              .caption = "Frame1",
              .visible = false},
    LayoutRow{.name = "MainBg",
              .kind = Kind::PictureBox,
              .rect = {0, 0, kClientWidth, kClientHeight},
              .picture = "skin"},

    valueBox("auto_chk", {0, 1440, 855, 180}, "auto", 1),
    valueBox("opera_chk", {0, 1200, 975, 180}, "opera"),
    valueBox("firefox_chk", {0, 960, 975, 180}, "firefox"),
    valueBox("ie_chk", {0, 600, 975, 255}, "ie"),
    valueBox("chrome_chk", {0, 360, 855, 180}, "chrome"),

    LayoutRow{.name = "setting_frame",
              .kind = Kind::Frame,
              .container = "MainBg",
              .rect = {240, 8130, 5775, 2900},
              .caption = "设置勾选的浏览器",
              .visible = false,
              .font = kYaHei9,
              .foreColor = kWindowText,
              .backColor = kWindow,
              .flat = true},
    LayoutRow{.name = "setting_btn",
              .kind = Kind::Image,
              .container = "MainBg",
              .rect = {5160, 240, 195, 195},
              .picture = "setting",
              .pointer = Pointer::Hand,
              .toolTip = "浏览器透明度"},
    hotspot("min_lnk", {5380, 0, 320, 615}, "最小化"),
    LayoutRow{.name = "handle_lbl",
              .kind = Kind::Label,
              .container = "MainBg",
              .rect = {4200, 600, 1095, 255},
              .foreColor = Color::rgb(224, 224, 224)},
    tick("opera_checked", 4640),
    tick("firefox_checked", 3270),
    tick("ie_checked", 1890),
    tick("chrome_checked", 530),
    LayoutRow{.name = "auto_check",
              .kind = Kind::Image,
              .container = "MainBg",
              .rect = {600, 2650, 165, 165},
              .picture = "autotick",
              .pointer = Pointer::Hand},
    tile("opera_check", 4640),
    tile("firefox_check", 3270),
    tile("ie_check", 1890),
    tile("chrome_check", 532),
    LayoutRow{.name = "auto_lbl",
              .kind = Kind::Label,
              .container = "MainBg",
              .rect = {560, 2565, 2050, 300},
              .caption = "     启用自动刷新程序",
              .font = kYaHei10,
              .foreColor = kExitGrey,
              .pointer = Pointer::Hand},
    LayoutRow{.name = "Label1",
              .kind = Kind::Label,
              .container = "MainBg",
              .rect = {555, 480, 3420, 375},
              .caption = "请选择需要自动刷新的程序",
              .font = kYaHei14},
    hotspot("exit_lnk", {5520, 2640, 735, 615}, ""),
    hotspot("close_lnk", {5760, 0, 510, 615}, "关闭"),

    slider("FFHScroll", 1380),
    slider("CHHScroll", 920),
    pinBox("FFTopmostChk", 1320),
    pinBox("CHTopmostChk", 840),
    slider("IEHScroll", 420),
    pinBox("IETopmostChk", 360),
    LayoutRow{.name = "close_setting_btn",
              .kind = Kind::Label,
              .container = "setting_frame",
              .rect = {5280, 120, 510, 615},
              .pointer = Pointer::Hand},
    LayoutRow{.name = "setting_close_lbl",
              .kind = Kind::Label,
              .container = "setting_frame",
              .rect = {5460, 240, 255, 255},
              .caption = "X",
              .font = kYaHei9,
              .alignment = Align::Center},
    panelLabel("Label7", {2280, 1320, 720, 255}, "透明度："),
    panelLabel("Label6", {2280, 840, 720, 255}, "透明度："),
    panelLabel("Label5", {360, 1320, 765, 255}, "Firefox："),
    panelLabel("Label4", {240, 840, 870, 255}, "Chrome："),
    panelLabel("Label3", {2280, 360, 720, 255}, "透明度："),
    panelLabel("Label2", {760, 360, 345, 255}, "IE："),
};

constexpr std::array<std::string_view, 8> kTabOrder = {
    "MainBg", "List1", "IETopmostChk", "IEHScroll", "CHTopmostChk", "FFTopmostChk", "CHHScroll", "FFHScroll"};

}  // namespace

void buildLayout(form::Form& form) {
  for (const LayoutRow& row : kLayout) form.add(row);
  std::vector<form::Control*> order(kTabOrder.size());
  std::transform(kTabOrder.begin(), kTabOrder.end(), order.begin(),
                 [&form](std::string_view name) { return &form.control(name); });
  form.setTabOrder(std::move(order));
}

}  // namespace ui
