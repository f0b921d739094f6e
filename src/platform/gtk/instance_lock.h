// The single-instance lock: an exclusive lock (flock) on a file, held for the life of the process. The system
// drops it when the process ends, however it ends, so a crash never leaves a stale lock behind.
#pragma once

#include <filesystem>
#include <string_view>

namespace gtk {

class InstanceLock {
 public:
  // Tries to take the lock on the file, creating the file and its folder when missing; a symbolic link in the
  // file's place is not followed. Whether it is held says whether this process is the only copy; a file that
  // cannot be opened at all lets the program run.
  explicit InstanceLock(const std::filesystem::path& file);
  InstanceLock(InstanceLock&& other) noexcept;
  InstanceLock& operator=(InstanceLock&& other) noexcept;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  ~InstanceLock();

  // False when another process holds the lock.
  bool held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

// The lock file of the program for this user and X display: one copy runs per user and display. It lies in
// the user's own runtime folder, <runtimeRoot>/<uid>, when that exists and is theirs alone, else in the
// settings folder: found the same way whatever the environment says (two copies started from a terminal and
// from the session, with or without XDG_RUNTIME_DIR, still meet at one lock).
std::filesystem::path instanceLockFile(const std::filesystem::path& settingsFolder, std::string_view display,
                                       const std::filesystem::path& runtimeRoot = "/run/user");

}  // namespace gtk
