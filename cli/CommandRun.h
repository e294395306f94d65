// One tolmi-cli command run: an AppSession (the prepared home, the installation
// loaded with its style schemes, the project lifecycle), set up exactly as the
// desktop program sets up its own, with the CLI's prompter and the system clock.
// Commands that work on a project or the installation build on it.
#pragma once

#include <ostream>
#include <string>

#include "app/AppSession.h"
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
  AppSession& app() { return app_; }
  AppGlobals& globals() { return app_.globals(); }
  ProjectSession& session() { return app_.session(); }
  StoreProject& project() { return app_.project(); }
  SchemeList& schemes() { return app_.schemes(); }
  LifecycleEnv& env() { return app_.env(); }
  const LifecycleEnv& env() const { return app_.env(); }
  Clock& clock() { return clock_; }

 private:
  Context& ctx_;
  CliPrompter prompter_;
  SystemClock clock_;
  AppSession app_;
};

}  // namespace tolmi::cli
