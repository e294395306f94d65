// tolmi-cli: the core without windows. Each subcommand lives in its own file and
// registers itself; RunCli parses the arguments and runs the chosen one.
#pragma once

#include <CLI/CLI.hpp>

#include <iosfwd>
#include <string>
#include <vector>

namespace tolmi::cli {

// What every command may use. Message boxes become lines on err.
struct Context {
  std::ostream& out;
  std::ostream& err;
  std::string home;  // --home DIR; empty means $TOLMI_HOME or the XDG default
  bool yes = false;  // --yes: answer every question with Yes
  bool no = false;   // --no: answer every question with No
  int exitCode = 0;  // set by the command that ran
};

// Adds one subcommand (with its options and callback) to the application.
using Registrar = void (*)(CLI::App& app, Context& ctx);

// Registers a subcommand at static initialisation; returns true so that a
// command file can write: const bool registered = RegisterCommand(&Setup);
bool RegisterCommand(Registrar registrar);

// The subcommand NAME of PARENT, added with DESCRIPTION when no file has added it yet.
// Lets several files contribute to one command group (e.g. "orders").
CLI::App* CommandGroup(CLI::App& parent, const std::string& name, const std::string& description);

// Runs the command line (args without the program name). Returns the exit code.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tolmi::cli
