#include "cli/CommandRun.h"

namespace tolmi::cli {

CommandRun::CommandRun(Context& ctx)
    : ctx_(ctx), prompter_(ctx.err, ctx.yes, ctx.no), app_(ctx.home, prompter_, clock_) {}

bool CommandRun::Start() {
  Result<StartupResult> started = app_.Start();
  if (!started) return Fail(started.status().message());
  return true;
}

std::string CommandRun::ProjectPath(const std::string& nameOrPath) const {
  return app_.ProjectPath(nameOrPath);
}

bool CommandRun::Open(const std::string& nameOrPath) {
  const std::string path = ProjectPath(nameOrPath);
  if (!app_.Open(path)) return Fail("cannot open the project '" + path + "'");
  return true;
}

bool CommandRun::Fail(const std::string& message) {
  ctx_.err << "tolmi-cli: " << message << "\n";
  ctx_.exitCode = 1;
  return false;
}

bool CommandRun::Finish(const Status& status, const std::string& what) {
  if (status.ok()) return true;
  if (prompter_.unanswered()) return Fail(what + " needs an answer (--yes or --no)");
  if (status.kind() == ErrorKind::Cancelled) return Fail(what + " was cancelled");
  return Fail(what + " failed");
}

void CommandRun::WriteConfig() { (void)app_.WriteConfig(); }

}  // namespace tolmi::cli
