#include "platform/form/form.h"

#include <algorithm>
#include <stdexcept>

namespace form {

Control::Control(Form& form, Control* parent, const LayoutRow& row)
    : form_(form),
      parent_(parent),
      layout_(row),
      name_(row.name),
      rect_(row.rect),
      visible_(row.visible),
      value_(row.value),
      caption_(row.caption),
      opaque_(row.opaque),
      toolTip_(row.toolTip) {}

bool Control::focusable() const {
  switch (kind()) {
    case Kind::PictureBox:
    case Kind::CheckBox:
    case Kind::HScrollBar:
    case Kind::ListBox:
      return shown();
    default:
      return false;
  }
}

void Control::notify(Property property) {
  if (form_.onControlChanged) form_.onControlChanged(*this, property);
}

void Control::setTop(int top) {
  if (rect_.top == top) return;
  rect_.top = top;
  notify(Property::Position);
}

void Control::setSize(int width, int height) {
  if (rect_.width == width && rect_.height == height) return;
  rect_.width = width;
  rect_.height = height;
  notify(Property::Size);
}

void Control::setVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  // A control that disappears cannot keep the focus; it falls back to the first in tab order.
  if (!visible && form_.focused_ && !form_.focused_->shown()) form_.focusFirst();
  notify(Property::Visible);
}

bool Control::shown() const {
  for (const Control* c = this; c; c = c->parent_) {
    if (!c->visible_) return false;
  }
  return true;
}

void Control::setValue(int value) {
  if (kind() == Kind::HScrollBar) value = std::clamp(value, layout_.min, layout_.max);
  if (value_ == value) return;
  value_ = value;
  notify(Property::Value);
  if (kind() == Kind::CheckBox && onClick) onClick();
  if (kind() == Kind::HScrollBar && onChange) onChange();
}

void Control::setCaption(std::string caption) {
  if (caption_ == caption) return;
  caption_ = std::move(caption);
  notify(Property::Caption);
}

void Control::setOpaque(bool opaque) {
  if (opaque_ == opaque) return;
  opaque_ = opaque;
  notify(Property::Opaque);
}

void Control::setToolTip(std::string text) {
  if (toolTip_ == text) return;
  toolTip_ = std::move(text);
  notify(Property::ToolTip);
}

int Control::absoluteLeft() const { return rect_.left + (parent_ ? parent_->absoluteLeft() : 0); }
int Control::absoluteTop() const { return rect_.top + (parent_ ? parent_->absoluteTop() : 0); }

Form::Form(std::string caption, int clientWidth, int clientHeight)
    : caption_(std::move(caption)), clientWidth_(clientWidth), clientHeight_(clientHeight) {}

void Form::add(const LayoutRow& row) {
  if (find(row.name)) throw std::logic_error("duplicate control " + std::string(row.name));
  Control* parent = row.container.empty() ? nullptr : &control(row.container);
  auto& list = parent ? parent->children_ : controls_;
  auto made = std::make_unique<Control>(*this, parent, row);
  // Windowed controls always lie above windowless ones; within each group the given order holds.
  auto at = made->windowed()
                ? std::find_if(list.begin(), list.end(), [](const auto& c) { return !c->windowed(); })
                : list.end();
  list.insert(at, std::move(made));
}

namespace {
Control* findIn(const std::vector<std::unique_ptr<Control>>& list, std::string_view name) {
  for (const auto& c : list) {
    if (c->name() == name) return c.get();
    if (Control* found = findIn(c->children(), name)) return found;
  }
  return nullptr;
}
}  // namespace

Control* Form::find(std::string_view name) const { return findIn(controls_, name); }

Control& Form::control(std::string_view name) const {
  Control* c = find(name);
  if (!c) throw std::logic_error("no control " + std::string(name));
  return *c;
}

void Form::moveTo(platform::PixelPoint at) {
  if (position_ == at) return;
  position_ = at;
  if (onMoved) onMoved();
}

void Form::placedAt(platform::PixelPoint at) { position_ = at; }

platform::PixelPoint Form::pointerOnScreen() const {
  const auto pixels = [this](float twips) {
    return platform::toPixels(platform::wholeTwips(twips).value_or(0), dpi_);
  };
  return {position_.x + pixels(lastX_), position_.y + pixels(lastY_)};
}

void Form::setWindowState(WindowState state) {
  if (windowState_ == state) return;
  windowState_ = state;
  if (onWindowStateChanged) onWindowStateChanged();
}

Control* Form::hitIn(const std::vector<std::unique_ptr<Control>>& list, int x, int y) const {
  for (const auto& c : list) {
    if (!c->visible() || !c->rect().contains(x, y)) continue;
    if (Control* inner = hitIn(c->children(), x - c->left(), y - c->top())) return inner;
    return c.get();
  }
  return nullptr;
}

Control* Form::hitTest(int x, int y) const {
  if (x < 0 || y < 0 || x >= clientWidth_ || y >= clientHeight_) return nullptr;
  return hitIn(controls_, x, y);
}

void Form::setTabOrder(std::vector<Control*> order) { tabOrder_ = std::move(order); }

void Form::setFocus(Control* control) {
  if (!control || control == focused_ || !control->focusable()) return;
  focused_ = control;
  spacePressedOn_ = nullptr;
  if (onFocusChanged) onFocusChanged(*control);
}

void Form::focusFirst() {
  auto first = std::find_if(tabOrder_.begin(), tabOrder_.end(), [](Control* c) { return c->focusable(); });
  if (first != tabOrder_.end()) setFocus(*first);
}

Control* Form::nextInTabOrder(bool backwards) const {
  const auto count = static_cast<std::ptrdiff_t>(tabOrder_.size());
  if (count == 0) return focused_;
  auto at = std::find(tabOrder_.begin(), tabOrder_.end(), focused_);
  std::ptrdiff_t index = at == tabOrder_.end() ? (backwards ? 0 : -1) : at - tabOrder_.begin();
  for (std::ptrdiff_t step = 1; step <= count; ++step) {
    const std::ptrdiff_t next = ((index + (backwards ? -step : step)) % count + count) % count;
    if (tabOrder_[static_cast<std::size_t>(next)]->focusable())
      return tabOrder_[static_cast<std::size_t>(next)];
  }
  return focused_;
}

// ---- Input ----

Control* Form::controlAt(float x, float y) const {
  const std::optional<int> wholeX = platform::wholeTwips(x), wholeY = platform::wholeTwips(y);
  return wholeX && wholeY ? hitTest(*wholeX, *wholeY) : nullptr;
}

MouseEvent Form::eventFor(const Control& target, float x, float y, int button, int shift) const {
  return {button, shift, x - static_cast<float>(target.absoluteLeft()),
          y - static_cast<float>(target.absoluteTop()), heldButtons_};
}

void Form::setCaptured(Control* control) {
  const bool changed = (captured_ != nullptr) != (control != nullptr);
  captured_ = control;
  if (changed && onCaptureChanged) onCaptureChanged(control != nullptr);
}

namespace {
int lowestBit(int mask) { return mask & -mask; }
}  // namespace

void Form::mouseDown(float x, float y, int buttons, int shift) {
  lastX_ = x;
  lastY_ = y;
  int pressed = buttons & ~heldButtons_;
  if (pressed == 0) pressed = buttons != 0 ? lowestBit(buttons) : kLeftButton;
  heldButtons_ = buttons | pressed;
  // While the pointer is held every press goes to the control holding it, as it would to a captured window.
  Control* target = captured_ ? captured_ : controlAt(x, y);
  if (!target) return;
  // The window under the press takes the focus: the control itself when windowed, else the surface it is
  // drawn on. A label on the open panel leaves the focus where it was, since a frame never takes it.
  for (Control* c = target; c; c = c->parent_) {
    if (!c->windowed()) continue;
    if (c->focusable()) setFocus(c);
    break;
  }
  if (!captured_) setCaptured(target);
  if (target->onMouseDown) target->onMouseDown(eventFor(*target, x, y, pressed, shift));
}

void Form::mouseMove(float x, float y, int buttons, int shift) {
  lastX_ = x;
  lastY_ = y;
  // A move with every button up while the pointer is held means the release went elsewhere (a capture taken
  // away without notice): it ends the hold as its loss would, so nothing keeps following the bare pointer.
  if (captured_ && buttons == 0) captureLost();
  Control* target = captured_ ? captured_ : controlAt(x, y);
  if (target && target->onMouseMove) target->onMouseMove(eventFor(*target, x, y, buttons, shift));
}

void Form::mouseUp(float x, float y, int buttons, int shift) {
  lastX_ = x;
  lastY_ = y;
  int released = heldButtons_ & ~buttons;
  if (released == 0) released = heldButtons_ != 0 ? lowestBit(heldButtons_) : kLeftButton;
  heldButtons_ &= ~released;
  Control* target = captured_;
  if (!target) return;
  // The pointer is let go before any handler runs: a click may minimise the window, end the program or open a
  // modal message box, none of which should happen with the pointer still held.
  if (heldButtons_ == 0) setCaptured(nullptr);
  if (target->onMouseUp) target->onMouseUp(eventFor(*target, x, y, released, shift));
  if (controlAt(x, y) != target) return;
  if (released == kRightButton && target->onContextMenu) target->onContextMenu();
  if (released != kLeftButton) return;
  if (target->kind() == Kind::CheckBox) {
    target->setValue(target->value() == 1 ? 0 : 1);
  } else if (target->onClick) {
    target->onClick();
  }
}

void Form::captureLost() {
  Control* target = captured_;
  const int released = heldButtons_;
  heldButtons_ = 0;
  if (!target) return;
  setCaptured(nullptr);
  if (target->onMouseUp) target->onMouseUp(eventFor(*target, lastX_, lastY_, released, 0));
}

void Form::keyDown(int key, int shift) {
  if (key == kKeyTab) {
    setFocus(nextInTabOrder((shift & kShiftKey) != 0));
    return;
  }
  if (!focused_) return;
  if (key == kKeySpace && focused_->kind() == Kind::CheckBox) spacePressedOn_ = focused_;
  if (focused_->onKeyDown) focused_->onKeyDown(key, shift);
}

void Form::keyUp(int key, int /*shift*/) {
  if (key != kKeySpace) return;
  Control* box = spacePressedOn_;
  spacePressedOn_ = nullptr;
  if (box && box == focused_) box->setValue(box->value() == 1 ? 0 : 1);
}

void Form::scroll(Control& bar, ScrollAction action, int thumbPosition) {
  if (bar.kind() != Kind::HScrollBar) return;
  const LayoutRow& row = bar.layout();
  int value = bar.value();
  switch (action) {
    case ScrollAction::LineLeft:
      value -= row.smallChange;
      break;
    case ScrollAction::LineRight:
      value += row.smallChange;
      break;
    case ScrollAction::PageLeft:
      value -= row.largeChange;
      break;
    case ScrollAction::PageRight:
      value += row.largeChange;
      break;
    case ScrollAction::ToStart:
      value = row.min;
      break;
    case ScrollAction::ToEnd:
      value = row.max;
      break;
    case ScrollAction::ThumbRelease:
      value = thumbPosition;
      break;
    case ScrollAction::ThumbTrack:
      return;
  }
  bar.setValue(value);
}

void Form::showMenu(std::vector<MenuItem> items, std::function<void(std::size_t)> chosen) {
  if (onMenuRequested) onMenuRequested(items, std::move(chosen));
}

void Form::fitLabels(const std::function<std::optional<platform::PixelPoint>(const Control&)>& measure) {
  const std::function<void(const std::vector<std::unique_ptr<Control>>&)> fit = [&](const auto& list) {
    for (const auto& c : list) {
      fit(c->children());
      if (c->kind() != Kind::Label || c->caption().empty()) continue;
      const std::optional<platform::PixelPoint> size = measure(*c);
      if (!size) continue;
      // One pixel wider than the text, so its last stroke is never cut.
      const auto width = static_cast<int>(platform::toTwips(size->x + 1, dpi_));
      const auto height = static_cast<int>(platform::toTwips(size->y, dpi_));
      if (c->layout().autoSize) {
        c->setSize(width, height);
      } else {
        c->setSize(std::max(c->layout().rect.width, width), c->layout().rect.height);
      }
    }
  };
  fit(controls_);
}

}  // namespace form
