// The single-instance lock: one holder at a time, across processes, and free again once its holder is gone.
#include "platform/gtk/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "temp_folder.h"

namespace {

class InstanceLockTest : public ::testing::Test {
 protected:
  testing_support::TempFolder folder;
  std::filesystem::path file() const { return folder.path() / "run" / "vaskf5.lock"; }

  // Whether a separate process could take the lock right now (flock locks belong to open files, so a second
  // copy of the program is a second process, not a second object).
  bool anotherProcessGetsIt() const {
    const pid_t child = fork();
    if (child == 0) _exit(gtk::InstanceLock(file()).held() ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
};

TEST_F(InstanceLockTest, TheFirstCopyHoldsTheLockASecondProcessDoesNotAndItIsFreeOnceItsHolderIsGone) {
  {
    const gtk::InstanceLock first(file());
    EXPECT_TRUE(first.held());
    EXPECT_FALSE(anotherProcessGetsIt());
  }
  EXPECT_TRUE(anotherProcessGetsIt());
}

TEST_F(InstanceLockTest, AMovedLockStaysHeldUntilItsLastOwnerGoes) {
  gtk::InstanceLock first(file());
  gtk::InstanceLock moved(std::move(first));
  EXPECT_TRUE(moved.held());
  EXPECT_FALSE(anotherProcessGetsIt());
  moved = gtk::InstanceLock(folder.path() / "other.lock");
  EXPECT_TRUE(anotherProcessGetsIt());
}

TEST_F(InstanceLockTest, TheLockFileIsInTheRuntimeFolderOrElseBesideTheSettings) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string restore = saved ? saved : "";
  setenv("XDG_RUNTIME_DIR", "/run/user/1234", 1);
  EXPECT_EQ(gtk::instanceLockFile("/home/a/.config/vaskf5"), "/run/user/1234/vaskf5.lock");
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(gtk::instanceLockFile("/home/a/.config/vaskf5"), "/home/a/.config/vaskf5/instance.lock");
  if (saved) setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
}

}  // namespace
