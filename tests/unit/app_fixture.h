// The main window on the fake platform, as the Win32 host would run it: the window exists, then loads.
#pragma once

#include <gtest/gtest.h>

#include "support/fake_platform.h"
#include "ui/main_window.h"

namespace testing_app {

class App : public ::testing::Test {
 protected:
  fake::Platform p;
  ui::Main main{p.services};
  form::Form& form = main.form();

  void SetUp() override { form.hWnd = p.wm.createWindow("VaskF5Main"); }
  void load() { main.Form_Load(); }
  int value(std::string_view name) { return main.control(name).Value(); }
  bool visible(std::string_view name) { return main.control(name).Visible(); }

  // A click at a point of the client area (twips) reaches whatever control lies on top there.
  std::string clickAt(int x, int y) {
    form::Control* hit = form.hitTest(x, y);
    if (!hit) return "";
    if (hit->kind() == form::Kind::CheckBox) {
      hit->SetValue(hit->Value() == 1 ? 0 : 1);
    } else if (hit->Click) {
      hit->Click();
    }
    return hit->name();
  }

  // Ctrl then S, typed on the keyboard the watcher listens to.
  void saveChord() {
    p.keyboard.press(17);
    p.keyboard.press(83);
    p.keyboard.release(83);
    p.keyboard.release(17);
  }
};

}  // namespace testing_app
