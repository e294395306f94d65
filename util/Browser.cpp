#include "util/Browser.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "util/Platform.h"

extern char** environ;

namespace tolmi {
namespace {

std::optional<std::string> ReadEnv(const BrowserEnvironment& env, const std::string& name) {
  if (env) return env(name);
  const char* v = std::getenv(name.c_str());
  if (!v) return std::nullopt;
  return std::string(v);
}

// $BROWSER may list several commands separated by ":"; the first is used.
std::string FirstBrowserCommand(const BrowserEnvironment& env) {
  std::optional<std::string> v = ReadEnv(env, "BROWSER");
  if (!v) return {};
  return v->substr(0, v->find(':'));
}

}  // namespace

bool SpawnBrowserLauncher::Launch(const std::string& program, const std::string& argument) {
  while (waitpid(-1, nullptr, WNOHANG) > 0) {
  }
  if (program.empty()) return false;
  std::vector<char*> argv = {const_cast<char*>(program.c_str()),
                             const_cast<char*>(argument.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", 0, 0);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0;
}

bool SpawnBrowserLauncher::Exists(const std::string& program) const {
  if (program.empty()) return false;
  if (program.find('/') != std::string::npos) return access(program.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + program;
    struct stat st {};
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        access(candidate.c_str(), X_OK) == 0)
      return true;
    start = end + 1;
  }
  return false;
}

void FindBrowser(std::string& browserPath, std::string& candidate2, std::string& candidate1,
                 const BrowserLauncher& launcher, const BrowserEnvironment& env) {
  candidate1 = launcher.Exists("xdg-open") ? "xdg-open" : "";
  std::string fromEnv = FirstBrowserCommand(env);
  candidate2 = fromEnv;
  if (!browserPath.empty()) return;
  if (!fromEnv.empty() && launcher.Exists(fromEnv))
    browserPath = fromEnv;
  else if (!candidate1.empty())
    browserPath = candidate1;
  else
    browserPath = "xdg-open";
}

int OpenInBrowser(BrowserLauncher& launcher, const std::string& browserPath,
                  const std::string& target, int windowMode, const BrowserEnvironment& env) {
  (void)windowMode;  // both modes start the browser with the page
  std::string program = browserPath;
  if (program.empty()) {
    std::string c1, c2;
    FindBrowser(program, c2, c1, launcher, env);
  }
  std::string page = target;
  if (page.find(':') == std::string::npos) {
    std::error_code ec;
    std::filesystem::path cwd = std::filesystem::current_path(ec);
    page = (cwd / target).string();
  }
  return launcher.Launch(program, page) ? 1 : 0;
}

void ShowBrowserError(Prompter& prompter) {
  prompter.Show(kBrowserErrorText, kBrowserErrorTitle, PromptIcon::Error);
}

}  // namespace tolmi
