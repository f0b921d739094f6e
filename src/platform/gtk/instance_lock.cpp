#include "platform/gtk/instance_lock.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

namespace gtk {

namespace {

// ":0", ":0.0" and "unix:0" name one display: its host (none for this machine) and number, without the
// screen.
std::string displayKey(std::string_view display) {
  const std::size_t colon = display.rfind(':');
  std::string host(display.substr(0, colon == std::string_view::npos ? 0 : colon));
  if (host == "unix") host.clear();
  std::string_view number = colon == std::string_view::npos ? display : display.substr(colon + 1);
  number = number.substr(0, number.find('.'));
  std::string key = host + "_" + std::string(number);
  for (char& c : key) {
    if (c == '/') c = '_';
  }
  return key;
}

// A folder of the user's alone: a real folder (not a link to elsewhere) that they own and nobody else may
// write to.
bool ownFolder(const std::filesystem::path& folder) {
  struct stat info {};
  return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
         (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

InstanceLock::InstanceLock(const std::filesystem::path& file) {
  g_mkdir_with_parents(file.parent_path().c_str(), 0700);
  fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) {
    // Nowhere to keep a lock (a read-only home, a link planted in its place): running twice is the lesser
    // harm.
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

std::filesystem::path instanceLockFile(const std::filesystem::path& settingsFolder, std::string_view display,
                                       const std::filesystem::path& runtimeRoot) {
  const std::string name = "vaskf5-" + displayKey(display) + ".lock";
  const std::filesystem::path runtime = runtimeRoot / std::to_string(::getuid());
  return (ownFolder(runtime) ? runtime : settingsFolder) / name;
}

}  // namespace gtk
