// The tolmi-server command line: serving, and the account commands
// ("user add NAME --password PW", "passwd", "disable", "enable", "list").
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tolmi::server {

// Runs the program with its arguments (without the program name). Output and messages go to
// the streams; `in` supplies a password that was not given with --password. Returns the exit
// status: 0 success, 1 failure, 2 bad usage.
int RunServerMain(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                  std::ostream& err);

}  // namespace tolmi::server
