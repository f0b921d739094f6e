#include "platform/gtk/instance_lock.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace gtk {

InstanceLock::InstanceLock(const std::filesystem::path& file) {
  g_mkdir_with_parents(file.parent_path().c_str(), 0700);
  fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    // Nowhere to keep a lock (a read-only home, say): running twice is the lesser harm than not running.
    held_ = true;
    return;
  }
  int result = 0;
  do {
    result = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  held_ = result == 0 || errno != EWOULDBLOCK;
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), held_(std::exchange(other.held_, false)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    held_ = std::exchange(other.held_, false);
  }
  return *this;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

std::filesystem::path instanceLockFile(const std::filesystem::path& settingsFolder) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::filesystem::path(runtime) / "vaskf5.lock";
  return settingsFolder / "instance.lock";
}

}  // namespace gtk
