#include <clocale>
#include <iostream>

#include "cli/Cli.h"

int main(int argc, char** argv) {
  // Dates shown in the user's short-date order and separator when config.ini sets none.
  std::setlocale(LC_TIME, "");
  std::vector<std::string> args(argv + 1, argv + argc);
  return tolmi::cli::RunCli(args, std::cout, std::cerr);
}
