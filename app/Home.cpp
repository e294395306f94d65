#include "app/Home.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "util/FileLock.h"

namespace tolmi {
namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string ProgramDir() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path().string();
}

bool IsDir(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

}  // namespace

Result<std::string> ResolveHomeDir(const std::string& cliHome) {
  if (!cliHome.empty()) return cliHome;
  if (std::string v = Env("TOLMI_HOME"); !v.empty()) return v;
  if (std::string v = Env("XDG_DATA_HOME"); !v.empty()) return (fs::path(v) / "tolmi").string();
  if (std::string v = Env("HOME"); !v.empty())
    return (fs::path(v) / ".local" / "share" / "tolmi").string();
  return Status::Error(ErrorKind::InvalidArgument,
                       "No home folder: give --home DIR or set TOLMI_HOME");
}

std::string FindDataDir() {
  if (std::string v = Env("TOLMI_DATA_DIR"); !v.empty()) return IsDir(v) ? v : std::string();
  if (std::string dir = ProgramDir(); !dir.empty()) {
    fs::path beside = fs::path(dir) / "data";
    if (IsDir(beside)) return beside.string();
    fs::path share = fs::path(dir).parent_path() / "share" / "tolmi";
    if (IsDir(share)) return share.string();
  }
#ifdef TOLMI_SOURCE_DATA_DIR
  if (IsDir(TOLMI_SOURCE_DATA_DIR)) return TOLMI_SOURCE_DATA_DIR;
#endif
  return {};
}

Result<int> SeedHome(const std::string& home, const std::string& dataDir) {
  if (dataDir.empty() || !IsDir(dataDir)) return 0;
  std::error_code ec;
  fs::create_directories(home, ec);
  if (!IsDir(home))
    return Status::Error(ErrorKind::Io, "Unable to create the home folder '" + home + "'");
  // Two programs starting on a fresh home at once: one copies, the other then finds
  // every file whole.
  Result<FileLock> lock =
      FileLock::Acquire((fs::path(home) / ".home.lock").string(), "The home folder");
  int copied = 0;
  fs::recursive_directory_iterator it(dataDir, fs::directory_options::skip_permission_denied, ec);
  if (ec) return Status::Error(ErrorKind::Io, "Unable to read the data folder '" + dataDir + "'");
  for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) return Status::Error(ErrorKind::Io, "Unable to read the data folder '" + dataDir + "'");
    const fs::path rel = fs::relative(it->path(), dataDir, ec);
    if (ec) continue;
    const fs::path target = fs::path(home) / rel;
    if (it->is_directory(ec)) {
      fs::create_directories(target, ec);
      continue;
    }
    if (!it->is_regular_file(ec)) continue;
    if (fs::exists(fs::symlink_status(target, ec))) continue;
    fs::create_directories(target.parent_path(), ec);
    // Shipped files are read-only; the home copy must be writable by its owner.
    if (!fs::copy_file(it->path(), target, fs::copy_options::skip_existing, ec) || ec)
      return Status::Error(ErrorKind::Io,
                           "Unable to copy '" + it->path().string() + "' into the home folder");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                    ec);
    ++copied;
  }
  return copied;
}

Result<std::string> PrepareHome(const std::string& cliHome) {
  Result<std::string> home = ResolveHomeDir(cliHome);
  if (!home) return home;
  std::error_code ec;
  fs::create_directories(fs::path(*home) / "Projects", ec);
  if (!IsDir(fs::path(*home) / "Projects"))
    return Status::Error(ErrorKind::Io, "Unable to create the home folder '" + *home + "'");
  Result<int> seeded = SeedHome(*home, FindDataDir());
  if (!seeded) return seeded.status();
  return home;
}

}  // namespace tolmi
