#include <iostream>

#include "server/ServerMain.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return tolmi::server::RunServerMain(args, std::cin, std::cout, std::cerr);
}
