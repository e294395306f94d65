#include "util/Paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "util/Files.h"
#include "util/Strings.h"

extern char** environ;

namespace tolmi {

namespace {

std::size_t FileNameStart(std::string_view path) {
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? 0 : slash + 1;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The path of a program on $PATH, or "".
std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path) return {};
  std::string_view rest(path);
  while (true) {
    std::size_t colon = rest.find(':');
    std::string dir(rest.substr(0, colon));
    if (!dir.empty()) {
      std::string candidate = dir + "/" + name;
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return {};
}

}  // namespace

std::string UniqueFileName(std::string_view name, int n) {
  std::string out(name);
  std::size_t start = FileNameStart(out);
  // Remove the last "(digits)" group of the file-name part.
  for (std::size_t close = out.size(); close-- > start;) {
    if (out[close] != ')') continue;
    std::size_t i = close;
    while (i > start && IsDigit(out[i - 1])) --i;
    if (i < close && i > start && out[i - 1] == '(') {
      out.erase(i - 1, close - i + 2);
      break;
    }
  }
  std::string tag = "(" + std::to_string(n) + ")";
  std::size_t dot = out.rfind('.');
  if (dot == std::string::npos || dot < start) {
    out += tag;
  } else {
    out.insert(dot, tag);
  }
  return out;
}

std::string MakeUniquePath(std::string_view path) {
  std::string base(path);
  while (base.size() > 1 && (base.back() == '/' || base.back() == '\\')) base.pop_back();
  if (base.empty() || !FileExists(base)) return base;
  std::string candidate = base;
  for (int n = 1; n < 1000000; ++n) {
    candidate = UniqueFileName(base, n);
    if (!FileExists(candidate)) break;
  }
  return candidate;
}

std::string NormalisePath(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    char c = path[i] == '\\' ? '/' : path[i];
    if (c == '/' && !out.empty() && out.back() == '/' && !(i == 1)) continue;
    out += c;
  }
  return out;
}

std::string ResolveParentSegments(std::string_view path, char separator) {
  // Keep the leading separators (one, or the pair of a network path) as they are.
  std::size_t lead = 0;
  while (lead < path.size() && path[lead] == separator) ++lead;
  std::string prefix(path.substr(0, lead));
  std::string_view rest = path.substr(lead);

  std::vector<std::string_view> parts;
  while (true) {
    std::size_t end = rest.find(separator);
    std::string_view part = rest.substr(0, end);
    if (part == ".") {
      // dropped
    } else if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
      } else if (!(parts.empty() && lead > 0)) {  // nothing lies above the root
        parts.push_back(part);
      }
    } else {
      parts.push_back(part);
    }
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  std::string out = prefix;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += separator;
    out += parts[i];
  }
  return out;
}

std::string JoinPath(std::string_view directory, std::string_view name) {
  std::string joined;
  if (directory.empty()) {
    joined = name;
  } else if (name.empty()) {
    joined = directory;
  } else {
    joined = std::string(directory) + "/" + std::string(name);
  }
  return ResolveParentSegments(NormalisePath(joined), '/');
}

bool HasDrivePrefix(std::string_view path) {
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
}

int CreateDirectoryPath(std::string_view path) {
  std::string p = NormalisePath(path);
  if (p.empty()) return 0;
  if (HasDrivePrefix(p)) return EINVAL;
  bool created = false;
  std::size_t pos = 0;
  while (pos < p.size() && p[pos] == '/') ++pos;
  while (pos <= p.size()) {
    std::size_t end = p.find('/', pos);
    if (end == std::string::npos) end = p.size();
    if (end > pos) {
      std::string level = p.substr(0, end);
      if (::mkdir(level.c_str(), 0777) == 0) {
        created = true;
      } else {
        int error = errno;
        struct stat st;
        if (error != EEXIST) {
          // A level the system refuses to create but which exists (e.g. a read-only mount).
          if (::stat(level.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return error;
        } else if (::stat(level.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
          return ENOTDIR;
        }
      }
    }
    pos = end + 1;
  }
  return created ? 1 : 183;
}

int DeleteMatchingFiles(std::string_view pattern) {
  std::string p = NormalisePath(pattern);
  if (p.empty()) return 0;
  std::size_t slash = p.rfind('/');
  std::string dir = slash == std::string::npos ? "." : p.substr(0, slash == 0 ? 1 : slash);
  std::string filePattern = slash == std::string::npos ? p : p.substr(slash + 1);
  if (filePattern.empty()) return 0;
  dir = ResolveExistingPath(dir);
  DIR* d = ::opendir(dir.c_str());
  if (!d) return 0;
  std::vector<std::string> victims;
  while (struct dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (!StrWildcardMatch(name, filePattern)) continue;
    std::string full = dir + "/" + name;
    struct stat st;
    if (::lstat(full.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) victims.push_back(full);
  }
  ::closedir(d);
  int count = 0;
  for (const std::string& full : victims)
    if (::unlink(full.c_str()) == 0) ++count;
  return count;
}

int DeleteToRecycleBin(std::string_view path) {
  if (path.empty()) return 0;
  std::string target = ResolveExistingPath(path);
  struct stat st;
  if (::lstat(target.c_str(), &st) != 0) return 0;
  std::string gio = FindProgram("gio");
  if (!gio.empty()) {
    std::vector<std::string> args = {gio, "trash", "--", target};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = ::posix_spawn(&pid, gio.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc == 0) {
      int status = 0;
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && ::lstat(target.c_str(), &st) != 0)
        return 1;
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(target, ec);
  return ec || ::lstat(target.c_str(), &st) == 0 ? 0 : 1;
}

bool RemoveInvalidNameChars(std::string& name) {
  static constexpr std::string_view kInvalid = "\"\\/:;'*?<>|";
  std::size_t before = name.size();
  std::string out;
  out.reserve(name.size());
  for (char c : name)
    if (kInvalid.find(c) == std::string_view::npos) out += c;
  name = std::move(out);
  return name.size() != before;
}

bool MatchesExtensionList(std::string_view fileName, std::string_view list) {
  std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string_view ext = fileName.substr(dot + 1);
  std::size_t pos = 0;
  while (pos <= list.size()) {
    std::size_t end = list.find_first_of(",;", pos);
    if (end == std::string_view::npos) end = list.size();
    std::string element;
    for (char c : list.substr(pos, end - pos))
      if (c != '*' && c != ' ' && c != '\t') element += c;
    if (!element.empty() && element[0] == '.') element.erase(0, 1);
    if (!element.empty() && EqualsNoCase(element, ext)) return true;
    pos = end + 1;
  }
  return false;
}

}  // namespace tolmi
