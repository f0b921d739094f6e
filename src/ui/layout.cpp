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
          .container = "background",
          .rect = rect,
          .pointer = Pointer::Hand,
          .toolTip = toolTip};
}

// A browser tile: opaque until start-up makes it transparent.
constexpr LayoutRow tile(std::string_view name, int left) {
  return {.name = name,
          .kind = Kind::Label,
          .container = "background",
          .rect = {left, 1110, 1020, 1020},
          .opaque = true,
          .pointer = Pointer::Hand,
          .toolTip = "点击勾选"};
}

constexpr LayoutRow tick(std::string_view name, int left) {
  return {.name = name,
          .kind = Kind::Image,
          .container = "background",
          .rect = {left, 1110, 1020, 1020},
          .visible = false,
          .picture = "tick",
          .pointer = Pointer::Hand};
}

constexpr LayoutRow valueBox(std::string_view name, form::Rect rect, std::string_view caption,
                             int value = 0) {
  return {.name = name,
          .kind = Kind::CheckBox,
          .container = "choices",
          .rect = rect,
          .caption = caption,
          .value = value};
}

constexpr LayoutRow panelLabel(std::string_view name, form::Rect rect, std::string_view caption) {
  return {.name = name,
          .kind = Kind::Label,
          .container = "panel",
          .rect = rect,
          .caption = caption,
          .font = kYaHei9,
          .autoSize = true};
}

constexpr LayoutRow panelBox(std::string_view name, form::Rect rect, std::string_view caption) {
  return {.name = name,
          .kind = Kind::CheckBox,
          .container = "panel",
          .rect = rect,
          .caption = caption,
          .font = kYaHei9,
          .foreColor = kWindowText,
          .backColor = kWindow,
          .flat = true};
}

constexpr LayoutRow pinBox(std::string_view name, int top) {
  return panelBox(name, {1320, top, 735, 255}, "置顶");
}

constexpr LayoutRow slider(std::string_view name, form::Rect rect, int value, int max) {
  return {.name = name,
          .kind = Kind::HScrollBar,
          .container = "panel",
          .rect = rect,
          .value = value,
          .min = 0,
          .max = max,
          .smallChange = 1,
          .largeChange = 1};
}

constexpr LayoutRow opacitySlider(std::string_view name, int top) {
  return slider(name, {3240, top, 1575, 135}, 255, 255);
}

// Each container's controls are listed from the top of its stacking order downwards.
constexpr std::array kLayout = {
    LayoutRow{.name = "unseenList",
              .kind = Kind::ListBox,
              .rect = {1320, 3360, 2895, 2940},
              .foreColor = kWindowText,
              .backColor = kWindow},
    LayoutRow{.name = "choices",
              .kind = Kind::Frame,
              .rect = {0, 3360, 975, 1695},
              .caption = "choices",
              .visible = false},
    LayoutRow{.name = "background",
              .kind = Kind::PictureBox,
              .rect = {0, 0, kClientWidth, kClientHeight},
              .picture = "skin"},

    valueBox("autoRefreshBox", {0, 1440, 855, 180}, "auto", 1),
    valueBox("operaBox", {0, 1200, 975, 180}, "opera"),
    valueBox("firefoxBox", {0, 960, 975, 180}, "firefox"),
    valueBox("ieBox", {0, 600, 975, 255}, "ie"),
    valueBox("chromeBox", {0, 360, 855, 180}, "chrome"),

    LayoutRow{.name = "panel",
              .kind = Kind::Frame,
              .container = "background",
              .rect = {240, 8130, 5775, 2900},
              .caption = "设置勾选的浏览器",
              .visible = false,
              .font = kYaHei9,
              .foreColor = kWindowText,
              .backColor = kWindow,
              .flat = true},
    LayoutRow{.name = "panelButton",
              .kind = Kind::Image,
              .container = "background",
              .rect = {5160, 240, 195, 195},
              .picture = "setting",
              .pointer = Pointer::Hand,
              .toolTip = "浏览器透明度"},
    hotspot("minimizeMark", {5380, 0, 320, 615}, "最小化"),
    LayoutRow{.name = "status",
              .kind = Kind::Label,
              .container = "background",
              .rect = {4200, 600, 1095, 255},
              .foreColor = Color::rgb(224, 224, 224)},
    tick("operaTick", 4640),
    tick("firefoxTick", 3270),
    tick("ieTick", 1890),
    tick("chromeTick", 530),
    LayoutRow{.name = "autoRefreshTick",
              .kind = Kind::Image,
              .container = "background",
              .rect = {600, 2650, 165, 165},
              .picture = "autotick",
              .pointer = Pointer::Hand},
    tile("operaTile", 4640),
    tile("firefoxTile", 3270),
    tile("ieTile", 1890),
    tile("chromeTile", 532),
    LayoutRow{.name = "autoRefreshLabel",
              .kind = Kind::Label,
              .container = "background",
              .rect = {560, 2565, 2050, 300},
              .caption = "     启用自动刷新程序",
              .font = kYaHei10,
              .foreColor = kExitGrey,
              .pointer = Pointer::Hand},
    LayoutRow{.name = "heading",
              .kind = Kind::Label,
              .container = "background",
              .rect = {555, 480, 3420, 375},
              .caption = "请选择需要自动刷新的程序",
              .font = kYaHei14},
    hotspot("exitWord", {5520, 2640, 735, 615}, ""),
    hotspot("closeMark", {5760, 0, 510, 615}, "关闭"),

    panelBox("startWithSession", {240, 2280, 2400, 255}, "登录时自动启动"),
    slider("delay", {1320, 1860, 1575, 135}, 0, static_cast<int>(kDelayStepsMs.size()) - 1),
    opacitySlider("firefoxOpacity", 1380),
    opacitySlider("chromeOpacity", 920),
    pinBox("firefoxPin", 1320),
    pinBox("chromePin", 840),
    opacitySlider("ieOpacity", 420),
    pinBox("iePin", 360),
    LayoutRow{.name = "panelCloseMark",
              .kind = Kind::Label,
              .container = "panel",
              .rect = {5280, 120, 510, 615},
              .pointer = Pointer::Hand},
    LayoutRow{.name = "panelCloseCaption",
              .kind = Kind::Label,
              .container = "panel",
              .rect = {5460, 240, 255, 255},
              .caption = "X",
              .font = kYaHei9,
              .alignment = Align::Center},
    LayoutRow{.name = "delayValue",
              .kind = Kind::Label,
              .container = "panel",
              .rect = {3000, 1800, 1500, 255},
              .font = kYaHei9},
    panelLabel("delayName", {240, 1800, 900, 255}, "刷新延迟："),
    panelLabel("firefoxOpacityName", {2280, 1320, 720, 255}, "透明度："),
    panelLabel("chromeOpacityName", {2280, 840, 720, 255}, "透明度："),
    panelLabel("firefoxName", {360, 1320, 765, 255}, "Firefox："),
    panelLabel("chromeName", {240, 840, 870, 255}, "Chrome："),
    panelLabel("ieOpacityName", {2280, 360, 720, 255}, "透明度："),
    panelLabel("ieName", {760, 360, 345, 255}, "IE："),
};

constexpr std::array<std::string_view, 10> kTabOrder = {
    "background", "unseenList",    "iePin",          "ieOpacity", "chromePin",
    "firefoxPin", "chromeOpacity", "firefoxOpacity", "delay",     "startWithSession"};

}  // namespace

void buildLayout(form::Form& form) {
  for (const LayoutRow& row : kLayout) form.add(row);
  std::vector<form::Control*> order(kTabOrder.size());
  std::transform(kTabOrder.begin(), kTabOrder.end(), order.begin(),
                 [&form](std::string_view name) { return &form.control(name); });
  form.setTabOrder(std::move(order));
}

}  // namespace ui
