// The main window on the fake platform, as the Win32 host would run it: the window exists, then loads.
#pragma once

#include <gtest/gtest.h>

#include "support/fake_platform.h"
#include "ui/main_window.h"

namespace testing_app {

struct Session {
  fake::Platform p;
  ui::Main main{p.services};
  form::Form& form = main.form();

  Session() { form.hWnd = p.wm.createWindow("VaskF5Main"); }
  int value(std::string_view name) { return main.control(name).Value(); }
  bool visible(std::string_view name) { return main.control(name).Visible(); }

  // A left click at a point of the client area (twips), through the same calls a host makes; returns the
  // name of the control that took the press.
  std::string clickAt(float x, float y) {
    form.mouseDown(x, y, form::kLeftButton, 0);
    const form::Control* took = form.captured();
    form.mouseUp(x, y, 0, 0);
    return took ? took->name() : "";
  }

  // A left-button drag from one point of the client area to another.
  void drag(float fromX, float fromY, float toX, float toY) {
    form.mouseDown(fromX, fromY, form::kLeftButton, 0);
    form.mouseMove(toX, toY, form::kLeftButton, 0);
    form.mouseUp(toX, toY, 0, 0);
  }
};

class App : public ::testing::Test, public Session {};

// After a start on a first run.
class Loaded : public App {
 protected:
  void SetUp() override { main.Form_Load(); }
};

}  // namespace testing_app
