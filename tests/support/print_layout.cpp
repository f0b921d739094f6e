// Prints where each control of the main window lies, so that the end-to-end tests click where the program
// puts things instead of at numbers of their own: one line per control, "name left top width height", in
// twips of the client area, with the settings panel where it lies when open.
#include <cstdio>

#include "ui/layout.h"

namespace {

void print(const form::Control& control) {
  std::printf("%s %d %d %d %d\n", control.name().c_str(), control.absoluteLeft(), control.absoluteTop(),
              control.width(), control.height());
  for (const auto& child : control.children()) print(*child);
}

}  // namespace

int main() {
  form::Form form("", ui::kClientWidth, ui::kClientHeight);
  ui::buildLayout(form);
  form.control("panel").setTop(ui::kPanelOpenTop);
  for (const auto& control : form.controls()) print(*control);
  return 0;
}
