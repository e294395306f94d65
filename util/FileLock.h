// Locks between programs on one home: the desktop program and tolmi-cli (or two
// of either) take an exclusive lock on a lock file before they change a shared
// file, so that neither overwrites what the other wrote.
//
// A lock is a flock() on the lock file, so it ends with the process that held it,
// however that process ends. The holder writes its program name and process id
// into the file, so that a program kept waiting can say who holds the lock.
// Within one process a lock is re-entrant: taking a lock the process already holds
// succeeds at once and the lock ends when the last holder lets go.
#pragma once

#include <chrono>
#include <string>

#include "util/Result.h"

namespace tolmi {

// How long a program waits for a lock held by another before it gives up.
inline constexpr std::chrono::milliseconds kDefaultLockWait{5000};

// Who holds a lock, as written into its lock file.
struct LockHolder {
  std::string program;  // program name ("tolmi", "tolmi-cli"); empty when unknown
  long pid = 0;         // 0 when unknown
};

class FileLock {
 public:
  FileLock() = default;
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

  // Takes the lock on lockPath (the file is created when missing), waiting up to
  // `wait` while another process holds it. Fails with Io and LockBusyMessage(what,
  // holder) when the wait ends first, or with Io when the file cannot be made.
  // `what` names the locked thing for the message ("the orders file").
  static Result<FileLock> Acquire(const std::string& lockPath, const std::string& what,
                                  std::chrono::milliseconds wait = kDefaultLockWait);

  bool held() const { return !key_.empty(); }
  // Lets go of the lock early (the destructor does it otherwise).
  void Release();

 private:
  std::string key_;  // the lock file's device and inode; empty when not held
};

// What the holder of lockPath wrote: its program and process id.
LockHolder ReadLockHolder(const std::string& lockPath);

// "WHAT is in use by PROGRAM (process PID); try again when it has finished."
std::string LockBusyMessage(const std::string& what, const LockHolder& holder);

// Test seam: the wait used when a caller passes kDefaultLockWait (a negative value
// restores the default).
void SetDefaultLockWaitForTesting(std::chrono::milliseconds wait);

}  // namespace tolmi
