// One tolmi-cli command run: the prepared home, the installation loaded with its
// style schemes, and the project lifecycle, set up the way the desktop program does.
// Commands that work on a project or the installation build on it.
#pragma once

#include <ostream>
#include <string>

#include "app/Globals.h"
#include "cli/Cli.h"
#include "cli/CliPrompter.h"
#include "project/Lifecycle.h"
#include "schemes/Schemes.h"
#include "util/Platform.h"

namespace tolmi::cli {

class CommandRun {
 public:
  explicit CommandRun(Context& ctx);
  CommandRun(const CommandRun&) = delete;
  CommandRun& operator=(const CommandRun&) = delete;

  // Prepares the home and loads the installation, its style schemes and the lifecycle
  // hooks (style templates, template upgrades, configuration at save). False, with
  // the message on err and exit code 1, when the home cannot be prepared.
  bool Start();

  // The project file for a name or a path: an existing file (or a path) as given,
  // else "Projects/<name>/<name>.stp" of the home (".stp" on the name is dropped).
  std::string ProjectPath(const std::string& nameOrPath) const;

  // Opens the project named by ProjectPath. False (reported) when it cannot be read.
  bool Open(const std::string& nameOrPath);

  // Reports "tolmi-cli: MESSAGE" on err, sets exit code 1 and returns false.
  bool Fail(const std::string& message);

  // Turns a lifecycle result into the command's outcome: true when it succeeded,
  // else a message saying WHAT needs an answer, was cancelled or failed.
  bool Finish(const Status& status, const std::string& what);

  // Writes "config.ini" as the program does when it ends.
  void WriteConfig();

  Context& ctx() { return ctx_; }
  std::ostream& out() { return ctx_.out; }
  CliPrompter& prompter() { return prompter_; }
  AppGlobals& globals() { return globals_; }
  ProjectSession& session() { return globals_.session; }
  StoreProject& project() { return globals_.session.project; }
  SchemeList& schemes() { return schemes_; }
  LifecycleEnv& env() { return env_; }
  const LifecycleEnv& env() const { return env_; }
  Clock& clock() { return clock_; }

 private:
  Context& ctx_;
  CliPrompter prompter_;
  SystemClock clock_;
  AppGlobals globals_;
  SchemeList schemes_;
  LifecycleEnv env_;
};

}  // namespace tolmi::cli
