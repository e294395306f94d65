#include "util/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "util/PackedFile.h"
#include "util/Strings.h"

namespace tolmi {

namespace {

long long gWriteFaultAfter = -1;

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The entry of a directory equal to a name without regard to ASCII case (the first in byte
// order when several are), or "" when there is none.
std::string FindEntryNoCase(const std::string& dir, std::string_view name) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return {};
  std::string best;
  while (struct dirent* e = ::readdir(d)) {
    std::string_view entry(e->d_name);
    if (entry == "." || entry == "..") continue;
    if (EqualsNoCase(entry, name) && (best.empty() || entry < best)) best = entry;
  }
  ::closedir(d);
  return best;
}

std::string ErrorText(int error) {
  return std::strerror(error);
}

}  // namespace

std::string ResolveExistingPath(std::string_view path) {
  std::string p(path);
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.empty() || Exists(p)) return p;

  std::string out;
  std::size_t pos = 0;
  while (pos < p.size()) {
    if (p[pos] == '/') {
      out += '/';
      ++pos;
      continue;
    }
    std::size_t end = p.find('/', pos);
    if (end == std::string::npos) end = p.size();
    std::string_view part(p.data() + pos, end - pos);
    std::string candidate = out + std::string(part);
    if (part == "." || part == ".." || Exists(candidate)) {
      out = std::move(candidate);
    } else {
      std::string match = FindEntryNoCase(out, part);
      if (match.empty()) {
        out.append(p, pos, std::string::npos);
        return out;
      }
      out += match;
    }
    pos = end;
  }
  return out;
}

bool FileExists(std::string_view path) {
  if (path.empty()) return false;
  return Exists(ResolveExistingPath(path));
}

bool IsDirectory(std::string_view path) {
  if (path.empty()) return false;
  struct stat st;
  return ::stat(ResolveExistingPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::uint64_t FileSize(std::string_view path) {
  if (path.empty()) return 0;
  struct stat st;
  if (::stat(ResolveExistingPath(path).c_str(), &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

bool FileHoldsBytes(const std::string& path, std::string_view bytes) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uint64_t>(st.st_size) != bytes.size())
    return false;
  std::optional<std::string> held = ReadWholeFile(path);
  return held && *held == bytes;
}

std::uint32_t FileStamp(std::string_view path) {
  if (path.empty()) return 0;
  struct stat st;
  if (::stat(ResolveExistingPath(path).c_str(), &st) != 0) return 0;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(st.st_mtime) & 0xFFFFFFFFu);
}

std::optional<std::string> ReadWholeFile(std::string_view path) {
  if (path.empty()) return std::nullopt;
  std::string resolved = ResolveExistingPath(path);
  int fd = ::open(resolved.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string bytes;
  if (st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
  char chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return bytes;
}

// ---- line reading

LineReader::LineReader(std::string bytes, std::size_t maxLine)
    : bytes_(std::move(bytes)), maxLine_(maxLine == 0 ? kMaxLineLength : maxLine) {}

std::optional<LineReader> LineReader::Open(std::string_view path, std::size_t maxLine) {
  std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) return std::nullopt;
  return LineReader(std::move(*bytes), maxLine);
}

bool LineReader::NextRaw(std::string& line) {
  line.clear();
  if (pos_ >= bytes_.size()) return false;
  std::size_t limit = std::min(bytes_.size() - pos_, maxLine_);
  const char* start = bytes_.data() + pos_;
  const void* nl = std::memchr(start, '\n', limit);
  std::size_t len = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - start) + 1 : limit;
  // A piece cut at the limit right before its line end takes the line end along, so a line
  // of exactly the limit does not leave an empty line behind.
  if (!nl && len == maxLine_) {
    std::size_t after = pos_ + len;
    if (after < bytes_.size() && bytes_[after] == '\n') {
      len += 1;
    } else if (after + 1 < bytes_.size() && bytes_[after] == '\r' && bytes_[after + 1] == '\n') {
      len += 2;
    }
  }
  line.assign(start, len);
  pos_ += len;
  if (!line.empty() && line[0] == '\0') line.erase(0, 1);
  ++lineNumber_;
  return true;
}

bool LineReader::Next(std::string& line) {
  if (!NextRaw(line)) return false;
  line.resize(TrimLineEnd(line).size());
  return true;
}

std::string_view TrimLineEnd(std::string_view line) {
  std::size_t n = line.size();
  while (n > 0 && (line[n - 1] == ' ' || line[n - 1] == '\r' || line[n - 1] == '\n')) --n;
  return line.substr(0, n);
}

int ForEachLine(std::string_view path, const std::function<int(std::string_view line)>& callback) {
  if (path.empty() || !callback) return 0;
  std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) return 0;
  int sum = 0;
  if (IsPackedText(*bytes)) {
    std::optional<std::string> text = UnpackText(*bytes);
    if (!text) return 0;
    std::string_view rest(*text);
    while (!rest.empty()) {
      std::size_t end = rest.find_first_of("\r\n");
      if (end == std::string_view::npos) {
        sum += callback(rest);
        break;
      }
      sum += callback(rest.substr(0, end));
      std::size_t next = rest.find_first_not_of("\r\n", end);
      if (next == std::string_view::npos) break;
      rest.remove_prefix(next);
    }
    return sum;
  }
  LineReader reader(std::move(*bytes), 20000);
  std::string line;
  while (reader.NextRaw(line)) {
    std::size_t n = line.size();
    while (n > 0 && (line[n - 1] == '\r' || line[n - 1] == '\n')) --n;
    sum += callback(std::string_view(line).substr(0, n));
  }
  return sum;
}

// ---- formatted output

std::string FormatTextV(const char* format, va_list args) {
  if (!format) return {};
  char small[2000];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return {};
  if (static_cast<std::size_t>(n) < sizeof small)
    return std::string(small, static_cast<std::size_t>(n));
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  va_copy(copy, args);
  std::vsnprintf(text.data(), text.size(), format, copy);
  va_end(copy);
  text.resize(static_cast<std::size_t>(n));
  return text;
}

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  return text;
}

int WriteFormatted(std::FILE* file, const char* format, ...) {
  if (!file || !format) return -1;
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) return -1;
  return static_cast<int>(text.size());
}

void WriteFormatted(std::ostream& out, const char* format, ...) {
  if (!format) return;
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// ---- atomic writes

void SetAtomicWriteFaultForTesting(long long failAfterBytes) {
  gWriteFaultAfter = failAfterBytes;
}

AtomicFile::AtomicFile(std::string path, AtomicWriteOptions options)
    : path_(std::move(path)), options_(options) {
  if (path_.empty()) {
    status_ = Status::Error(ErrorKind::InvalidArgument, "No file name given");
    return;
  }
  std::replace(path_.begin(), path_.end(), '\\', '/');
  // Keep the casing of an existing file so that the save replaces it, and save through a
  // symbolic link into the file it names rather than replacing the link.
  if (options_.resolvePath) path_ = ResolveExistingPath(path_);
  struct stat link;
  if (::lstat(path_.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    if (char* real = ::realpath(path_.c_str(), nullptr)) {
      path_ = real;
      std::free(real);
    }
  }
  std::size_t slash = path_.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  // The temporary name stays within the file-name length limit for long names.
  tempPath_ = dir + "." + base.substr(0, 200) + ".tmp-XXXXXX";
  fd_ = ::mkostemp(tempPath_.data(), O_CLOEXEC);
  if (fd_ < 0) {
    int error = errno;
    tempPath_.clear();
    Fail("Unable to create file", error);
    return;
  }
  // Keep the permissions of the file being replaced; a new file gets the usual 0644.
  struct stat st;
  mode_t mode = 0644;
  if (::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) mode = st.st_mode & 07777;
  if (options_.ownerOnly) mode &= 0700;
  ::fchmod(fd_, mode);
}

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !tempPath_.empty()) ::unlink(tempPath_.c_str());
}

void AtomicFile::Fail(const std::string& what, int error) {
  if (!status_.ok()) return;
  status_ = Status::Error(ErrorKind::Io, what + " '" + path_ + "': " + ErrorText(error));
}

void AtomicFile::Flush() {
  std::size_t done = 0;
  while (status_.ok() && done < buffer_.size()) {
    std::size_t want = buffer_.size() - done;
    if (gWriteFaultAfter >= 0) {
      long long room = gWriteFaultAfter - static_cast<long long>(written_);
      if (room <= 0) {
        Fail("Unable to write file", EIO);
        break;
      }
      want = std::min<std::size_t>(want, static_cast<std::size_t>(room));
    }
    ssize_t n = ::write(fd_, buffer_.data() + done, want);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("Unable to write file", errno);
      break;
    }
    done += static_cast<std::size_t>(n);
    written_ += static_cast<std::uint64_t>(n);
  }
  buffer_.clear();
}

void AtomicFile::Write(std::string_view bytes) {
  if (!status_.ok() || committed_) return;
  buffer_.append(bytes);
  if (buffer_.size() >= 1 << 16) Flush();
}

void AtomicFile::Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  Write(text);
}

Status AtomicFile::Commit() {
  if (committed_) return status_;
  if (status_.ok()) Flush();
  if (status_.ok() && options_.sync && ::fsync(fd_) != 0) Fail("Unable to write file", errno);
  if (fd_ >= 0) {
    if (::close(fd_) != 0) Fail("Unable to write file", errno);
    fd_ = -1;
  }
  if (status_.ok() && options_.beforeReplace) options_.beforeReplace();
  if (status_.ok()) {
    if (::rename(tempPath_.c_str(), path_.c_str()) != 0) {
      Fail("Unable to replace file", errno);
    } else {
      committed_ = true;
      tempPath_.clear();
      std::size_t slash = path_.rfind('/');
      std::string dir = slash == std::string::npos ? "." : path_.substr(0, slash + 1);
      int dfd = options_.sync ? ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
      if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
      }
    }
  }
  if (!committed_ && !tempPath_.empty()) {
    ::unlink(tempPath_.c_str());
    tempPath_.clear();
  }
  committed_ = true;
  return status_;
}

Status WriteFileAtomic(const std::string& path, std::string_view bytes) {
  AtomicFile file(path);
  file.Write(bytes);
  return file.Commit();
}

Status WriteFileAtomic(const std::string& path, std::string_view bytes,
                       const AtomicWriteOptions& options) {
  AtomicFile file(path, options);
  file.Write(bytes);
  return file.Commit();
}

bool IsOwnerOnlyFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & 077) == 0;
}

void RestrictToOwner(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077))
    ::chmod(path.c_str(), st.st_mode & 0700);
}

Status WriteFileAtomicUnsynced(const std::string& path, std::string_view bytes, bool resolvePath) {
  AtomicWriteOptions options;
  options.sync = false;
  options.resolvePath = resolvePath;
  AtomicFile file(path, options);
  file.Write(bytes);
  return file.Commit();
}

}  // namespace tolmi
