// Locks between programs: re-entrant within one process, exclusive between processes,
// and a program kept waiting learns who holds the lock.
#include "util/FileLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

// A child process that takes the lock and holds it until killed.
class LockHolderProcess {
 public:
  explicit LockHolderProcess(const std::string& path) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      Result<FileLock> lock = FileLock::Acquire(path, "x", std::chrono::milliseconds(2000));
      char c = lock ? 'y' : 'n';
      (void)!::write(ready[1], &c, 1);
      ::pause();
      ::_exit(0);
    }
    ::close(ready[1]);
    char c = 0;
    (void)!::read(ready[0], &c, 1);
    ::close(ready[0]);
    locked_ = c == 'y';
  }
  ~LockHolderProcess() {
    if (pid_ > 0) Kill();
  }
  void Kill() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  pid_t pid() const { return pid_; }
  bool locked() const { return locked_; }

 private:
  pid_t pid_ = -1;
  bool locked_ = false;
};

TEST(FileLock, ReentrantInOneProcessExclusiveBetweenProcesses) {
  test::TestHome home;
  const std::string path = (home / "orders.lock").string();
  {
    Result<FileLock> first = FileLock::Acquire(path, "The orders file");
    ASSERT_TRUE(first) << first.status().message();
    // The same file named another way is the same lock.
    Result<FileLock> again = FileLock::Acquire((home / "./orders.lock").string(), "x");
    ASSERT_TRUE(again);
    again->Release();
    EXPECT_EQ(ReadLockHolder(path).pid, static_cast<long>(::getpid()));
  }
  LockHolderProcess holder(path);
  ASSERT_TRUE(holder.locked());
  Result<FileLock> busy = FileLock::Acquire(path, "The orders file", std::chrono::milliseconds(50));
  ASSERT_FALSE(busy);
  EXPECT_EQ(busy.status().message(), "The orders file is in use by test_util (process " +
                                         std::to_string(holder.pid()) +
                                         "); try again when it has finished.");
  // A holder that dies, however it dies, lets go.
  holder.Kill();
  EXPECT_TRUE(FileLock::Acquire(path, "x", std::chrono::milliseconds(50)));
}

TEST(FileLock, UnwritableFolderFailsClearly) {
  Result<FileLock> lock = FileLock::Acquire("/nonexistent-folder/x.lock", "The project");
  ASSERT_FALSE(lock);
  EXPECT_EQ(lock.status().message().rfind("Unable to create the lock file", 0), 0u);
}

}  // namespace
}  // namespace tolmi
