// A small, portable model of a form and its controls: the properties the program uses, the events it handles,
// stacking order, hit testing and keyboard focus. A host (Win32, GTK) renders it; unit tests drive it
// directly.
//
// Positions and sizes are in twips, relative to the containing control's client area.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/monitors.h"
#include "platform/platform.h"

namespace form {

enum class Kind : std::uint8_t { PictureBox, Label, Image, Frame, CheckBox, HScrollBar, ListBox };

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

// Mouse buttons and shift keys as bit masks.
inline constexpr int kLeftButton = 1, kRightButton = 2, kMiddleButton = 4;
inline constexpr int kShiftKey = 1, kCtrlKey = 2, kAltKey = 4;
// Key codes are the platform's (Windows' virtual keys); the model acts on these two itself.
inline constexpr int kKeyTab = 9, kKeySpace = 32;

// What a control's mouse handler receives. For a press or a release `button` is the button that went down or
// up; for a move it is every button held. `buttons` is every button held after the event. The point is in
// twips of the control's own client area.
struct MouseEvent {
  int button = 0;
  int shift = 0;
  float x = 0, y = 0;
  int buttons = 0;
};

// What the user did to a scroll bar: an arrow or the track beside the thumb was clicked (or the matching key
// pressed), the thumb is being dragged, or the dragged thumb was let go.
enum class ScrollAction : std::uint8_t {
  LineLeft,
  LineRight,
  PageLeft,
  PageRight,
  ToStart,
  ToEnd,
  ThumbTrack,
  ThumbRelease
};

// Which property changed, so that a host repaints or moves only what it must.
enum class Property : std::uint8_t { Visible, Value, Caption, Opaque, Position, Size, ToolTip };

// One entry of a pop-up menu.
struct MenuItem {
  std::string text;
  bool checked = false;
};

class Form;

// One row of a layout table: everything a control is laid out with.
struct LayoutRow {
  std::string_view name = {};
  Kind kind = Kind::Label;
  std::string_view container = {};  // empty: the form itself
  Rect rect = {};
  std::string_view caption = {};
  bool visible = true;
  bool opaque = false;  // a label fills its box with its back colour
  Font font = {};
  Color foreColor = Color::system(Color::Role::ButtonText);
  Color backColor = Color::system(Color::Role::ButtonFace);
  // A named picture; the host finds it among the program's resources and takes its natural size from the
  // picture itself. Empty: none.
  std::string_view picture = {};
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
  Control(Form& form, Control* parent, const LayoutRow& row);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& name() const { return name_; }
  Kind kind() const { return layout_.kind; }
  Control* parent() const { return parent_; }
  const LayoutRow& layout() const { return layout_; }
  // Children from the top of the stacking order downwards; windowed controls come first.
  const std::vector<std::unique_ptr<Control>>& children() const { return children_; }

  // Windowed controls are real child windows in a host and always lie above the windowless ones.
  bool windowed() const { return kind() != Kind::Label && kind() != Kind::Image; }
  bool focusable() const;
  // A hidden frame gets its windows only when it is first shown: a start pays only for what it shows.
  bool madeWhenShown() const { return kind() == Kind::Frame && !visible_; }

  int left() const { return rect_.left; }
  int top() const { return rect_.top; }
  int width() const { return rect_.width; }
  int height() const { return rect_.height; }
  const Rect& rect() const { return rect_; }
  void setTop(int top);
  void setSize(int width, int height);

  bool visible() const { return visible_; }
  void setVisible(bool visible);
  // A control shows only when it and every container above it are visible.
  bool shown() const;

  // Check boxes raise onClick and scroll bars raise onChange whenever the value changes, from code or the
  // user.
  int value() const { return value_; }
  void setValue(int value);

  const std::string& caption() const { return caption_; }
  void setCaption(std::string caption);

  bool opaque() const { return opaque_; }
  void setOpaque(bool opaque);

  Pointer pointer() const { return layout_.pointer; }
  const std::string& toolTip() const { return toolTip_; }
  void setToolTip(std::string text);

  // Position of this control's top-left corner in the form's client area.
  int absoluteLeft() const;
  int absoluteTop() const;

  std::function<void()> onClick;
  std::function<void()> onChange;
  // A right click: a right press and release on the control.
  std::function<void()> onContextMenu;
  std::function<void(const MouseEvent&)> onMouseDown;
  std::function<void(const MouseEvent&)> onMouseMove;
  std::function<void(const MouseEvent&)> onMouseUp;
  std::function<void(int key, int shift)> onKeyDown;

 private:
  friend class Form;
  void notify(Property property);

  Form& form_;
  Control* parent_;
  LayoutRow layout_;
  std::string name_;
  Rect rect_;
  bool visible_;
  int value_;
  std::string caption_;
  bool opaque_;
  std::string toolTip_;
  std::vector<std::unique_ptr<Control>> children_;
};

// The top-level window: its own properties, the control tree, hit testing, focus and input.
class Form {
 public:
  Form(std::string caption, int clientWidth, int clientHeight);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // Adds controls in order; each container's children are given top of the stacking order first.
  void add(const LayoutRow& row);
  Control& control(std::string_view name) const;
  Control* find(std::string_view name) const;
  // The form's direct children, top of the stacking order first.
  const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }

  const std::string& caption() const { return caption_; }
  int clientWidth() const { return clientWidth_; }
  int clientHeight() const { return clientHeight_; }

  // The window, once the host has made it.
  platform::WindowId window;

  // The window's place on the desktop in physical pixels, held wide so that a drag far off screen neither
  // wraps nor fails, and the scale it is shown at, which the host keeps up to date.
  platform::PixelPoint position() const { return position_; }
  platform::Dpi dpi() const { return dpi_; }
  // Moves the window; the host follows.
  void moveTo(platform::PixelPoint at);
  // Records where the window manager put the window, or where it is to be made, without asking the host to
  // move it.
  void placedAt(platform::PixelPoint at);
  void setDpi(platform::Dpi dpi) { dpi_ = dpi; }
  // Where the pointer was at the latest mouse input, in physical pixels of the desktop.
  platform::PixelPoint pointerOnScreen() const;

  WindowState windowState() const { return windowState_; }
  void setWindowState(WindowState state);

  // The pointer shown over the form's background.
  Pointer pointer = Pointer::Default;

  // The control that takes a mouse press at a point of the client area: the topmost shown control there,
  // searched depth first through containers. Null over nothing.
  Control* hitTest(int x, int y) const;
  // The same at a point in fractional twips, rounded as a host rounds pixels to twips.
  Control* controlAt(float x, float y) const;

  // Keyboard focus follows the tab order: controls that can take it, in the order the layout names them.
  Control* focused() const { return focused_; }
  void setFocus(Control* control);
  // The next (or previous) control in tab order that can take the focus now; the focus itself when alone.
  Control* nextInTabOrder(bool backwards) const;
  void setTabOrder(std::vector<Control*> order);
  // Gives the focus to the first control in tab order that can take it.
  void focusFirst();

  // Shows a pop-up menu at the pointer; `chosen` runs with the index of the item the user picks, and not at
  // all when the menu is dismissed.
  void showMenu(std::vector<MenuItem> items, std::function<void(std::size_t)> chosen);

  // Sizes every label with a caption to that caption, as the host measured it in the label's font in pixels
  // at the form's scale (nothing: not measured). A label that sizes itself takes the caption's size, one
  // pixel wider; another grows when a substitute font makes its caption wider than laid out, so no text is
  // cut.
  void fitLabels(const std::function<std::optional<platform::PixelPoint>(const Control&)>& measure);

  // ---- Input. A host translates its window system's events into these calls and nothing more: every rule of
  // what a click, a drag, a tab or a toggle is lives here, so that each host behaves the same.
  //
  // x and y are in twips of the form's client area (a host divides its pixels by the scale in use; fractions
  // are kept), `buttons` is the mask of the buttons held down after the event (kLeftButton ...) and `shift`
  // the mask of shift keys held (kShiftKey ...).
  //
  // A press captures the pointer for the control under it: that control receives every move, press and
  // release until all buttons are up or the capture is lost. A click is a left press and release on the same
  // control (on a check box it toggles the value), a right click a right press and release on it. A press
  // also gives the focus to the window that takes it (the control itself or the windowed container it is
  // drawn on) when that can take the focus.
  void mouseDown(float x, float y, int buttons, int shift);
  void mouseMove(float x, float y, int buttons, int shift);
  void mouseUp(float x, float y, int buttons, int shift);
  // The window system took the pointer away (another window grabbed it, the window lost activation, the mode
  // was cancelled): the captured control gets its release, without a click. A move that reports no button
  // held while the pointer is held counts as such a loss.
  void captureLost();
  // The control that holds the pointer, or null; a host keeps its own pointer grab in step through
  // onCaptureChanged.
  Control* captured() const { return captured_; }

  // Keys go to the control that has the focus. Tab and Shift+Tab move the focus along the tab order; Space
  // toggles a focused check box when it is released, as a real one does. Every key but Tab reaches the
  // focused control's onKeyDown.
  void keyDown(int key, int shift);
  void keyUp(int key, int shift);

  // A scroll bar's own arrows, track and thumb, reported by the host's native scroll bar. The value moves by
  // the small or large change, or to an end, or to where the thumb was let go (thumbPosition), raising
  // onChange once; a thumb being dragged changes nothing.
  void scroll(Control& bar, ScrollAction action, int thumbPosition = 0);

  // Hosts watch changes through these.
  std::function<void(Control&, Property)> onControlChanged;
  std::function<void()> onMoved;
  std::function<void()> onWindowStateChanged;
  std::function<void(Control&)> onFocusChanged;
  // True when the model starts holding the pointer, false when it lets go: the host grabs and releases its
  // window system's pointer accordingly.
  std::function<void(bool captured)> onCaptureChanged;
  // The host shows the menu and calls back with the chosen item, now or later.
  std::function<void(const std::vector<MenuItem>&, std::function<void(std::size_t)>)> onMenuRequested;

 private:
  friend class Control;
  Control* hitIn(const std::vector<std::unique_ptr<Control>>& list, int x, int y) const;
  MouseEvent eventFor(const Control& target, float x, float y, int button, int shift) const;
  void setCaptured(Control* control);

  std::string caption_;
  int clientWidth_, clientHeight_;
  platform::PixelPoint position_;
  platform::Dpi dpi_;
  WindowState windowState_ = WindowState::Normal;
  std::vector<std::unique_ptr<Control>> controls_;
  std::vector<Control*> tabOrder_;
  Control* focused_ = nullptr;
  Control* captured_ = nullptr;
  int heldButtons_ = 0;
  float lastX_ = 0, lastY_ = 0;
  Control* spacePressedOn_ = nullptr;  // a check box that saw Space go down and waits for its release
};

}  // namespace form
