// The main window on the fake platform, as a host runs it: the window exists, then starts.
#pragma once

#include <gtest/gtest.h>

#include "support/fake_platform.h"
#include "ui/main_window.h"

namespace testing_app {

struct Session {
  fake::Platform p;
  ui::Main main{p.services};
  form::Form& form = main.form();

  Session() { form.window = {p.wm.createWindow("VaskF5Main")}; }
  int value(std::string_view name) { return main.control(name).value(); }
  bool visible(std::string_view name) { return main.control(name).visible(); }

  // The middle of a control, as a person clicks it (twips of the client area).
  std::pair<float, float> middleOf(std::string_view name) {
    const form::Control& c = main.control(name);
    return {c.absoluteLeft() + c.width() / 2.f, c.absoluteTop() + c.height() / 2.f};
  }
  // A click at a point of the client area, through the calls a host makes; returns the name of the control
  // that took the press.
  std::string clickAt(float x, float y, int button = form::kLeftButton) {
    form.mouseDown(x, y, button, 0);
    const form::Control* took = form.captured();
    form.mouseUp(x, y, 0, 0);
    return took ? took->name() : "";
  }
  std::string click(std::string_view name, int button = form::kLeftButton) {
    const auto [x, y] = middleOf(name);
    return clickAt(x, y, button);
  }
  // Ctrl then S, as a person saves.
  void save() {
    for (int key : {platform::kKeyControl, platform::kKeyS}) p.keyboard.press(key, platform::KeySide::Left);
    for (int key : {platform::kKeyS, platform::kKeyControl}) p.keyboard.release(key, platform::KeySide::Left);
  }
};

class App : public ::testing::Test, public Session {};

// After a start on a first run.
class Started : public App {
 protected:
  void SetUp() override { main.start(); }
};

}  // namespace testing_app
