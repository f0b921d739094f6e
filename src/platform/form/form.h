// A small, portable model of a form and its controls: the properties the program uses, the events it handles,
// stacking order, hit testing and keyboard focus. The Win32 host renders it; unit tests drive it directly.
//
// Positions and sizes are in twips, relative to the containing control's client area.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace form {

enum class Kind : std::uint8_t { PictureBox, Label, Image, Frame, CheckBox, HScrollBar, ListBox };

// Pictures are named by role; the host decides where the pixels come from.
enum class Picture : std::uint8_t { None, Skin, TickOverlay, AutoTick, Settings };

enum class Pointer : std::uint8_t { Default, Hand };
enum class Align : std::uint8_t { Left, Center };
enum class WindowState : std::uint8_t { Normal, Minimized };

struct Color {
  enum class Role : std::uint8_t { Rgb, Window, WindowText, ButtonFace, ButtonText };
  Role role = Role::ButtonText;
  std::uint8_t r = 0, g = 0, b = 0;

  static constexpr Color rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return {Role::Rgb, red, green, blue};
  }
  static constexpr Color system(Role role) { return {role, 0, 0, 0}; }
  friend bool operator==(const Color&, const Color&) = default;
};

// An empty face means the runtime's default font.
struct Font {
  std::string_view face = {};
  double points = 0;
  friend bool operator==(const Font&, const Font&) = default;
};

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  bool contains(int x, int y) const { return x >= left && y >= top && x < left + width && y < top + height; }
};

struct MouseEvent {
  int button = 0;  // pressed-buttons mask: 1 left, 2 right, 4 middle
  int shift = 0;   // 1 Shift, 2 Ctrl, 4 Alt
  float x = 0, y = 0;
};

// Which property changed, so that a host repaints or moves only what it must.
enum class Property : std::uint8_t { Visible, Value, Caption, BackStyle, Position, Size };

class Form;

// Everything a control is laid out with; the layout table is a list of these.
struct ControlSpec {
  std::string_view name = {};
  Kind kind = Kind::Label;
  std::string_view container = {};  // empty: the form itself
  Rect rect = {};
  std::string_view caption = {};
  bool visible = true;
  int backStyle = 0;  // 0 transparent, 1 opaque
  Font font = {};
  Color foreColor = Color::system(Color::Role::ButtonText);
  Color backColor = Color::system(Color::Role::ButtonFace);
  Picture picture = Picture::None;
  Pointer pointer = Pointer::Default;
  std::string_view toolTip = {};
  Align alignment = Align::Left;
  bool autoSize = false;
  bool flat = false;
  int value = 0;
  int min = 0, max = 0, smallChange = 1, largeChange = 1;
};

class Control {
 public:
  Control(Form& form, Control* parent, const ControlSpec& spec);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& name() const { return name_; }
  Kind kind() const { return spec_.kind; }
  Control* parent() const { return parent_; }
  const ControlSpec& spec() const { return spec_; }
  // Children from the top of the stacking order downwards; windowed controls come first.
  const std::vector<std::unique_ptr<Control>>& children() const { return children_; }

  // Windowed controls are real child windows in a host and always lie above the windowless ones.
  bool windowed() const { return kind() != Kind::Label && kind() != Kind::Image; }
  bool focusable() const;

  int Left() const { return rect_.left; }
  int Top() const { return rect_.top; }
  int Width() const { return rect_.width; }
  int Height() const { return rect_.height; }
  const Rect& rect() const { return rect_; }
  void SetTop(int top);
  void SetSize(int width, int height);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // A control shows only when it and every container above it are visible.
  bool shown() const;

  // Check boxes raise Click and scroll bars raise Change whenever the value changes, from code or the user.
  int Value() const { return value_; }
  void SetValue(int value);

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);

  int BackStyle() const { return backStyle_; }
  void SetBackStyle(int backStyle);

  Pointer MousePointer() const { return spec_.pointer; }
  std::string_view ToolTipText() const { return spec_.toolTip; }

  // Position of this control's top-left corner in the form's client area.
  int absoluteLeft() const;
  int absoluteTop() const;

  std::function<void()> Click;
  std::function<void()> Change;
  std::function<void(const MouseEvent&)> MouseDown;
  std::function<void(const MouseEvent&)> MouseMove;
  std::function<void(const MouseEvent&)> MouseUp;
  std::function<void(int keyCode, int shift)> KeyDown;

 private:
  friend class Form;
  void notify(Property property);

  Form& form_;
  Control* parent_;
  ControlSpec spec_;
  std::string name_;
  Rect rect_;
  bool visible_;
  int value_;
  std::string caption_;
  int backStyle_;
  std::vector<std::unique_ptr<Control>> children_;
};

// The top-level window: its own properties, the control tree, hit testing and focus.
class Form {
 public:
  Form(std::string caption, int clientWidth, int clientHeight);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // Adds controls in order; each container's children are given top of the stacking order first.
  void add(const ControlSpec& spec);
  Control& control(std::string_view name) const;
  Control* find(std::string_view name) const;
  // The form's direct children, top of the stacking order first.
  const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }

  const std::string& Caption() const { return caption_; }
  int ScaleWidth() const { return clientWidth_; }
  int ScaleHeight() const { return clientHeight_; }

  // The window's handle, set by the host once the window exists.
  platform::Hwnd hWnd = 0;

  // Window position in twips, held wide so that a drag far off screen neither wraps nor fails.
  std::int64_t Left() const { return left_; }
  std::int64_t Top() const { return top_; }
  void Move(std::int64_t left, std::int64_t top);
  // Records where the window manager put the window, without asking the host to move it.
  void placedAt(std::int64_t left, std::int64_t top);

  WindowState windowState() const { return windowState_; }
  void setWindowState(WindowState state);

  Pointer MousePointer = Pointer::Default;

  // The control that takes a mouse press at a point of the client area: the topmost shown control there,
  // searched depth first through containers. Null over nothing.
  Control* hitTest(int x, int y) const;

  // Keyboard focus follows the tab order: controls that can take it, in the order the layout names them.
  Control* focused() const { return focused_; }
  void setFocus(Control* control);
  // The next (or previous) control in tab order that can take the focus now; the focus itself when alone.
  Control* nextInTabOrder(bool backwards) const;
  void setTabOrder(std::vector<Control*> order);
  // Gives the focus to the first control in tab order that can take it.
  void focusFirst();
  // Delivers a key to the control that has the focus.
  void keyDown(int keyCode, int shift);

  // Hosts watch changes through these.
  std::function<void(Control&, Property)> onControlChanged;
  std::function<void()> onMoved;
  std::function<void()> onWindowStateChanged;
  std::function<void(Control&)> onFocusChanged;

 private:
  friend class Control;
  Control* hitIn(const std::vector<std::unique_ptr<Control>>& list, int x, int y) const;

  std::string caption_;
  int clientWidth_, clientHeight_;
  std::int64_t left_ = 0, top_ = 0;
  WindowState windowState_ = WindowState::Normal;
  std::vector<std::unique_ptr<Control>> controls_;
  std::vector<Control*> tabOrder_;
  Control* focused_ = nullptr;
};

}  // namespace form
