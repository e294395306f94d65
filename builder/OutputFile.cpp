#include "builder/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

namespace tolmi {

namespace {

Status IoError(const std::string& what, const std::string& path, int error) {
  return Status::Error(ErrorKind::Io, what + " '" + path + "': " + std::strerror(error));
}

// The process's file-creation mask, read once (umask has no read-only form).
mode_t CreationMask() {
  static const mode_t mask = [] {
    mode_t old = ::umask(022);
    ::umask(old);
    return old;
  }();
  return mask;
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

ExistingOutput CompareOutput(const std::string& path, std::string_view text) {
  ExistingOutput existing;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return existing;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return existing;
  }
  existing.exists = true;
  existing.mode = st.st_mode & 07777;
  if (static_cast<std::uint64_t>(st.st_size) == text.size()) {
    // The size is known: one read of it is the usual case.
    std::vector<char> held(text.size());
    std::size_t got = 0;
    while (got < held.size()) {
      ssize_t n = ::read(fd, held.data() + got, held.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    existing.same =
        got == text.size() && (got == 0 || std::memcmp(held.data(), text.data(), got) == 0);
  }
  ::close(fd);
  return existing;
}

Result<std::string> WriteOutputTemp(const std::string& path, std::string_view text, mode_t mode) {
  static std::atomic<unsigned> counter{0};
  static const std::string pid = std::to_string(::getpid());  // a clash only costs a retry
  std::size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const mode_t wanted = mode ? mode : 0644;
  int fd = -1;
  std::string temp;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = dir + "." + base.substr(0, 200) + ".tmp-" + pid + "-" +
           std::to_string(counter.fetch_add(1));
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, wanted);
    if (fd < 0 && errno != EEXIST) return IoError("Unable to create file", path, errno);
  }
  if (fd < 0) return IoError("Unable to create file", path, EEXIST);
  // The creation mask may have taken bits the replaced file had; give them back.
  if ((wanted & ~CreationMask()) != wanted) ::fchmod(fd, wanted);
  bool written = WriteAll(fd, text);
  int error = errno;
  if (::close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) {
    ::unlink(temp.c_str());
    return IoError("Unable to write file", path, error);
  }
  return temp;
}

Status ReplaceWithTemp(const std::string& temp, const std::string& target) {
  if (::rename(temp.c_str(), target.c_str()) == 0) return Status::Ok();
  int error = errno;
  ::unlink(temp.c_str());
  return IoError("Unable to replace file", target, error);
}

Status WriteOutputIfChanged(const std::string& path, std::string_view text) {
  ExistingOutput existing = CompareOutput(path, text);
  if (existing.same) return Status::Ok();
  Result<std::string> temp = WriteOutputTemp(path, text, existing.mode);
  if (!temp) return temp.status();
  return ReplaceWithTemp(*temp, path);
}

}  // namespace tolmi
