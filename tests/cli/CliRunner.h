// Runs tolmi-cli in-process in a test home and keeps what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "tests/support/TestHome.h"

namespace tolmi::cli {

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

// tolmi-cli --home HOME ARGS...
inline CliRun Cli(const test::TestHome& home, std::vector<std::string> args) {
  args.insert(args.begin(), {"--home", home.path().string()});
  std::ostringstream out, err;
  int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace tolmi::cli
