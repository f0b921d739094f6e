// Process-wide services on a Linux desktop: the single-instance lock, the modal message box and the end of
// the program.
#pragma once

#include <gtk/gtk.h>

#include <filesystem>
#include <optional>

#include "platform/gtk/instance_lock.h"
#include "platform/platform.h"

namespace gtk {

class ProcessServices final : public platform::ProcessServices {
 public:
  explicit ProcessServices(std::filesystem::path lockFile) : lockFile_(std::move(lockFile)) {}

  // Takes the lock the first time; from then on this process holds it and is the one running copy.
  bool PrevInstance() override;
  void MsgBox(std::string_view text) override;
  // Leaves the main loop at once; the window goes without its unload running.
  void End() override;

  bool ended() const { return ended_; }
  // The window that message boxes belong to.
  GtkWindow* owner = nullptr;

 private:
  std::filesystem::path lockFile_;
  std::optional<InstanceLock> lock_;
  bool ended_ = false;
};

}  // namespace gtk
