#include "util/FileLock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "util/Files.h"

namespace tolmi {

namespace {

// The locks this process holds: path -> descriptor and number of holders.
struct HeldLock {
  int fd = -1;
  int count = 0;
};

std::mutex& HeldMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, HeldLock>& Held() {
  static std::map<std::string, HeldLock> held;
  return held;
}

std::chrono::milliseconds gDefaultWait{-1};

std::string ProgramName() {
  std::optional<std::string> comm = ReadWholeFile("/proc/self/comm");
  std::string name = comm ? std::string(TrimLineEnd(*comm)) : std::string();
  return name.empty() ? "another program" : name;
}

// Writes "<program> <pid>" into the lock file the caller has just locked.
void WriteHolder(int fd) {
  const std::string text =
      ProgramName() + " " + std::to_string(static_cast<long>(::getpid())) + "\n";
  if (::ftruncate(fd, 0) != 0) return;
  ssize_t written = ::pwrite(fd, text.data(), text.size(), 0);
  (void)written;
}

}  // namespace

FileLock::FileLock(FileLock&& other) noexcept : key_(std::move(other.key_)) {
  other.key_.clear();
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    key_ = std::move(other.key_);
    other.key_.clear();
  }
  return *this;
}

FileLock::~FileLock() {
  Release();
}

void FileLock::Release() {
  if (key_.empty()) return;
  std::lock_guard<std::mutex> guard(HeldMutex());
  auto it = Held().find(key_);
  if (it != Held().end() && --it->second.count <= 0) {
    ::close(it->second.fd);  // ends the flock
    Held().erase(it);
  }
  key_.clear();
}

Result<FileLock> FileLock::Acquire(const std::string& lockPath, const std::string& what,
                                   std::chrono::milliseconds wait) {
  if (wait == kDefaultLockWait && gDefaultWait.count() >= 0) wait = gDefaultWait;
  std::string path = lockPath;
  for (char& c : path)
    if (c == '\\') c = '/';
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    return Status::Error(ErrorKind::Io, "Unable to create the lock file '" + path + "' for " +
                                            what + ": " + std::strerror(errno));
  }
  // The file itself is the key, however its path was written.
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    return Status::Error(ErrorKind::Io, "Unable to lock '" + path + "': " + std::strerror(error));
  }
  const std::string key = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  {
    std::lock_guard<std::mutex> guard(HeldMutex());
    auto it = Held().find(key);
    if (it != Held().end()) {
      ::close(fd);
      ++it->second.count;
      FileLock lock;
      lock.key_ = key;
      return lock;
    }
  }
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) break;
    if (errno != EWOULDBLOCK && errno != EINTR) {
      const int error = errno;
      ::close(fd);
      return Status::Error(
          ErrorKind::Io, "Unable to lock '" + path + "' for " + what + ": " + std::strerror(error));
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      return Status::Error(ErrorKind::Io, LockBusyMessage(what, ReadLockHolder(path)));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  WriteHolder(fd);
  std::lock_guard<std::mutex> guard(HeldMutex());
  Held()[key] = HeldLock{fd, 1};
  FileLock lock;
  lock.key_ = key;
  return lock;
}

LockHolder ReadLockHolder(const std::string& lockPath) {
  LockHolder holder;
  std::optional<std::string> text = ReadWholeFile(lockPath);
  if (!text) return holder;
  std::string_view line = TrimLineEnd(*text);
  std::size_t space = line.rfind(' ');
  if (space == std::string_view::npos) return holder;
  holder.program = std::string(line.substr(0, space));
  holder.pid = std::strtol(std::string(line.substr(space + 1)).c_str(), nullptr, 10);
  return holder;
}

std::string LockBusyMessage(const std::string& what, const LockHolder& holder) {
  std::string who = holder.program.empty() ? "another program" : holder.program;
  if (holder.pid > 0) who += " (process " + std::to_string(holder.pid) + ")";
  return what + " is in use by " + who + "; try again when it has finished.";
}

void SetDefaultLockWaitForTesting(std::chrono::milliseconds wait) {
  gDefaultWait = wait;
}

}  // namespace tolmi
