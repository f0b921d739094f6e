// Whether the program can do its work on this desktop, told before anything else starts.
#pragma once

#include <string>

namespace x11 {

struct DisplayCheck {
  // False when there is no X display at all: the program says so and ends.
  bool usable = false;
  // What to tell the user once, or empty when there is nothing to tell.
  std::string message;
};

DisplayCheck checkDisplay();

}  // namespace x11
