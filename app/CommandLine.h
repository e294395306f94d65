// The program's command line: one option letter ("-D", "-P", "-N", "-R") and one
// argument. Only the first option's letter counts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolmi {

struct CommandLine {
  char option = 0;       // the first option's letter as given, 0 when there is none
  std::string argument;  // the first word that is not an option, "" when none
};

// Scans a command line text left to right. A word starting with "-" is an option;
// an option whose third character is a double quote runs to the next double quote,
// any other to the next space. A double-quoted argument may contain spaces.
CommandLine ParseCommandLine(std::string_view text);

// The same over words already split by the shell (argv without the program name).
CommandLine ParseCommandLine(const std::vector<std::string>& words);

// What the option letter asks for (upper or lower case).
enum class StartOption { None, DeleteFolder, ExitAfterConfig, NewStore, BuildStore };
StartOption OptionOf(const CommandLine& line);

// The folder "-D" deletes: the argument up to its last "\" or "/". Empty when the
// argument has no folder part or names the file system root, so that a bare name
// never deletes the working directory.
std::string FolderToDelete(const std::string& argument);

// The main window's title: "Tolmi PRO - " and the project file's name without its
// folder and last extension; the second part is empty with no project.
std::string MainWindowTitle(const std::string& projectPath);

}  // namespace tolmi
