// The desktop program's start: the command line (the system's "-D", "-P", "-N",
// "-R" and a path, plus --home DIR), the application session, the main window and
// Qt's loop, and the exit code.
#pragma once

#include <string>
#include <vector>

namespace tolmi::ui {

// The program's arguments split into the home folder (--home DIR or --home=DIR;
// "" when not given) and the words of the system's own command line.
struct ProgramArguments {
  std::string home;
  std::vector<std::string> words;
};
ProgramArguments SplitProgramArguments(const std::vector<std::string>& args);

// Runs the program (QApplication must exist). Returns the exit code: 0 after a
// normal quit and after "-D" and "-P", 1 when the home cannot be prepared.
int RunDesktopProgram(const std::vector<std::string>& args);

}  // namespace tolmi::ui
