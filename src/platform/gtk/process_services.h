// Process-wide services on a Linux desktop: the single-instance lock, the modal message, the end of the
// program and starting with the session.
#pragma once

#include <gtk/gtk.h>

#include <filesystem>
#include <optional>

#include "platform/gtk/instance_lock.h"
#include "platform/platform.h"

namespace gtk {

class ProcessServices final : public platform::ProcessServices {
 public:
  ProcessServices(std::filesystem::path lockFile, std::filesystem::path autostartEntry)
      : lockFile_(std::move(lockFile)), autostartEntry_(std::move(autostartEntry)) {}

  // Takes the lock the first time; from then on this process holds it and is the one running copy.
  bool anotherCopyRuns() override;
  void showMessage(std::string_view text) override;
  // Leaves the main loop; the program then returns from main, and everything it holds is put back.
  void quit() override;
  bool startsWithSession() override;
  void setStartsWithSession(bool on) override;

  bool ended() const { return ended_; }
  // The window that messages belong to.
  GtkWindow* owner = nullptr;

 private:
  std::filesystem::path lockFile_;
  std::filesystem::path autostartEntry_;
  std::optional<InstanceLock> lock_;
  bool ended_ = false;
};

}  // namespace gtk
